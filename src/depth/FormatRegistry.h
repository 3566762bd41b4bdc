// The one table of file formats: each format's name, extensions, reader and writer. The
// loader, the open dialog's filter, the batch tool's help, `info` and `formats`, and the
// contour exports all come from it. Adding a format is one reader or writer file and one
// line in FormatRegistry.cpp.
#pragma once

#include "depth/Units.h"
#include "formats/ReadResult.h"
#include "model/GPX.h"

#include <functional>
#include <string>
#include <vector>

namespace depth {

// How the loader settles a read file's depths (see TProjectLoader).
enum class TLoadKind {
    Tracks,    // each segment on its own: soundings, or an outline the user may give a depth
    Recording, // the whole file at once, like an HT track or a sonar recording
    Outlines,  // outlines without depth (KML); the user may give them one depth
    Shapefile, // shapes with depths from their table or their Z values
};

struct TWriteOptions {
    std::string TrackName = "NewTrack";   // HT files name their track
    TDepthUnit Unit = TDepthUnit::Metres; // the `depth` attribute of GIS contours
};

using TReader = std::function<formats::ReadResult(const std::string &path, model::TGPX &doc,
                                                  const formats::TReadOptions &options)>;
// Writes the document's tracks; throws (support::FileError and others) with the reason.
using TWriter =
    std::function<void(const std::string &path, model::TGPX &doc, const TWriteOptions &options)>;

struct TFormat {
    std::string Name;                    // as `info` and `formats` name it: "gpx", "sl2", ...
    std::string Description;             // for file dialogs and help
    std::vector<std::string> Extensions; // lower case, with the dot
    TLoadKind Kind = TLoadKind::Tracks;
    std::string LogName; // the loader's log lines begin with it ("LoadGPXFile")
    TReader Read;        // unset: not readable
    TWriter Write;       // unset: not writable
};

const std::vector<TFormat> &Formats();
// The format of a path by its extension (any case); nullptr when none has it.
const TFormat *FormatOf(const std::string &path);
// "GPX file|*.gpx|..." filters for the file dialogs: every readable format, all of them first.
std::string OpenFilter();
// The same for the writable formats of contours (GPX first, the default).
std::string SaveFilter();

} // namespace depth
