// Lowrance-family sonar logs (.sl2, .sl3): an 8-byte file header, then one frame per
// ping and sonar channel, each a fixed little-endian header followed by echo samples.
// Reads one sounding per ping (frame index) into one track; the echo data is skipped.
// The older .slg logs are refused with a message.
#pragma once

#include "formats/ReadResult.h"
#include "model/GPX.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace formats {

// Reads the file, memory-mapped; its pages are handed back as reading goes on, so a log
// of many gigabytes needs memory for its soundings only.
ReadResult ReadLowranceLog(const std::string &path, model::TGPX &doc,
                           const ReadProgress &progress = {});
// The same on bytes already in memory; `path` names the file in messages and picks
// the format expected (.sl2 or .sl3).
ReadResult ReadLowranceLogBytes(std::string_view bytes, const std::string &path, model::TGPX &doc,
                                const ReadProgress &progress = {});

// The logs' spherical Mercator on the WGS84 polar radius, whole metres.
double LowranceLongitude(std::int32_t easting);
double LowranceLatitude(std::int32_t northing);

} // namespace formats
