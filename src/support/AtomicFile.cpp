#include "support/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

namespace {

std::string Reason() {
    return std::strerror(errno);
}

std::string FolderOf(const std::string &path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

constexpr std::size_t kFlushSize = 1 << 20;

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target)) {
    struct stat st {};
    bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        throw FileError("Cannot create file \"" + target_ + "\"", "it is a folder");
    std::string name =
        target_.substr(target_.rfind('/') == std::string::npos ? 0 : target_.rfind('/') + 1);
    temp_ = FolderOf(target_) + "/." + name + ".tmp-XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0)
        throw FileError("Cannot create file \"" + target_ + "\"", Reason());
    // Keep the permissions of the file replaced; a new file gets the usual ones.
    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
}

AtomicFileWriter::~AtomicFileWriter() {
    Discard();
}

void AtomicFileWriter::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        ::unlink(temp_.c_str());
    }
}

void AtomicFileWriter::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::string reason = n < 0 ? Reason() : "nothing written";
            Discard();
            throw FileError("Cannot write file \"" + target_ + "\"", reason);
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

void AtomicFileWriter::Write(std::string_view bytes) {
    if (fd_ < 0)
        throw FileError("Cannot write file \"" + target_ + "\"", "it is closed");
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushSize)
        Flush();
}

void AtomicFileWriter::Commit() {
    if (fd_ < 0)
        throw FileError("Cannot write file \"" + target_ + "\"", "it is closed");
    Flush();
    if (::fsync(fd_) != 0 && errno != EINVAL) {
        std::string reason = Reason();
        Discard();
        throw FileError("Cannot write file \"" + target_ + "\"", reason);
    }
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        std::string reason = Reason();
        ::unlink(temp_.c_str());
        throw FileError("Cannot write file \"" + target_ + "\"", reason);
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        std::string reason = Reason();
        ::unlink(temp_.c_str());
        throw FileError("Cannot replace file \"" + target_ + "\"", reason);
    }
}

std::string ReadWholeFile(const std::string &path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError("Cannot open file \"" + path + "\"", Reason());
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw FileError("Cannot open file \"" + path + "\"",
                        S_ISDIR(st.st_mode) ? std::string("it is a folder") : Reason());
    }
    std::string data;
    if (st.st_size > 0)
        data.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            std::string reason = Reason();
            ::close(fd);
            throw FileError("Cannot read file \"" + path + "\"", reason);
        }
        if (n == 0)
            break;
        data.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

void CopyFileAtomically(const std::string &from, const std::string &to) {
    int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw FileError("Cannot open file \"" + from + "\"", Reason());
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    AtomicFileWriter out(to);
    // In chunks, so that a large project is never held in memory whole.
    char chunk[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw FileError("Cannot read file \"" + from + "\"", Reason());
        if (n == 0)
            break;
        out.Write(std::string_view(chunk, static_cast<std::size_t>(n)));
    }
    out.Commit();
}

} // namespace support
