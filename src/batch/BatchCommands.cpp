#include "batch/BatchCommands.h"

#include "formats/GPXFile.h"
#include "support/AtomicFile.h"
#include "support/NumText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <ostream>

namespace batch {

namespace {

std::string Extension(const std::string &path) {
    std::size_t slash = path.rfind('/');
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return support::LowerAscii(path.substr(dot));
}

struct LoadResult {
    std::string format;
    bool loaded = false;
    std::vector<std::string> log;
    std::optional<std::string> error;
};

// Reads one file into `doc` by its extension, as "Add Files..." picks the reader.
LoadResult LoadFile(const std::string &path, model::TGPX &doc) {
    LoadResult r;
    std::string ext = Extension(path);
    if (ext != ".gpx") {
        r.format = ext.empty() ? "unknown" : ext.substr(1);
        r.error = "File extension not supported: " + path;
        return r;
    }
    r.format = "gpx";
    formats::TGPXFile reader;
    reader.GPXd = &doc;
    try {
        reader.ImportGPXFile(path);
    } catch (const std::exception &e) {
        r.error = e.what();
    }
    r.loaded = reader.Loaded;
    r.log = reader.mLog;
    if (!r.loaded && !r.error)
        r.error = r.log.empty() ? "File not loaded" : r.log.back();
    return r;
}

struct Summary {
    long long waypoints = 0, routes = 0, routePoints = 0, tracks = 0, segments = 0,
              trackPoints = 0, depthPoints = 0, maxDepthCm = 0;
    bool hasBounds = false;
    double minLat = 0, minLon = 0, maxLat = 0, maxLon = 0;
    std::vector<const model::TGPXwpt *> points; // every point, in document order

    void AddPoint(const model::TGPXwpt &p) {
        points.push_back(&p);
        if (!hasBounds) {
            minLat = maxLat = p.Latitude;
            minLon = maxLon = p.Longitude;
            hasBounds = true;
        }
        minLat = std::min(minLat, p.Latitude);
        maxLat = std::max(maxLat, p.Latitude);
        minLon = std::min(minLon, p.Longitude);
        maxLon = std::max(maxLon, p.Longitude);
    }
};

Summary Summarise(const model::TGPX &doc) {
    Summary s;
    s.waypoints = doc.wpt.Count();
    for (const auto &p : doc.wpt.Items())
        s.AddPoint(*p);
    s.routes = doc.rte.Count();
    for (const auto &r : doc.rte.Items()) {
        s.routePoints += r->Count();
        for (const auto &p : r->Items())
            s.AddPoint(*p);
    }
    s.tracks = doc.trk.Count();
    double maxDepth = 0;
    for (const auto &t : doc.trk.Items()) {
        s.segments += t->Count();
        for (const auto &seg : t->Items()) {
            s.trackPoints += seg->Count();
            for (const auto &p : seg->Items()) {
                s.AddPoint(*p);
                if (p->HBdepth != 0)
                    ++s.depthPoints;
                if (p->HBdepth > maxDepth)
                    maxDepth = p->HBdepth;
            }
        }
    }
    s.maxDepthCm = std::isfinite(maxDepth)
                       ? static_cast<long long>(std::min(std::trunc(maxDepth), 9.0e18))
                       : 0;
    return s;
}

std::string Num(double v) { return support::FloatToStrG15(v); }

void PrintText(std::ostream &out, const std::string &file, const LoadResult &r,
               const Summary &s) {
    out << "file: " << file << "\n"
        << "format: " << r.format << "\n"
        << "loaded: " << (r.loaded ? "yes" : "no") << "\n"
        << "waypoints: " << s.waypoints << "\n"
        << "routes: " << s.routes << "\n"
        << "routePoints: " << s.routePoints << "\n"
        << "tracks: " << s.tracks << "\n"
        << "segments: " << s.segments << "\n"
        << "trackPoints: " << s.trackPoints << "\n"
        << "depthPoints: " << s.depthPoints << "\n"
        << "maxDepthCm: " << s.maxDepthCm << "\n";
    if (s.hasBounds)
        out << "bounds: " << Num(s.minLat) << " " << Num(s.minLon) << " " << Num(s.maxLat) << " "
            << Num(s.maxLon) << "\n";
    else
        out << "bounds: none\n";
    for (const std::string &line : r.log)
        out << "log: " << line << "\n";
    if (r.error)
        out << "error: " << *r.error << "\n";
}

nlohmann::json JsonNumber(double v) {
    if (!std::isfinite(v))
        return nullptr;
    return v;
}

void PrintJson(std::ostream &out, const std::string &file, const LoadResult &r,
               const Summary &s) {
    nlohmann::json j;
    j["file"] = file;
    j["format"] = r.format;
    j["loaded"] = r.loaded;
    j["waypoints"] = s.waypoints;
    j["routes"] = s.routes;
    j["routePoints"] = s.routePoints;
    j["tracks"] = s.tracks;
    j["segments"] = s.segments;
    j["trackPoints"] = s.trackPoints;
    j["depthPoints"] = s.depthPoints;
    j["maxDepthCm"] = s.maxDepthCm;
    if (s.hasBounds)
        j["bounds"] = {{"minLat", JsonNumber(s.minLat)},
                       {"minLon", JsonNumber(s.minLon)},
                       {"maxLat", JsonNumber(s.maxLat)},
                       {"maxLon", JsonNumber(s.maxLon)}};
    else
        j["bounds"] = nullptr;
    j["log"] = r.log;
    j["error"] = r.error ? nlohmann::json(*r.error) : nlohmann::json(nullptr);
    // Text from files need not be UTF-8; replace what is not instead of failing.
    out << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

void PrintPoints(std::ostream &out, const Summary &s, bool json) {
    for (const model::TGPXwpt *p : s.points) {
        if (json) {
            nlohmann::json j = {{"lon", JsonNumber(p->Longitude)},
                                {"lat", JsonNumber(p->Latitude)},
                                {"depth", JsonNumber(p->HBdepth)}};
            out << j.dump() << "\n";
        } else {
            out << Num(p->Longitude) << " " << Num(p->Latitude) << " " << Num(p->HBdepth) << "\n";
        }
    }
}

} // namespace

void PrintUsage(std::ostream &out) {
    out << "Usage: depthwright-batch COMMAND [OPTIONS] ...\n"
           "\n"
           "Commands:\n"
           "  info [--json] [--points] FILE...\n"
           "      Reads each file as the desktop program would and prints what it holds:\n"
           "      counts of waypoints, routes, tracks and points, the points with a depth,\n"
           "      the greatest depth in centimetres, the bounds, the reader's log and any\n"
           "      error. --json prints one JSON object per file and line. --points also\n"
           "      lists every point as longitude, latitude and depth.\n"
           "      Exit status 0 when every file loaded, 1 otherwise.\n"
           "  convert IN OUT.gpx\n"
           "      Reads IN and writes its whole content as a GPX file. OUT is replaced only\n"
           "      when the whole file was written.\n"
           "\n"
           "Readable formats: GPX (.gpx).\n";
}

int RunInfo(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    bool json = false, points = false;
    std::vector<std::string> files;
    for (const std::string &a : args) {
        if (a == "--json")
            json = true;
        else if (a == "--points")
            points = true;
        else if (a.size() > 1 && a[0] == '-') {
            err << "depthwright-batch info: unknown option " << a
                << " (allowed: --json, --points)\n";
            return 2;
        } else
            files.push_back(a);
    }
    if (files.empty()) {
        err << "depthwright-batch info: no FILE given\n";
        return 2;
    }
    bool all = true;
    for (const std::string &file : files) {
        model::TGPX doc;
        LoadResult r = LoadFile(file, doc);
        Summary s = Summarise(doc);
        if (json)
            PrintJson(out, file, r, s);
        else
            PrintText(out, file, r, s);
        if (points)
            PrintPoints(out, s, json);
        all = all && r.loaded;
    }
    return all ? 0 : 1;
}

int RunConvert(const std::vector<std::string> &args, std::ostream &, std::ostream &err) {
    for (const std::string &a : args)
        if (a.size() > 1 && a[0] == '-') {
            err << "depthwright-batch convert: unknown option " << a << "\n";
            return 2;
        }
    if (args.size() != 2) {
        err << "depthwright-batch convert: expected IN OUT.gpx\n";
        return 2;
    }
    const std::string &in = args[0], &outPath = args[1];
    if (Extension(outPath) != ".gpx") {
        err << "depthwright-batch convert: File extension not supported: " << outPath << "\n";
        return 1;
    }
    model::TGPX doc;
    LoadResult r = LoadFile(in, doc);
    if (!r.loaded) {
        err << "depthwright-batch convert: cannot read " << in << ": " << r.error.value_or("")
            << "\n";
        return 1;
    }
    formats::TGPXFile writer;
    writer.GPXd = &doc;
    try {
        writer.ExportGPX(outPath);
    } catch (const std::exception &e) {
        err << "depthwright-batch convert: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace batch
