// Files are replaced atomically: the text goes to a temporary file in the target's
// folder, which is renamed over the target only when everything was written. A failed
// write leaves the old file as it was and no temporary file behind.
#pragma once

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace support {

struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
    // what() is `action` + ": " + `reason`; callers that name the file in their own words
    // show only the reason.
    FileError(const std::string &action, const std::string &reason)
        : std::runtime_error(action + ": " + reason), reason(reason) {}
    std::string reason; // the system's error text, such as "Permission denied"; may be empty
};

class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(std::string target); // throws FileError when it cannot create
    ~AtomicFileWriter();                           // discards the temporary file unless committed
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    void Write(std::string_view bytes); // throws FileError
    void Commit();                      // flushes, closes and renames; throws FileError

  private:
    void Discard();
    std::string target_, temp_;
    int fd_ = -1;
    std::string buffer_;
    void Flush();
};

// Reads a whole file; throws FileError with a readable reason.
std::string ReadWholeFile(const std::string &path);

// Copies `from` over `to` through an AtomicFileWriter: `to` keeps its old bytes unless the
// whole copy was written. Throws FileError.
void CopyFileAtomically(const std::string &from, const std::string &to);

} // namespace support
