// "Add Files...": reads every format of the registry into temporary documents, prepares their track
// segments (zero readings removed, depths entered or shifted on request, each segment's maxdepth
// set: 0 marks a shoreline outline) and appends the tracks to the project. The desktop program and
// the batch tool share it.
#pragma once

#include "formats/ReadResult.h"
#include "formats/shapefile.h"
#include "model/GPX.h"
#include "support/FilePath.h"
#include "support/Message.h"

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
inline std::string LowerExtension(const std::string &path) {
    return support::LowerExtension(path);
}
inline std::string FileNameOf(const std::string &path) {
    return support::FileNameOf(path);
}

// What loading needs to know besides the files, filled before the reads by whoever talks
// to the user: the desktop program from its check boxes and dialogs, the batch tool from
// its options.
struct TLoadOptions {
    // "Enter depth when loading data /wo depth": the depth (cm) for a segment or file
    // without depth readings; `what` names it ("lake.gpxTrack: T"). Unset: none is given.
    std::function<std::int32_t(const std::string &what)> DepthFor;
    // "Enter depth offset (+/-)": the offset (cm) added to a segment's or file's depths.
    std::function<std::int32_t(const std::string &what)> OffsetFor;
    formats::TReadOptions Read; // progress, and the shapefile's settings
};

class TProjectLoader {
  public:
    TProjectLoader(model::TGPX &project, support::LogLine log);

    TLoadOptions Options;
    // After every load: the project's greatest unflagged depth in whole centimetres, at
    // least 0.
    std::int32_t MaxDepth = 0;
    // Whether "Start Interpolator" has been enabled by a load.
    bool InterpolatorEnabled = false;
    // Files that were damaged or cut short and kept what could be read: "<file>: <why>".
    std::vector<std::string> Warnings;

    // Reads the file with its format's reader (FormatRegistry) and appends its tracks.
    // 0 when they were added, -1 when the file is not there; throws UnsupportedExtension,
    // or std::runtime_error with the reason, and then adds nothing of the file.
    int LoadFile(const std::string &path);

  private:
    template <class Data>
    std::int32_t SettleDepths(Data &data, const std::string &caller, const std::string &what);
    void Append(model::TGPX &doc);

    model::TGPX &project_;
    support::LogLine log_;
};

} // namespace depth
