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

} // namespace testutil
