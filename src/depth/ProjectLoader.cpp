#include "depth/ProjectLoader.h"

#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "formats/KMLFile.h"
#include "support/NumText.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace depth {

namespace {

bool FileExists(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

template <class Visit> void ForEachSegment(model::TGPX &doc, Visit visit) {
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            visit(*t, *s);
}

std::int32_t TruncatedDepth(double depth) {
    if (!(depth > 0)) // negative, zero and NaN count as no depth
        return 0;
    return depth >= 2147483647.0 ? 2147483647 : static_cast<std::int32_t>(std::trunc(depth));
}

std::int32_t MaxDepthOf(const model::TGPXtrkseg &segment, bool skipFlagged) {
    std::int32_t d = 0;
    for (const auto &p : segment.Items())
        if (!(skipFlagged && p->Flagged))
            d = std::max(d, TruncatedDepth(p->HBdepth));
    return d;
}

std::int32_t MaxDepthOf(const model::TGPX &doc, bool skipFlagged) {
    std::int32_t d = 0;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            d = std::max(d, MaxDepthOf(*s, skipFlagged));
    return d;
}

} // namespace

std::int32_t GetMaxDepth(const model::TGPXtrkseg &segment) {
    return MaxDepthOf(segment, false);
}
std::int32_t GetMaxDepth(const model::TGPX &doc) {
    return MaxDepthOf(doc, false);
}

std::int32_t GetMaxUnflaggedDepth(const model::TGPXtrkseg &segment) {
    return MaxDepthOf(segment, true);
}
std::int32_t GetMaxUnflaggedDepth(const model::TGPX &doc) {
    return MaxDepthOf(doc, true);
}

void ApplyDepth(model::TGPXtrkseg &segment, std::int32_t Depth) {
    for (const auto &p : segment.Items())
        p->HBdepth = Depth;
}

void ApplyDepth(model::TGPX &doc, std::int32_t Depth) {
    ForEachSegment(doc, [&](model::TGPXtrk &, model::TGPXtrkseg &s) { ApplyDepth(s, Depth); });
}

void AddDepthOffset(model::TGPXtrkseg &segment, std::int32_t Offset) {
    for (const auto &p : segment.Items())
        p->HBdepth += Offset;
}

void AddDepthOffset(model::TGPX &doc, std::int32_t Offset) {
    ForEachSegment(doc, [&](model::TGPXtrk &, model::TGPXtrkseg &s) { AddDepthOffset(s, Offset); });
}

void RemoveZeroReadings(model::TGPXtrkseg &segment) {
    for (int i = segment.Count() - 1; i >= 0; --i)
        if (segment.Get(i)->HBdepth == 0)
            segment.FreeAndDelete(i);
}

void RemoveZeroReadings(model::TGPX &doc) {
    ForEachSegment(doc, [](model::TGPXtrk &, model::TGPXtrkseg &s) { RemoveZeroReadings(s); });
}

bool CoordinatesInRange(const model::TGPX &doc) {
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            for (const auto &p : s->Items())
                // Written so that NaN is out of range too.
                if (!(std::fabs(p->Latitude) <= 90) || !(std::fabs(p->Longitude) <= 180))
                    return false;
    return true;
}

std::string LowerExtension(const std::string &path) {
    std::size_t slash = path.rfind('/'), dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return support::LowerAscii(path.substr(dot));
}

std::string FileNameOf(const std::string &path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

TProjectLoader::TProjectLoader(model::TGPX &project, support::Dialogs &dialogs,
                               support::LogLine log)
    : project_(project), dialogs_(dialogs), log_(std::move(log)) {
    if (!log_)
        log_ = [](const std::string &) {};
}

std::int32_t TProjectLoader::AskInteger(const std::string &caption, const std::string &prompt) {
    std::string answer = dialogs_.InputBox(caption, prompt, "0");
    auto v = support::TryStrToInt(answer);
    if (!v)
        throw std::runtime_error("\"" + answer + "\" is not a valid integer value");
    return *v;
}

// The depth steps of a loaded GPX segment or HT file: with depth readings its 0 m readings
// go; without, the user may give it one depth; then the user may add an offset. Returns
// the depth the data is marked with.
template <class Data>
std::int32_t TProjectLoader::SettleDepths(Data &data, const std::string &caller,
                                          const std::string &prompt) {
    std::int32_t d = GetMaxDepth(data);
    log_(caller + ": GetMaxDepth is " + std::to_string(d));
    if (d != 0) {
        log_(caller + ": Track has valid depth readings");
        log_(caller + ": Removing all 0m readings");
        RemoveZeroReadings(data);
    }
    if (AddDepth && d == 0) {
        d = std::max(0, AskInteger("Apply depth to dataset", prompt + " Depth [cm]:"));
        ApplyDepth(data, d);
    }
    if (AddOffset) {
        std::int32_t offset = AskInteger("Add value to dataset", prompt + " Add Depth [cm]:");
        AddDepthOffset(data, offset);
        d += offset;
    }
    return d;
}

// The file's document is dropped right after, so its tracks move instead of being
// copied: a large survey then never needs twice its memory. The list's filled flag is
// taken over as a copy would take it.
void TProjectLoader::Append(model::TGPX &doc) {
    project_.trk.filled = doc.trk.filled;
    for (auto &track : doc.trk.ExtractAll())
        project_.trk.Add(std::move(track));
    MaxDepth = GetMaxUnflaggedDepth(project_);
}

int TProjectLoader::LoadFile(const std::string &path) {
    const std::string ext = LowerExtension(path);
    if (ext == ".gpx")
        return LoadGPXFile(path);
    if (ext == ".kml")
        return LoadKMLFile(path);
    if (ext == ".ht")
        return LoadHTFile(path);
    if (ext == ".shp")
        return LoadSHPFile(path);
    throw UnsupportedExtension(path);
}

int TProjectLoader::LoadGPXFile(const std::string &path) {
    if (!FileExists(path))
        return -1;
    log_("LoadGPXFile: Trying to open " + path);
    model::TGPX doc;
    formats::TGPXFile reader;
    reader.GPXd = &doc;
    reader.ImportGPXFile(path);
    if (!reader.Loaded) // not XML or not GPX: the reader's own words
        throw std::runtime_error(reader.mLog.empty() ? "File not loaded" : reader.mLog.back());
    const std::string name = FileNameOf(path);
    for (const auto &t : doc.trk.Items()) {
        log_("LoadGPXFile: Examining Track " + t->name);
        for (const auto &s : t->Items())
            s->maxdepth = SettleDepths(*s, "LoadGPXFile", name + "Track: " + t->name);
    }
    Append(doc);
    InterpolatorEnabled = true;
    return 0;
}

int TProjectLoader::LoadHTFile(const std::string &path) {
    if (!FileExists(path))
        return -1;
    log_("LoadHTFile: Trying to open " + path);
    model::TGPX doc;
    formats::THTConvert reader(&doc, "", path, dialogs_, log_);
    if (!reader.ReadHT())
        return -1; // the reader has shown why
    log_("LoadHTFile: Appending HT Track: " + reader.sTrackName);
    const std::int32_t d =
        SettleDepths(doc, "LoadHTFile", FileNameOf(path) + "Track: " + reader.sTrackName);
    ForEachSegment(doc, [&](model::TGPXtrk &, model::TGPXtrkseg &s) { s.maxdepth = d; });
    Append(doc);
    InterpolatorEnabled = true;
    return 0;
}

int TProjectLoader::LoadKMLFile(const std::string &path) {
    if (!FileExists(path))
        return -1;
    model::TGPX doc;
    formats::TKMLFile reader;
    reader.GPXd = &doc;
    reader.ImportKML(path);
    if (!reader.Loaded)
        throw std::runtime_error(reader.mLog.empty() ? "File not loaded" : reader.mLog.back());
    std::int32_t d = 0;
    if (AddDepth) {
        d = std::max(0, AskInteger("Apply depth to dataset", FileNameOf(path) + " Depth [cm]:"));
        ApplyDepth(doc, d);
        InterpolatorEnabled = true;
    }
    ForEachSegment(doc, [&](model::TGPXtrk &, model::TGPXtrkseg &s) { s.maxdepth = d; });
    Append(doc);
    return 0;
}

bool TProjectLoader::ReadShapefile(const std::string &path, model::TGPX &doc) {
    const std::string table = path.substr(0, path.size() - LowerExtension(path).size()) + ".dbf";
    if (!FileExists(path) || !FileExists(table))
        return false;
    log_("LoadSHPFile: Trying to open " + path);
    log_("LoadSHPFile: Trying to open " + table);
    formats::TShapefile shp(dialogs_, log_);
    shp.LoadSHP(path);
    shp.LoadDBF(table);
    if (ImportCoordinates)
        ImportCoordinates(shp);
    if (JoinDBF)
        JoinDBF(shp);
    shp.MakeGPX(&doc);
    return true;
}

int TProjectLoader::LoadSHPFile(const std::string &path) {
    model::TGPX doc;
    if (!ReadShapefile(path, doc))
        return -1;
    if (!CoordinatesInRange(doc)) {
        dialogs_.Error("Coordinates out of range. Please check import settings.");
        return -1;
    }
    // Polylines that received a depth from the table are soundings (published depth
    // contours); those at depth 0 stay shoreline outlines.
    bool anyDepth = false;
    ForEachSegment(doc, [&](model::TGPXtrk &, model::TGPXtrkseg &s) {
        s.maxdepth = GetMaxDepth(s);
        anyDepth = anyDepth || s.maxdepth != 0;
    });
    Append(doc);
    InterpolatorEnabled = InterpolatorEnabled || anyDepth;
    return 0;
}

} // namespace depth
