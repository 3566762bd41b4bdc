// What the fuzz targets share: a folder of the process's own for readers that take a
// file name, the split of one input into two buffers, and the steps a load runs on
// whatever a reader returned.
#pragma once

#include "depth/ProjectLoader.h"
#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "formats/ReadResult.h"
#include "model/GPX.h"
#include "support/DateTime.h"
#include "support/Dialogs.h"
#include "support/Xml.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include <unistd.h>

namespace fuzzutil {

// Stops the run with a message libFuzzer shows next to the input that caused it.
[[noreturn]] inline void Fail(const std::string &what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() /
                            ("dw-fuzz-" + std::to_string(::getpid()) + "-XXXXXX"))
                               .string();
        if (::mkdtemp(tmpl.data()) == nullptr)
            Fail("cannot create a temporary folder from " + tmpl);
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    std::string Path(const std::string &name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// One folder per process, made on first use and removed at exit.
inline const TempDir &Dir() {
    static TempDir dir;
    return dir;
}

inline std::string WriteFile(const std::string &name, std::string_view bytes) {
    const std::string path = Dir().Path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Fail("cannot write " + path);
    return path;
}

inline std::string_view AsText(const std::uint8_t *data, std::size_t size) {
    return {reinterpret_cast<const char *>(data), size};
}

// A 4-byte little-endian length of the first buffer (cut to what is there), then the
// first buffer, then the second.
inline std::pair<std::string_view, std::string_view> SplitTwo(std::string_view in) {
    if (in.size() < 4)
        return {in, {}};
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = n << 8 | static_cast<unsigned char>(in[static_cast<std::size_t>(i)]);
    in.remove_prefix(4);
    const std::size_t first = std::min<std::size_t>(n, in.size());
    return {in.substr(0, first), in.substr(first)};
}

// What "Add Files..." does to a document after its reader: depths settled, the project's
// greatest depth, the coordinate check and the bounds the writer puts into metadata.
inline void SettleLikeTheLoader(model::TGPX &doc) {
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items()) {
            s->maxdepth = depth::GetMaxDepth(*s);
            if (s->maxdepth != 0)
                depth::RemoveZeroReadings(*s);
        }
    (void)depth::GetMaxDepth(doc);
    (void)depth::CoordinatesInRange(doc);
    doc.ComputeMetaBounds();
}

// Waypoints, routes, route points, tracks, segments and track points.
inline std::string Counts(const model::TGPX &doc) {
    long long rtept = 0, seg = 0, trkpt = 0;
    for (const auto &r : doc.rte.Items())
        rtept += r->Count();
    for (const auto &t : doc.trk.Items()) {
        seg += t->Count();
        for (const auto &s : t->Items())
            trkpt += s->Count();
    }
    return std::to_string(doc.wpt.Count()) + " " + std::to_string(doc.rte.Count()) + " " +
           std::to_string(rtept) + " " + std::to_string(doc.trk.Count()) + " " +
           std::to_string(seg) + " " + std::to_string(trkpt);
}

// Whether every extensions text the writer puts back unchanged is balanced markup. The
// reader keeps what lies between the first "<extensions>" and the first "</extensions>"
// after it, so extensions nested in extensions leave a fragment that is not.
inline bool ExtensionsAreMarkup(const model::TGPX &doc) {
    auto balanced = [](const std::string &text) {
        xml::Tree tree;
        try {
            xml::ParseDocument("<x>" + text + "</x>", tree);
        } catch (const xml::ParseError &) {
            return false;
        }
        return true;
    };
    bool ok = balanced(doc.metadata.extensions) && balanced(doc.extension.Text);
    for (const auto &r : doc.rte.Items())
        ok = ok && balanced(r->extensions);
    for (const auto &t : doc.trk.Items()) {
        ok = ok && balanced(t->extensions);
        for (const auto &s : t->Items())
            ok = ok && balanced(s->extensions);
    }
    return ok;
}

// "depthwright-batch convert": the document written as GPX and as an HT file. Both
// writers must take whatever a reader produced; their failures are the documented ones.
// The GPX written must load again with everything in it (it is the next session's
// input) unless the extensions kept from the file are fragments.
inline void ConvertLikeTheBatchTool(model::TGPX &doc) {
    formats::TGPXFile writer;
    writer.GPXd = &doc;
    const std::string gpx = Dir().Path("output.gpx");
    writer.ExportGPX(gpx);

    model::TGPX again;
    formats::TGPXFile reader;
    reader.GPXd = &again;
    reader.ImportGPXFile(gpx);
    if (ExtensionsAreMarkup(doc)) {
        if (!reader.Loaded)
            Fail("the GPX written does not load: " +
                 (reader.mLog.empty() ? "" : reader.mLog.back()));
        if (Counts(again) != Counts(doc))
            Fail("the GPX written loads as " + Counts(again) + " instead of " + Counts(doc));
    }

    formats::THTConvert ht(&doc, "fuzz", Dir().Path("output.ht"));
    ht.Now = [] { return std::uint32_t{0}; };
    (void)ht.ConvertToHT();
}

// What every sonar reader promises: a file not loaded adds nothing, and every sounding kept
// has a usable position and a depth from 0.1 cm to 1000 m.
inline void CheckSoundings(const formats::ReadResult &r, const model::TGPX &doc) {
    if (!r.loaded && !doc.trk.Empty())
        Fail("a read that did not load added tracks");
    if (!r.loaded && !r.error)
        Fail("a read that did not load gave no error");
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items()) {
            if (s->Empty())
                Fail("an empty segment");
            for (const auto &p : s->Items())
                if (!(std::fabs(p->Latitude) <= 85) || !(std::fabs(p->Longitude) <= 180) ||
                    !(p->HBdepth > 0 && p->HBdepth <= 100000))
                    Fail("a sounding at " + std::to_string(p->Latitude) + " " +
                         std::to_string(p->Longitude) + " depth " + std::to_string(p->HBdepth));
        }
}

} // namespace fuzzutil
