// Paths as the program uses them: the extension in lower case, the file name, whether a
// file (not a folder) is there. One place, so every reader and writer agrees.
#pragma once

#include <string>

namespace support {

// The file's extension in lower case with its dot ("" when it has none).
std::string LowerExtension(const std::string &path);
// The part after the last "/".
std::string FileNameOf(const std::string &path);
// True when something other than a folder exists at the path.
bool FileExists(const std::string &path);

} // namespace support
