#include "batch/BatchCommands.h"
#include "batch/ShapefileOptions.h"

#include "depth/FormatRegistry.h"
#include "depth/ProjectLoader.h"
#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "formats/HumminbirdRecording.h"
#include "formats/KMLFile.h"
#include "formats/LowranceLog.h"
#include "formats/ShapefileImport.h"
#include "formats/shapefile.h"
#include "support/AtomicFile.h"
#include "support/Dialogs.h"
#include "support/FilePath.h"
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

struct LoadResult {
    std::string format;
    bool loaded = false;
    std::vector<std::string> log;
    std::optional<std::string> error;
};

// Reads one file into `doc` with its format's reader, as "Add Files..." does. A file cut
// short or damaged loads with what was read; its error says where reading stopped.
LoadResult LoadFile(const std::string &path, model::TGPX &doc, const ShapefileOptions &shp = {}) {
    LoadResult r;
    const depth::TFormat *format = depth::FormatOf(path);
    if (!format || !format->Read) {
        const std::string ext = support::LowerExtension(path);
        r.format = ext.empty() ? "unknown" : ext.substr(1);
        r.error = "File extension not supported: " + path;
        return r;
    }
    r.format = format->Name;
    formats::TReadOptions options;
    options.PrepareShapefile = [&](formats::TShapefile &s) { PrepareShapefile(s, shp); };
    try {
        formats::ReadResult read = format->Read(path, doc, options);
        r.loaded = read.loaded;
        r.log = std::move(read.log);
        if (read.error)
            r.error = read.error->text;
    } catch (const std::exception &e) {
        r.loaded = false;
        r.error = e.what();
    }
    if (!r.loaded && !r.error)
        r.error = "File not loaded";
    return r;
}

struct Summary {
    long long waypoints = 0, routes = 0, routePoints = 0, tracks = 0, segments = 0, trackPoints = 0,
              depthPoints = 0, maxDepthCm = 0;
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

std::string Num(double v) {
    return support::FloatToStrG15(v);
}

void PrintText(std::ostream &out, const std::string &file, const LoadResult &r, const Summary &s) {
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

void PrintJson(std::ostream &out, const std::string &file, const LoadResult &r, const Summary &s) {
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

const char *const kUsage =
    "Usage: depthwright-batch COMMAND [OPTIONS] FILE...\n"
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
    "                      for a column in metres)\n"
    "  --depth-from-z S    for shapes with Z (PointZ, PolyLineZ, ...): each point's depth is\n"
    "                      its Z times S in centimetres (100 for Z in metres, -100 when Z\n"
    "                      is an elevation; default: no depth from Z)\n";

const char *const kFormatsHelp =
    "formats [--json]\n"
    "  Lists every file format: its name, its extensions and whether it is read and\n"
    "  written. --json prints an array of {\"name\", \"extensions\", \"read\", \"write\"}.\n";

// One line per format of the registry: name, description, extensions, read/write.
std::string FormatTable() {
    std::string out;
    for (const depth::TFormat &f : depth::Formats()) {
        std::string line = "  " + f.Name;
        line.resize(14, ' ');
        line += f.Description;
        line.resize(42, ' ');
        std::string extensions;
        for (const std::string &e : f.Extensions)
            extensions += (extensions.empty() ? "" : " ") + e;
        line += extensions;
        line.resize(62, ' ');
        out += line + (f.Read ? "read" : "    ") + (f.Read && f.Write ? ", " : "") +
               (f.Write ? "write" : "") + "\n";
    }
    return out;
}

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
    "  with the time and memory of each phase. With --level-correction or\n"
    "  --level-offset its \"levels\" are the files' water levels ({\"file\", \"offsetCm\",\n"
    "  \"sigmaCm\", \"crossings\"}, one per file of soundings) and the contour levels are\n"
    "  in \"contourLevels\"; with --despike, \"flagged\" counts the flagged soundings.\n"
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
    "  --units m|ft               the unit of the contour levels and names (\"ISO 6 ft\"),\n"
    "                             of the GIS attribute depth and of the legend (default m)\n"
    "  --iso-start N              depth of the first contour, in cm, or in ft with\n"
    "                             --units ft (default 100 cm; in ft the step)\n"
    "  --iso-step N               depth step between contours, at least 1, in cm, or in\n"
    "                             ft with --units ft (default 100 cm; 5 ft)\n"
    "  --image CHART.bmp|.jpg     the coloured depth chart (default: not written)\n"
    "  --legend                   adds a legend beside the --image: the colour bar in\n"
    "                             the unit, a scale bar, the north arrow and today's date\n"
    "                             (default: no legend)\n"
    "  --coverage-beyond M        hatches the water farther than M metres from every\n"
    "                             sounding on the --image and --kmz chart (default: not\n"
    "                             hatched)\n"
    "  --contours FILE            the contours as GPX tracks (.gpx), as lines with the\n"
    "                             attributes depth_cm, depth and name (.gpkg, .shp, .kml,\n"
    "                             .geojson) or as one HT track (.ht) (default: not\n"
    "                             written)\n"
    "  --ht-dir DIR               the contours as HT files 000.ht, 001.ht, ... in DIR\n"
    "                             (default: not written)\n"
    "  --track-name NAME          the track name in the HT files (default NewTrack)\n"
    "  --grid GRID.f32            the grid as raw little-endian 32-bit floats, column by\n"
    "                             column (default: not written)\n"
    "  --geotiff GRID.tif         the grid as GeoTIFF in WGS84 longitude and latitude:\n"
    "                             band 1 the depth in metres, band 2 the distance to the\n"
    "                             nearest sounding in metres (default: not written)\n"
    "  --kmz CHART.kmz            the chart as an overlay in place, with the contours,\n"
    "                             for Google Earth (default: not written)\n"
    "  --colors MODEL.cmt         the colour model (default 0% Lime, 50% Yellow,\n"
    "                             100% Blue)\n"
    "  --scan linear|index        how the interpolation finds its samples: every sample\n"
    "                             for every cell, or through the spatial index (default\n"
    "                             index; both give the same grid)\n"
    "  --level-correction auto|none\n"
    "                             auto: each file of soundings was surveyed at its own\n"
    "                             water level; the offsets are estimated where tracks of\n"
    "                             different files cross and added to their depths\n"
    "                             (default none)\n"
    "  --level-reference FILE     the file held at offset 0 by the estimation (default:\n"
    "                             the first file of soundings)\n"
    "  --level-offset FILE=CM     cm added to the depths of FILE, a level offset known;\n"
    "                             repeatable. FILE is the path as given or its file name.\n"
    "                             Such a file keeps its offset under --level-correction\n"
    "                             auto, and the estimates follow the reference's (default:\n"
    "                             none)\n"
    "  --despike                  flags spikes in the soundings: they stay out of the\n"
    "                             chart and of the greatest depth (default: not flagged)\n"
    "  --despike-sensitivity low|normal|high\n"
    "                             how readily a sounding is flagged (default normal)\n"
    "  --flagged FLAGGED.csv      the flagged soundings, one a row: file, segment of that\n"
    "                             file and index in it (from 0), longitude, latitude and\n"
    "                             depth in cm (default: not written)\n"
    "  --timings                  after the run, one line per phase on the standard\n"
    "                             error: its name (load, samples, interpolation,\n"
    "                             smoothing, contours, writing; despike and levels when\n"
    "                             asked), its seconds and the peak memory so far in MB,\n"
    "                             then the total (default: not printed)\n";

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
    else if (command == "formats")
        Section(out, kFormatsHelp, false);
    else if (!command.empty())
        return false;
    else
        out << kUsage << "\nCommands:\n\n"
            << kInfoHelp << "\n"
            << kConvertHelp << "\n"
            << kRenderHelp << "\n"
            << kChartHelp << "\n"
            << kFormatsHelp << "\n"
            << kShapefileHelp << "\n"
            << "Formats (read/write):\n"
            << FormatTable();
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
    } else if (a == "--depth-from-z") {
        const std::string &v = value();
        const std::optional<double> scale = support::TryStrToFloat(v);
        if (!scale || *scale == 0)
            throw std::invalid_argument(
                "--depth-from-z takes a number such as 100 or -100, not \"" + v + "\"");
        o.depthFromZ = *scale;
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

namespace {

void ImportCoordinates(formats::TShapefile &shp, const ShapefileOptions &o) {
    if (o.utmZone)
        formats::ImportCoordinatesOK(shp, 1, o.xOffset, o.yOffset, std::to_string(*o.utmZone),
                                     o.south ? 1 : 0);
}

void ChooseDepthField(formats::TShapefile &shp, const ShapefileOptions &o) {
    if (!o.depthField)
        return;
    std::string available;
    for (std::size_t i = 0; i < shp.DatabaseFields.size(); ++i) {
        const std::string name = shp.DatabaseFields[i].ShownName();
        if (support::EqualsNoCase(name, *o.depthField)) {
            support::TMessages shown;
            if (!formats::JoinDBFOK(shp, static_cast<int>(i), o.depthScale, shown)) {
                std::string why = "the depth column does not fit the shapes";
                for (const support::TMessage &m : shown)
                    why += "; " + m.Text;
                throw std::runtime_error(why);
            }
            return;
        }
        available += (available.empty() ? "" : ", ") + name;
    }
    throw std::runtime_error("no column " + *o.depthField + " in the table (columns: " + available +
                             ")");
}

} // namespace

void PrepareShapefile(formats::TShapefile &shp, const ShapefileOptions &o) {
    ImportCoordinates(shp, o);
    ChooseDepthField(shp, o);
    shp.DepthFromZScale = o.depthFromZ;
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
                                            "--depth-scale X, --depth-from-z S)");
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

std::string WritableExtensions() {
    std::string out;
    for (const depth::TFormat &f : depth::Formats())
        if (f.Write)
            for (const std::string &ext : f.Extensions)
                out += (out.empty() ? "" : ", ") + ext;
    return out;
}

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
                   "--y-offset N, --depth-field NAME, --depth-scale X, --depth-from-z S)\n";
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) {
        err << "depthwright-batch convert: expected IN OUT (OUT one of " << WritableExtensions()
            << ")\n";
        return 2;
    }
    const std::string &in = files[0], &outPath = files[1];
    const depth::TFormat *outFormat = depth::FormatOf(outPath);
    if (!outFormat || !outFormat->Write) {
        err << "depthwright-batch convert: File extension not supported: " << outPath
            << " (allowed: " << WritableExtensions() << ")\n";
        return 1;
    }
    model::TGPX doc;
    LoadResult r = LoadFile(in, doc, shp);
    if (!r.loaded) {
        err << "depthwright-batch convert: cannot read " << in << ": " << r.error.value_or("")
            << "\n";
        return 1;
    }
    depth::TWriteOptions options;
    // An HT file names its track after the file unless told (the writer keeps 20 characters).
    const std::string base = support::FileNameOf(outPath);
    options.TrackName = trackName.empty() ? base.substr(0, base.rfind('.')) : trackName;
    try {
        outFormat->Write(outPath, doc, options);
    } catch (const std::exception &e) {
        err << "depthwright-batch convert: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int RunFormats(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    bool json = false;
    for (const std::string &a : args) {
        if (a != "--json") {
            err << "depthwright-batch formats: unknown option " << a << " (allowed: --json)\n";
            return 2;
        }
        json = true;
    }
    if (!json) {
        out << FormatTable();
        return 0;
    }
    nlohmann::json list = nlohmann::json::array();
    for (const depth::TFormat &f : depth::Formats())
        list.push_back({{"name", f.Name},
                        {"extensions", f.Extensions},
                        {"read", static_cast<bool>(f.Read)},
                        {"write", static_cast<bool>(f.Write)}});
    out << list.dump() << "\n";
    return 0;
}

} // namespace batch
