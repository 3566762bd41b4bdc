// Helpers the tests share: a temporary folder of their own, whole-file bytes and the
// big-endian numbers of HT files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testutil {

inline void WriteBytes(const std::filesystem::path &p, const std::string &bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline unsigned U16(const std::string &b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) << 8 | static_cast<unsigned char>(b[at + 1]);
}

inline std::int32_t S32(const std::string &b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return static_cast<std::int32_t>(v);
}

// A new empty folder under the system's temporary folder, removed with everything in it
// when the test ends (also after a test took its write permission away).
class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "dw-test-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder from " + tmpl);
        path = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // The path of `name` in the folder; nothing is created.
    std::string Path(const std::string &name) const { return (path / name).string(); }
    // Writes `text` as the file `name` and returns its path.
    std::string File(const std::string &name, const std::string &text) const {
        std::string p = Path(name);
        WriteBytes(p, text);
        return p;
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(path), {}));
    }

    std::filesystem::path path;
};

// A full disk without filling the real one: while the guard lives, files this process
// writes cannot grow beyond `bytes`; a write past the limit fails with EFBIG, as one on a
// full disk fails with ENOSPC. SIGXFSZ, which would end the process, is ignored meanwhile.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0)
            throw std::runtime_error("getrlimit(RLIMIT_FSIZE) failed");
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &savedSignal_);
        rlimit limit = saved_;
        limit.rlim_cur =
            saved_.rlim_max == RLIM_INFINITY || bytes < saved_.rlim_max ? bytes : saved_.rlim_max;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::sigaction(SIGXFSZ, &savedSignal_, nullptr);
            throw std::runtime_error("setrlimit(RLIMIT_FSIZE) failed");
        }
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_); // only the soft limit moved: always allowed
        ::sigaction(SIGXFSZ, &savedSignal_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

  private:
    rlimit saved_{};
    struct sigaction savedSignal_ {};
};

// Takes the write permission of `folder` away (mode r-x) while the guard lives. Root
// passes permission checks through CAP_DAC_OVERRIDE, so the calling thread also drops
// that capability from its effective set (the raw capset call changes only the calling
// thread) and raises it again at the end; it stays in the permitted set, so that is allowed.
class UnwritableFolder {
  public:
    explicit UnwritableFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_exec);
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &header_, saved_) == 0 &&
            (saved_[0].effective & (1u << CAP_DAC_OVERRIDE)) != 0) {
            __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
            lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
            lowered_ = ::syscall(SYS_capset, &header_, lowered) == 0;
        }
    }
    ~UnwritableFolder() {
        if (lowered_)
            ::syscall(SYS_capset, &header_, saved_);
        std::error_code ec;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ec);
    }
    UnwritableFolder(const UnwritableFolder &) = delete;
    UnwritableFolder &operator=(const UnwritableFolder &) = delete;

    // False where nothing could make the permission bind (a probe file can still be made).
    bool Binds() const {
        const std::string probe = (folder_ / ".probe").string();
        int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return true;
        ::close(fd);
        ::unlink(probe.c_str());
        return false;
    }

  private:
    std::filesystem::path folder_;
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

} // namespace testutil
