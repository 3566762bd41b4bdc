// Every file writer against the ways a write fails: a folder without write permission, a
// folder path that runs through a file, a missing folder and a full disk. Whatever the
// fault, the caller hears of it (an exception, or false with a message box), the old
// file keeps its bytes and nothing else appears in the folder.
#include "depth/ColorModel.h"
#include "depth/ContourExport.h"
#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "support/Dialogs.h"
#include "support/ImageFiles.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testutil::TempDir;

namespace {

// A sounding track of a few hundred points: big enough to exceed the full disk's limit
// in every format, small enough for one HT file.
std::unique_ptr<model::TGPX> Soundings() {
    auto doc = std::make_unique<model::TGPX>();
    auto trk = std::make_unique<model::TGPXtrk>();
    trk->name = "Lake";
    auto seg = std::make_unique<model::TGPXtrkseg>();
    for (int i = 0; i < 300; ++i) {
        auto w = std::make_unique<model::TGPXwpt>();
        w->Latitude = 52.1 + i * 1e-5;
        w->Longitude = 13.2 + (i % 17) * 1e-5;
        w->HBdepth = 100 + i;
        seg->Add(std::move(w));
    }
    trk->Add(std::move(seg));
    doc->trk.Add(std::move(trk));
    doc->trk.filled = true;
    return doc;
}

std::vector<std::uint32_t> Raster(int w, int h) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    return pixels;
}

std::string Shown(const support::ScriptedDialogs &dialogs) {
    std::string text;
    for (const auto &s : dialogs.shown)
        if (s.kind == support::BoxKind::Error)
            text += s.text + "\n";
    return text;
}

// A writer as its callers use it. It returns the error the caller got: the exception's
// text, or the error boxes shown when it answered false; nullopt when it claims success.
struct Writer {
    const char *name;
    const char *file;
    std::function<std::optional<std::string>(const std::string &path)> write;
};

template <class F> std::optional<std::string> Thrown(F f) {
    try {
        f();
    } catch (const std::exception &e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

const std::vector<Writer> &Writers() {
    static const std::vector<Writer> writers = {
        {"GPXProject", "lake.gpx",
         [](const std::string &path) {
             auto doc = Soundings();
             formats::TGPXFile f;
             f.GPXd = doc.get();
             return Thrown([&] { f.ExportGPX(path); });
         }},
        {"GPXContours", "iso.gpx",
         [](const std::string &path) -> std::optional<std::string> {
             auto doc = Soundings();
             support::ScriptedDialogs dialogs;
             dialogs.saveAnswers = {path};
             dialogs.yesNoAnswers = {true}; // replace the old file
             if (depth::btnIsoSaveGPXClick(*doc, true, dialogs))
                 return std::nullopt;
             return Shown(dialogs);
         }},
        {"HTConvert", "lake.ht",
         [](const std::string &path) -> std::optional<std::string> {
             auto doc = Soundings();
             support::ScriptedDialogs dialogs;
             formats::THTConvert c(doc.get(), "Lake", path);
             c.Now = [] { return 1401626096u; };
             bool written = false;
             if (auto e = Thrown([&] { written = c.ConvertToHT(); }))
                 return e;
             if (written)
                 return std::nullopt;
             return Shown(dialogs);
         }},
        {"HTExport", "000.ht",
         [](const std::string &path) -> std::optional<std::string> {
             auto doc = Soundings();
             support::ScriptedDialogs dialogs;
             depth::THTExport ex(dialogs);
             ex.Folder = fs::path(path).parent_path().string();
             ex.Overwrite = true;
             ex.Now = [] { return 1401626096u; };
             if (ex.WriteHTFile(*doc, "Lake", fs::path(path).filename().string()))
                 return std::nullopt;
             return Shown(dialogs);
         }},
        {"ColorModel", "depth.cmt",
         [](const std::string &path) {
             return Thrown([&] { depth::SaveColorModel(path, depth::DefaultColorModel()); });
         }},
        {"BMP", "chart.bmp",
         [](const std::string &path) {
             const auto pixels = Raster(32, 24);
             return Thrown([&] { support::SaveImage(path, pixels.data(), 32, 24, 32); });
         }},
        {"JPEG", "chart.jpg",
         [](const std::string &path) {
             const auto pixels = Raster(32, 24);
             return Thrown([&] { support::SaveImage(path, pixels.data(), 32, 24, 32); });
         }},
    };
    return writers;
}

enum class Fault { None, UnwritableFolder, FolderIsAFile, MissingFolder, FullDisk };

const char *FaultName(Fault f) {
    switch (f) {
    case Fault::None:
        return "None";
    case Fault::UnwritableFolder:
        return "UnwritableFolder";
    case Fault::FolderIsAFile:
        return "FolderIsAFile";
    case Fault::MissingFolder:
        return "MissingFolder";
    case Fault::FullDisk:
        return "FullDisk";
    }
    return "?";
}

// Far below the smallest file any writer makes (the default colour model has 32 bytes).
constexpr rlim_t kFullDiskBytes = 16;
const std::string kOld = "the old file\n";

// Every entry below `root` with its bytes ("/" for a folder).
std::map<std::string, std::string> Listing(const fs::path &root) {
    std::map<std::string, std::string> out;
    for (const auto &e : fs::recursive_directory_iterator(root))
        out[fs::relative(e.path(), root).string()] =
            e.is_directory() ? "/" : testutil::ReadBytes(e.path());
    return out;
}

void PrintTo(const Writer &w, std::ostream *os) {
    *os << w.name;
}
void PrintTo(Fault f, std::ostream *os) {
    *os << FaultName(f);
}

using Case = std::tuple<Writer, Fault>;

class WriteFault : public ::testing::TestWithParam<Case> {};

TEST_P(WriteFault, CallerHearsOfItAndTheFolderIsAsBefore) {
    const auto &[writer, fault] = GetParam();
    TempDir dir;
    dir.File("neighbour.txt", "must stay");
    std::string target = dir.Path(writer.file);
    switch (fault) {
    case Fault::FolderIsAFile:
        dir.File("notes", "a file, not a folder");
        target = dir.Path("notes") + "/" + writer.file;
        break;
    case Fault::MissingFolder:
        target = dir.Path("missing") + "/" + writer.file;
        break;
    default:
        testutil::WriteBytes(target, kOld);
    }
    const auto before = Listing(dir.path);

    std::optional<std::string> error;
    {
        std::optional<testutil::UnwritableFolder> readOnly;
        std::optional<testutil::FileSizeLimit> fullDisk;
        if (fault == Fault::UnwritableFolder) {
            readOnly.emplace(dir.path);
            if (!readOnly->Binds())
                GTEST_SKIP() << "permissions do not bind here";
        }
        if (fault == Fault::FullDisk)
            fullDisk.emplace(kFullDiskBytes);
        error = writer.write(target);
    }

    const auto after = Listing(dir.path);
    if (fault == Fault::None) {
        // The harness itself: the same call succeeds and replaces the file in place.
        ASSERT_FALSE(error) << *error;
        EXPECT_NE(testutil::ReadBytes(target), kOld);
        EXPECT_EQ(after.size(), before.size()) << "something besides the file was left";
        return;
    }
    ASSERT_TRUE(error) << "the failed write was reported as done";
    EXPECT_NE(error->find(writer.file), std::string::npos)
        << "the message names no file: " << *error;
    // And the system's reason, not only that something failed.
    const std::map<Fault, std::string> reasons = {
        {Fault::UnwritableFolder, "Permission denied"},
        {Fault::FolderIsAFile, "Not a directory"},
        {Fault::MissingFolder, "No such file or directory"},
        {Fault::FullDisk, "File too large"}};
    EXPECT_NE(error->find(": " + reasons.at(fault)), std::string::npos)
        << "the message gives no reason: " << *error;
    EXPECT_EQ(after, before) << "the old file changed or something was left in the folder";
}

INSTANTIATE_TEST_SUITE_P(
    Writers, WriteFault,
    ::testing::Combine(::testing::ValuesIn(Writers()),
                       ::testing::Values(Fault::None, Fault::UnwritableFolder, Fault::FolderIsAFile,
                                         Fault::MissingFolder, Fault::FullDisk)),
    [](const ::testing::TestParamInfo<Case> &info) {
        return std::string(std::get<0>(info.param).name) + "_" + FaultName(std::get<1>(info.param));
    });

} // namespace
