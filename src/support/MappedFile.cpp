#include "support/MappedFile.h"

#include "support/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

MappedFile::MappedFile(const std::string &path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError("Cannot open file \"" + path + "\": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        std::string reason = std::strerror(errno);
        ::close(fd);
        throw FileError("Cannot open file \"" + path + "\": " + reason);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw FileError("Cannot open file \"" + path + "\": it is a folder");
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        void *p =
            ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            ::close(fd);
            data_ = static_cast<const char *>(p);
            size_ = static_cast<std::size_t>(st.st_size);
            mapped_ = true;
            ::madvise(p, size_, MADV_SEQUENTIAL);
            return;
        }
    }
    ::close(fd);
    copy_ = ReadWholeFile(path);
    data_ = copy_.data();
    size_ = copy_.size();
}

MappedFile::~MappedFile() {
    if (mapped_)
        ::munmap(const_cast<char *>(data_), size_);
}

void MappedFile::ReleaseBefore(std::size_t offset) {
    if (!mapped_)
        return;
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::size_t end = (std::min(offset, size_) / page) * page;
    if (end <= released_)
        return;
    ::madvise(const_cast<char *>(data_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
}

} // namespace support
