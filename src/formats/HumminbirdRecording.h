// Humminbird sonar recordings: a small RNNNNN.DAT file and, beside it, the folder RNNNNN
// holding one .SON file (big-endian tagged record headers, each followed by echo samples)
// and one .IDX file (where each record starts) per beam. Every beam repeats the position
// and depth of a ping, so one beam is read: B001 (200 kHz), else B000.
#pragma once

#include "formats/ReadResult.h"
#include "model/GPX.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace formats {

// Reads the recording of the .DAT file the user chose; the .SON file is memory-mapped
// and its pages handed back as reading goes on.
ReadResult ReadHumminbirdRecording(const std::string &datPath, model::TGPX &doc,
                                   const ReadProgress &progress = {});
// One beam from bytes already in memory: the .DAT file (its first bytes suffice), the
// beam's .SON and its .IDX (nullopt when there is none). The paths name the files in
// messages.
ReadResult ReadHumminbirdBeam(std::string_view dat, std::string_view son,
                              std::optional<std::string_view> idx, const std::string &datPath,
                              const std::string &sonPath, model::TGPX &doc,
                              const ReadProgress &progress = {});

// The recordings' Mercator on R = 6,378,388 m with a latitude correction; whole metres.
double HumminbirdLongitude(std::int32_t easting);
double HumminbirdLatitude(std::int32_t northing);

} // namespace formats
