// "Add Files...": reads GPX, KML, HT and shapefiles into temporary documents, prepares
// their track segments (zero readings removed, depths entered or shifted on request,
// each segment's maxdepth set: 0 marks a shoreline outline) and appends the tracks to
// the project. The desktop program and the batch tool share it.
#pragma once

#include "formats/shapefile.h"
#include "model/GPX.h"
#include "support/Dialogs.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace depth {

std::int32_t GetMaxDepth(const model::TGPXtrkseg &segment);
std::int32_t GetMaxDepth(const model::TGPX &doc);
// The same over the readings not flagged as spikes. A segment's maxdepth keeps counting
// them all, so that a segment of flagged soundings never turns into a shoreline.
std::int32_t GetMaxUnflaggedDepth(const model::TGPXtrkseg &segment);
std::int32_t GetMaxUnflaggedDepth(const model::TGPX &doc);
void ApplyDepth(model::TGPXtrkseg &segment, std::int32_t Depth);
void ApplyDepth(model::TGPX &doc, std::int32_t Depth);
void AddDepthOffset(model::TGPXtrkseg &segment, std::int32_t Offset);
void AddDepthOffset(model::TGPX &doc, std::int32_t Offset);
void RemoveZeroReadings(model::TGPXtrkseg &segment);
void RemoveZeroReadings(model::TGPX &doc);
bool CoordinatesInRange(const model::TGPX &doc);

struct UnsupportedExtension : std::runtime_error {
    explicit UnsupportedExtension(const std::string &path)
        : std::runtime_error("File extension not supported: " + path) {}
};

// The file's extension in lower case, with its dot ("" when it has none).
std::string LowerExtension(const std::string &path);
std::string FileNameOf(const std::string &path);

class TProjectLoader {
  public:
    TProjectLoader(model::TGPX &project, support::Dialogs &dialogs, support::LogLine log);

    bool AddDepth = false;  // "Enter depth when loading data /wo depth"
    bool AddOffset = false; // "Enter depth offset (+/-)"
    // The two shapefile import dialogs; unset, coordinates stay degrees and depths 0.
    std::function<void(formats::TShapefile &)> ImportCoordinates;
    std::function<void(formats::TShapefile &)> JoinDBF;

    // After every load: the project's greatest unflagged depth in whole centimetres, at
    // least 0.
    std::int32_t MaxDepth = 0;
    // Whether "Start Interpolator" has been enabled by a load.
    bool InterpolatorEnabled = false;

    // Each returns 0 when the file's tracks were added, -1 when not; reader errors and
    // input box answers that are not integers throw, adding nothing of that file.
    int LoadFile(const std::string &path); // by extension; throws UnsupportedExtension
    int LoadGPXFile(const std::string &path);
    int LoadKMLFile(const std::string &path);
    int LoadHTFile(const std::string &path);
    int LoadSHPFile(const std::string &path);

    // The shapefile and its table through the two dialogs into `doc`; false when a file
    // is missing.
    bool ReadShapefile(const std::string &path, model::TGPX &doc);

  private:
    std::int32_t AskInteger(const std::string &caption, const std::string &prompt);
    template <class Data>
    std::int32_t SettleDepths(Data &data, const std::string &caller, const std::string &prompt);
    void Append(model::TGPX &doc);

    model::TGPX &project_;
    support::Dialogs &dialogs_;
    support::LogLine log_;
};

} // namespace depth
