#include "batch/BatchCommands.h"
#include "batch/ShapefileOptions.h"

#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "formats/HumminbirdRecording.h"
#include "formats/KMLFile.h"
#include "formats/LowranceLog.h"
#include "formats/ShapefileImport.h"
#include "depth/ProjectLoader.h"
#include "support/Dialogs.h"
#include "support/AtomicFile.h"
#include "support/NumText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <ostream>
#include <stdexcept>

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

// Boxes a reader shows become log lines where they happen; the first error box is the
// load's error.
class BatchDialogs : public support::ScriptedDialogs {
  public:
    explicit BatchDialogs(LoadResult &r) : r_(r) {}
    void Message(support::BoxKind kind, const std::string &text, support::BoxButton button) override {
        ScriptedDialogs::Message(kind, text, button);
        const bool error = kind == support::BoxKind::Error;
        r_.log.push_back((error ? "error: " : kind == support::BoxKind::Warning ? "warning: " : "") + text);
        if (error && !r_.error)
            r_.error = text;
    }

  private:
    LoadResult &r_;
};

std::string BaseName(const std::string &path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

LoadResult LoadGPX(const std::string &path, model::TGPX &doc) {
    LoadResult r;
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

LoadResult LoadKML(const std::string &path, model::TGPX &doc) {
    LoadResult r;
    formats::TKMLFile reader;
    reader.GPXd = &doc;
    reader.ImportKML(path);
    r.loaded = reader.Loaded;
    r.log = reader.mLog;
    if (!r.loaded)
        r.error = r.log.empty() ? "File not loaded" : r.log.back();
    return r;
}

LoadResult LoadHT(const std::string &path, model::TGPX &doc) {
    LoadResult r;
    BatchDialogs dialogs(r);
    formats::THTConvert reader(&doc, "", path, dialogs,
                               [&](const std::string &line) { r.log.push_back(line); });
    try {
        r.loaded = reader.ReadHT();
    } catch (const std::exception &e) {
        r.error = e.what();
    }
    if (!r.loaded && !r.error)
        r.error = "File not loaded";
    return r;
}

// A log cut off or damaged loads with what was read; its reader's log says where it stopped.
LoadResult LoadSonar(const std::string &path, const std::string &ext, model::TGPX &doc) {
    const formats::ReadResult res = ext == ".dat" ? formats::ReadHumminbirdRecording(path, doc)
                                                  : formats::ReadLowranceLog(path, doc);
    LoadResult r;
    r.loaded = res.loaded;
    r.log = res.log;
    if (!res.loaded)
        r.error = res.error ? res.error->text : "File not loaded";
    return r;
}

LoadResult LoadSHP(const std::string &path, model::TGPX &doc, const ShapefileOptions &o) {
    LoadResult r;
    BatchDialogs dialogs(r);
    depth::TProjectLoader loader(doc, dialogs,
                                 [&](const std::string &line) { r.log.push_back(line); });
    loader.ImportCoordinates = [&](formats::TShapefile &shp) { ImportCoordinates(shp, o); };
    loader.JoinDBF = [&](formats::TShapefile &shp) { ChooseDepthField(shp, o, dialogs); };
    try {
        r.loaded = loader.ReadShapefile(path, doc);
        if (!r.loaded)
            r.error = "File not found: " + path + " (with its .dbf table)";
    } catch (const std::exception &e) {
        r.loaded = false;
        r.error = e.what();
    }
    // A box that reports an error means the file did not load as a whole.
    if (r.loaded && r.error)
        r.loaded = false;
    return r;
}

// Reads one file into `doc`, the reader chosen by the extension as "Add Files..." does.
LoadResult LoadFile(const std::string &path, model::TGPX &doc, const ShapefileOptions &shp = {}) {
    std::string ext = Extension(path);
    LoadResult r;
    if (ext == ".gpx")
        r = LoadGPX(path, doc);
    else if (ext == ".kml")
        r = LoadKML(path, doc);
    else if (ext == ".ht")
        r = LoadHT(path, doc);
    else if (ext == ".shp")
        r = LoadSHP(path, doc, shp);
    else if (ext == ".sl2" || ext == ".sl3" || ext == ".slg" || ext == ".dat")
        r = LoadSonar(path, ext, doc);
    else
        r.error = "File extension not supported: " + path;
    r.format = ext.empty() ? "unknown" : ext == ".dat" ? "humminbird" : ext.substr(1);
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

namespace {

const char *const kUsage = "Usage: depthwright-batch COMMAND [OPTIONS] FILE...\n"
                           "       depthwright-batch COMMAND --help   (the options of one command)\n";

const char *const kShapefileHelp =
    "Shapefile options (for a .shp file with its .shx index and .dbf table beside it):\n"
    "  --utm ZONE          the coordinates are UTM in ZONE (1..60) (default: they are\n"
    "                      longitude and latitude in degrees)\n"
    "  --south             UTM of the southern hemisphere (default: northern)\n"
    "  --x-offset N        whole number added to every easting (default -500000)\n"
    "  --y-offset N        whole number added to every northing (default 0)\n"
    "  --depth-field NAME  the table column holding each polyline's depth (default: none,\n"
    "                      the shapes have no depth); the name is matched in any case\n"
    "  --depth-scale X     the column's values times X are centimetres (default 1; 100\n"
    "                      for a column in metres)\n";

const char *const kInfoHelp =
    "info [--json] [--points] [SHAPEFILE OPTIONS] FILE...\n"
    "  Reads each file as the desktop program would and prints what it holds: counts of\n"
    "  waypoints, routes, tracks, segments and points, the points with a depth, the\n"
    "  greatest depth in centimetres, the bounds, the reader's log and any error.\n"
    "  Sonar recordings (.sl2, .sl3, Humminbird .DAT) give one point per ping with a\n"
    "  depth and a position; a recording cut off or damaged loads with what was read,\n"
    "  and its log says where reading stopped.\n"
    "  Exit status 0 when every file loaded, 1 otherwise.\n"
    "  --json     one JSON object per file and line (default: text, one field a line)\n"
    "  --points   also lists every point as longitude, latitude and depth in cm\n"
    "             (default: counts only)\n";

const char *const kConvertHelp =
    "convert [SHAPEFILE OPTIONS] IN OUT.gpx\n"
    "  Reads IN (GPX, KML, HT, shapefile or sonar recording) and writes its whole\n"
    "  content as GPX.\n"
    "convert [SHAPEFILE OPTIONS] IN OUT.ht [--track-name NAME]\n"
    "  Writes the tracks of IN as one HT track file for the sonar unit (at most 20000\n"
    "  positions).\n"
    "  --track-name NAME  the track's name in the file, cut to 20 characters\n"
    "                     (default: OUT's base name without its extension)\n"
    "  In both forms OUT is replaced only when the whole file was written.\n";

const char *const kRenderHelp =
    "render [SHAPEFILE OPTIONS] FILE... --out MAP.bmp|MAP.jpg [OPTIONS]\n"
    "  Loads the files as \"Add Files...\" does and draws the project map.\n"
    "  --out MAP.bmp|MAP.jpg      the project map (required)\n"
    "  --size WxH                 width and height in pixels, 1..10000 (default 840x600)\n"
    "  --colors MODEL.cmt         the colour model (default 0% Lime, 50% Yellow,\n"
    "                             100% Blue)\n"
    "  --extrapolation-radius PX  width of the shadow band, 1..999 (default 50)\n"
    "  --shadow SHADOW.bmp        also draws the shadow band of the soundings, the area\n"
    "                             the interpolation fills (default: not drawn)\n"
    "  --mask MASK.bmp            the water mask built from the shorelines (default: not\n"
    "                             drawn)\n"
    "  --shore SHORE.bmp          the shore raster built from the shorelines (default: not\n"
    "                             drawn)\n";

const char *const kChartHelp =
    "chart [SHAPEFILE OPTIONS] FILE... [OPTIONS]\n"
    "  The whole pipeline: loads the files, fits the map, interpolates the depth grid,\n"
    "  smooths it, traces the contours and writes what is asked. Prints a JSON summary\n"
    "  with the time and memory of each phase.\n"
    "  --add-depth N              depth in cm given to files without depths, the answer\n"
    "                             to \"Enter depth when loading data /wo depth\" (default:\n"
    "                             not asked)\n"
    "  --depth-offset N           cm added to every depth, the answer to \"Enter depth\n"
    "                             offset (+/-)\" (default: not asked)\n"
    "  --size WxH                 the map in pixels, 1..10000 (default 840x600)\n"
    "  --threads N                interpolation threads, 1..256 (default: one per\n"
    "                             processor)\n"
    "  --style P                  interpolation style, 2..8 (default 5); higher values\n"
    "                             give the nearest soundings more weight\n"
    "  --extrapolation-radius PX  how far from the soundings the chart reaches, 1..999\n"
    "                             (default 50)\n"
    "  --smoothing N              smoothing passes over the grid, 0..10 (default 6)\n"
    "  --iso-start CM             depth of the first contour (default 100)\n"
    "  --iso-step CM              depth step between contours, at least 1 (default 100)\n"
    "  --image CHART.bmp|.jpg     the coloured depth chart (default: not written)\n"
    "  --contours CONTOURS.gpx    the contours as GPX tracks (default: not written)\n"
    "  --ht-dir DIR               the contours as HT files 000.ht, 001.ht, ... in DIR\n"
    "                             (default: not written)\n"
    "  --track-name NAME          the track name in the HT files (default NewTrack)\n"
    "  --grid GRID.f32            the grid as raw little-endian 32-bit floats, column by\n"
    "                             column (default: not written)\n"
    "  --colors MODEL.cmt         the colour model (default 0% Lime, 50% Yellow,\n"
    "                             100% Blue)\n"
    "  --scan linear|index        how the interpolation finds its samples: every sample\n"
    "                             for every cell, or through the spatial index (default\n"
    "                             index; both give the same grid)\n";

void Section(std::ostream &out, const char *text, bool shapefile) {
    out << kUsage << "\n" << text;
    if (shapefile)
        out << "\n" << kShapefileHelp;
}

} // namespace

bool PrintUsage(std::ostream &out, const std::string &command) {
    if (command == "info")
        Section(out, kInfoHelp, true);
    else if (command == "convert")
        Section(out, kConvertHelp, true);
    else if (command == "render")
        Section(out, kRenderHelp, true);
    else if (command == "chart")
        Section(out, kChartHelp, true);
    else if (!command.empty())
        return false;
    else
        out << kUsage << "\nCommands:\n\n"
            << kInfoHelp << "\n"
            << kConvertHelp << "\n"
            << kRenderHelp << "\n"
            << kChartHelp << "\n"
            << kShapefileHelp << "\n"
            << "Readable formats: GPX (.gpx), KML (.kml), HT track files (.ht), shapefiles "
               "(.shp),\n"
               "Lowrance-family sonar logs (.sl2, .sl3; not .slg) and Humminbird recordings\n"
               "(the .DAT file, with the folder of the same name beside it).\n";
    return true;
}

bool TakeShapefileOption(const std::vector<std::string> &args, std::size_t &i,
                         ShapefileOptions &o) {
    const std::string &a = args[i];
    auto value = [&]() -> const std::string & {
        if (i + 1 >= args.size())
            throw std::invalid_argument(a + " needs a value");
        return args[++i];
    };
    auto integer = [&](const std::string &text) {
        auto v = support::TryStrToInt(text);
        if (!v)
            throw std::invalid_argument(a + " takes a whole number (such as -500000), not \"" +
                                        text + "\"");
        return *v;
    };
    if (a == "--utm") {
        const std::string &text = value();
        auto zone = support::TryStrToInt(text);
        if (!zone || *zone < 1 || *zone > 60)
            throw std::invalid_argument("--utm takes a zone from 1 to 60, not \"" + text + "\"");
        o.utmZone = *zone;
    } else if (a == "--south") {
        o.south = true;
    } else if (a == "--x-offset") {
        o.xOffset = std::to_string(integer(value()));
    } else if (a == "--y-offset") {
        o.yOffset = std::to_string(integer(value()));
    } else if (a == "--depth-field") {
        o.depthField = value();
    } else if (a == "--depth-scale") {
        const std::string &v = value();
        if (!support::TryStrToFloat(v))
            throw std::invalid_argument("--depth-scale takes a number such as 100 or 0.5, not \"" +
                                        v + "\"");
        o.depthScale = v;
    } else {
        return false;
    }
    return true;
}

void ImportCoordinates(formats::TShapefile &shp, const ShapefileOptions &o) {
    if (o.utmZone)
        formats::ImportCoordinatesOK(shp, 1, o.xOffset, o.yOffset, std::to_string(*o.utmZone),
                                     o.south ? 1 : 0);
}

void ChooseDepthField(formats::TShapefile &shp, const ShapefileOptions &o,
                      support::Dialogs &dialogs) {
    if (!o.depthField)
        return;
    std::string available;
    for (std::size_t i = 0; i < shp.DatabaseFields.size(); ++i) {
        const std::string name = shp.DatabaseFields[i].ShownName();
        if (support::EqualsNoCase(name, *o.depthField)) {
            if (!formats::JoinDBFOK(shp, static_cast<int>(i), o.depthScale, dialogs))
                throw std::runtime_error("the depth column does not fit the shapes");
            return;
        }
        available += (available.empty() ? "" : ", ") + name;
    }
    throw std::runtime_error("no column " + *o.depthField + " in the table (columns: " +
                             available + ")");
}

int RunInfo(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    bool json = false, points = false;
    ShapefileOptions shp;
    std::vector<std::string> files;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string &a = args[i];
            if (a == "--json")
                json = true;
            else if (a == "--points")
                points = true;
            else if (TakeShapefileOption(args, i, shp))
                continue;
            else if (a.size() > 1 && a[0] == '-')
                throw std::invalid_argument("unknown option " + a +
                                            " (allowed: --json, --points, --utm ZONE, --south, "
                                            "--x-offset N, --y-offset N, --depth-field NAME, "
                                            "--depth-scale X)");
            else
                files.push_back(a);
        }
    } catch (const std::invalid_argument &e) {
        err << "depthwright-batch info: " << e.what() << "\n";
        return 2;
    }
    if (files.empty()) {
        err << "depthwright-batch info: no FILE given\n";
        return 2;
    }
    bool all = true;
    for (const std::string &file : files) {
        model::TGPX doc;
        LoadResult r = LoadFile(file, doc, shp);
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

namespace {

int WriteHT(model::TGPX &doc, const std::string &outPath, std::string trackName,
            std::ostream &err) {
    if (trackName.empty()) {
        std::string base = BaseName(outPath);
        trackName = base.substr(0, base.rfind('.'));
    }
    support::ScriptedDialogs dialogs;
    std::vector<std::string> log;
    formats::THTConvert writer(&doc, trackName, outPath, dialogs, // the writer keeps 20 characters
                               [&](const std::string &line) { log.push_back(line); });
    bool written = false;
    try {
        written = writer.ConvertToHT();
    } catch (const std::exception &e) {
        err << "depthwright-batch convert: " << e.what() << "\n";
        return 1;
    }
    if (!written) {
        std::string why = dialogs.shown.empty() ? "no point to write" : dialogs.shown.front().text;
        err << "depthwright-batch convert: " << why << "\n";
        return 1;
    }
    return 0;
}

int WriteGPX(model::TGPX &doc, const std::string &outPath, std::ostream &err) {
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

} // namespace

int RunConvert(const std::vector<std::string> &args, std::ostream &, std::ostream &err) {
    std::vector<std::string> files;
    std::string trackName;
    ShapefileOptions shp;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        try {
            if (TakeShapefileOption(args, i, shp))
                continue;
        } catch (const std::invalid_argument &e) {
            err << "depthwright-batch convert: " << e.what() << "\n";
            return 2;
        }
        if (a == "--track-name") {
            if (i + 1 >= args.size()) {
                err << "depthwright-batch convert: --track-name needs a NAME\n";
                return 2;
            }
            trackName = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            err << "depthwright-batch convert: unknown option " << a
                << " (allowed: --track-name NAME, --utm ZONE, --south, --x-offset N, "
                   "--y-offset N, --depth-field NAME, --depth-scale X)\n";
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) {
        err << "depthwright-batch convert: expected IN OUT.gpx or IN OUT.ht\n";
        return 2;
    }
    const std::string &in = files[0], &outPath = files[1];
    const std::string outExt = Extension(outPath);
    if (outExt != ".gpx" && outExt != ".ht") {
        err << "depthwright-batch convert: File extension not supported: " << outPath
            << " (allowed: .gpx, .ht)\n";
        return 1;
    }
    model::TGPX doc;
    LoadResult r = LoadFile(in, doc, shp);
    if (!r.loaded) {
        err << "depthwright-batch convert: cannot read " << in << ": " << r.error.value_or("")
            << "\n";
        return 1;
    }
    return outExt == ".ht" ? WriteHT(doc, outPath, trackName, err) : WriteGPX(doc, outPath, err);
}

} // namespace batch
