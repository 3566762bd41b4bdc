#include "depth/ProjectLoader.h"

#include "depth/FormatRegistry.h"
#include "support/NumText.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace depth {

namespace {

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

TProjectLoader::TProjectLoader(model::TGPX &project, support::LogLine log)
    : project_(project), log_(std::move(log)) {
    if (!log_)
        log_ = [](const std::string &) {};
}

// The depth steps of a loaded segment or file: with depth readings its 0 m readings go;
// without, the user may give it one depth; then the user may add an offset. Returns the
// depth the data is marked with.
template <class Data>
std::int32_t TProjectLoader::SettleDepths(Data &data, const std::string &caller,
                                          const std::string &what) {
    std::int32_t d = GetMaxDepth(data);
    log_(caller + ": GetMaxDepth is " + std::to_string(d));
    if (d != 0) {
        log_(caller + ": Track has valid depth readings");
        log_(caller + ": Removing all 0m readings");
        RemoveZeroReadings(data);
    }
    if (Options.DepthFor && d == 0) {
        d = std::max(0, Options.DepthFor(what));
        ApplyDepth(data, d);
    }
    if (Options.OffsetFor) {
        std::int32_t offset = Options.OffsetFor(what);
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
    const TFormat *format = FormatOf(path);
    if (!format || !format->Read)
        throw UnsupportedExtension(path);
    if (!support::FileExists(path))
        return -1;
    const std::string &caller = format->LogName;
    if (format->Kind != TLoadKind::Shapefile && format->Kind != TLoadKind::Outlines)
        log_(caller + ": Trying to open " + path);
    model::TGPX doc;
    const formats::ReadResult read = format->Read(path, doc, Options.Read);
    // The GPX and KML readers keep their log to themselves; a recording's lines are the
    // loader's, a shapefile's come as the reader wrote them.
    if (format->Kind == TLoadKind::Recording || format->Kind == TLoadKind::Shapefile)
        for (const std::string &line : read.log)
            log_(format->Kind == TLoadKind::Recording ? caller + ": " + line : line);
    if (!read.loaded)
        throw std::runtime_error(read.error ? read.error->text : "File not loaded");
    if (read.error) // damaged or cut short: what was read is kept
        Warnings.push_back(FileNameOf(path) + ": " + read.error->text);
    const std::string name = FileNameOf(path);
    switch (format->Kind) {
    case TLoadKind::Tracks:
        for (const auto &t : doc.trk.Items()) {
            log_(caller + ": Examining Track " + t->name);
            for (const auto &s : t->Items())
                s->maxdepth = SettleDepths(*s, caller, name + "Track: " + t->name);
        }
        InterpolatorEnabled = true;
        break;
    case TLoadKind::Recording: {
        if (doc.trk.Empty())
            return 0; // not one sounding: nothing to settle
        const std::string track = doc.trk.First()->name;
        if (format->Name == "ht")
            log_(caller + ": Appending HT Track: " + track);
        const std::int32_t d = SettleDepths(doc, caller, name + "Track: " + track);
        ForEachSegment(doc, [&](model::TGPXtrk &, model::TGPXtrkseg &s) { s.maxdepth = d; });
        InterpolatorEnabled = true;
        break;
    }
    case TLoadKind::Outlines: {
        std::int32_t d = 0;
        if (Options.DepthFor) {
            d = std::max(0, Options.DepthFor(name));
            ApplyDepth(doc, d);
            InterpolatorEnabled = true;
        }
        ForEachSegment(doc, [&](model::TGPXtrk &, model::TGPXtrkseg &s) { s.maxdepth = d; });
        break;
    }
    case TLoadKind::Shapefile: {
        if (!CoordinatesInRange(doc))
            throw std::runtime_error("Coordinates out of range. Please check import settings.");
        // A lone point without a depth is neither a sounding nor an outline.
        for (const auto &t : doc.trk.Items())
            for (int s = t->Count() - 1; s >= 0; --s)
                if (t->Get(s)->Count() == 1 && GetMaxDepth(*t->Get(s)) == 0)
                    t->FreeAndDelete(s);
        // Polylines that received a depth from the table are soundings (published depth
        // contours); those at depth 0 stay shoreline outlines.
        bool anyDepth = false;
        ForEachSegment(doc, [&](model::TGPXtrk &, model::TGPXtrkseg &s) {
            s.maxdepth = GetMaxDepth(s);
            anyDepth = anyDepth || s.maxdepth != 0;
        });
        InterpolatorEnabled = InterpolatorEnabled || anyDepth;
        break;
    }
    }
    Append(doc);
    return 0;
}

} // namespace depth
