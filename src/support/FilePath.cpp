#include "support/FilePath.h"

#include "support/Dialogs.h"
#include "support/NumText.h"

#include <sys/stat.h>

namespace support {

std::string LowerExtension(const std::string &path) {
    const std::size_t slash = path.rfind('/'), dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return LowerAscii(path.substr(dot));
}

std::string FileNameOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FileExists(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool MayOverwrite(Dialogs &dialogs, const std::string &path, const std::string &question) {
    return !FileExists(path) || dialogs.AskYesNo(question + path + " ?");
}

} // namespace support
