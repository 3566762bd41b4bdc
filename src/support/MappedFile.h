// A file's bytes, mapped into memory where the system allows it. A reader that walks
// the text once can hand back what lies behind it, so a large file does not stay
// resident as a whole.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace support {

class MappedFile {
  public:
    explicit MappedFile(const std::string &path); // throws FileError
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    std::string_view View() const { return {data_, size_}; }
    // Drops the pages wholly before `offset` from memory; they are read again if touched.
    void ReleaseBefore(std::size_t offset);

  private:
    const char *data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    std::size_t released_ = 0;
    std::string copy_; // for files that cannot be mapped (pipes, special files)
};

} // namespace support
