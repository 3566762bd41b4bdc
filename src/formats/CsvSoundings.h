// Soundings as text tables (.csv, .xyz, .txt): one sounding a line, the values separated
// by commas, semicolons, tabs or blanks. A header row names the columns (lat, lon, depth
// and their variants; the depth's unit comes from its name); without one the columns are
// longitude, latitude and depth in metres. Everything goes into one track of one segment,
// in the file's order, which is the order the soundings were recorded in.
#pragma once

#include "formats/ReadResult.h"
#include "model/GPX.h"

#include <string>
#include <string_view>

namespace formats {

// Reads the file, memory-mapped and walked once; a file of millions of lines needs memory
// for its soundings only.
ReadResult ReadCsvSoundings(const std::string &path, model::TGPX &doc,
                            const ReadProgress &progress = {});
// The same on bytes already in memory; `path` names the file in messages and the track.
ReadResult ReadCsvSoundingsBytes(std::string_view bytes, const std::string &path, model::TGPX &doc,
                                 const ReadProgress &progress = {});

} // namespace formats
