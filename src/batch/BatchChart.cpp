// depthwright-batch chart: the whole pipeline of the desktop program without a window,
// from loading the files to the depth chart, the contours and the HT files.
#include "batch/BatchCommands.h"
#include "batch/BatchProject.h"
#include "batch/Options.h"

#include "depth/ContourExport.h"
#include "depth/DepthChart.h"
#include "depth/Despike.h"
#include "depth/FormatRegistry.h"
#include "depth/GisExport.h"
#include "depth/Interpolation.h"
#include "depth/Legend.h"
#include "depth/MovingSquares.h"
#include "depth/Surveys.h"
#include "depth/Units.h"
#include "support/AtomicFile.h"
#include "support/FilePath.h"

#include <QGuiApplication>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace batch {

namespace {

// An option that does not fit the files loaded: reported like any other option error.
struct OptionError : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

struct LevelOffset {
    std::string file;
    double cm = 0;
};

struct ChartOptions {
    std::vector<std::string> files;
    std::optional<std::string> addDepth, depthOffset, colors;
    int width = 840, height = 600;
    int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    int style = 5, radius = 50, smoothing = 6;
    std::optional<int> isoStart, isoStep; // defaults depend on the unit
    std::optional<std::string> image, contours, htDir, grid, geotiff, kmz;
    std::string trackName = "NewTrack";
    bool linear = false;
    ShapefileOptions shp;
    depth::TDepthUnit unit = depth::TDepthUnit::Metres;
    bool legend = false;
    std::optional<double> coverageBeyond; // metres
    bool levelAuto = false;
    std::optional<std::string> levelReference;
    std::vector<LevelOffset> levelOffsets;
    bool despike = false;
    std::optional<depth::TSpikeSensitivity> sensitivity;
    std::optional<std::string> flagged;
    bool timings = false;

    bool Levels() const { return levelAuto || !levelOffsets.empty(); }
    // 100 cm from 100 cm as ever; in feet every 5 ft, from the step unless told.
    int IsoStep() const { return isoStep.value_or(unit == depth::TDepthUnit::Feet ? 5 : 100); }
    int IsoStart() const {
        return isoStart.value_or(unit == depth::TDepthUnit::Feet ? IsoStep() : 100);
    }
};

// The indices of the names that are `file` as given or, failing that, whose file name is
// `file`. Throws when they are not all the same path (a file name found in two folders).
std::vector<std::size_t> MatchFile(const std::vector<std::string> &names, const std::string &file,
                                   const std::string &option) {
    std::vector<std::size_t> exact, byName;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == file)
            exact.push_back(i);
        else if (support::FileNameOf(names[i]) == file)
            byName.push_back(i);
    std::vector<std::size_t> &found = exact.empty() ? byName : exact;
    for (std::size_t i : found)
        if (names[i] != names[found.front()])
            throw OptionError(option + ": " + file + " is the name of several files (" +
                              names[found.front()] + ", " + names[i] +
                              "); give its path as in the file list");
    return found;
}

// The options that name a sounding file, among the files given.
void CheckFileNamed(const std::vector<std::string> &files, const std::string &file,
                    const std::string &option) {
    if (MatchFile(files, file, option).empty())
        throw OptionError(option + ": " + file + " is not one of the files given");
}

ChartOptions ParseChartOptions(const std::vector<std::string> &args) {
    ChartOptions o;
    ArgReader a(args);
    while (a.Next()) {
        const std::string &arg = a.Arg();
        if (a.TakeShapefile(o.shp))
            continue;
        if (arg == "--add-depth")
            o.addDepth = std::to_string(IntOption(arg, a.Value(), -2147483647, 2147483647));
        else if (arg == "--depth-offset")
            o.depthOffset = std::to_string(IntOption(arg, a.Value(), -2147483647, 2147483647));
        else if (arg == "--size")
            SizeOption(a.Value(), o.width, o.height);
        else if (arg == "--threads")
            o.threads = IntOption(arg, a.Value(), 1, 256);
        else if (arg == "--style")
            o.style = IntOption(arg, a.Value(), 2, 8);
        else if (arg == "--extrapolation-radius")
            o.radius = IntOption(arg, a.Value(), 1, 999);
        else if (arg == "--smoothing")
            o.smoothing = IntOption(arg, a.Value(), 0, 10);
        else if (arg == "--iso-start")
            o.isoStart = IntOption(arg, a.Value(), -2147483647, 2147483647);
        else if (arg == "--iso-step")
            o.isoStep = IntOption(arg, a.Value(), 1, 2147483647);
        else if (arg == "--image")
            o.image = ImageOption(arg, a.Value());
        else if (arg == "--contours") {
            const std::string &v = a.Value();
            const depth::TFormat *format = depth::FormatOf(v);
            if (!format || !format->Write)
                throw std::invalid_argument("--contours takes a file name ending in " +
                                            WritableExtensions() + ", not \"" + v + "\"");
            o.contours = v;
        } else if (arg == "--ht-dir")
            o.htDir = a.Value();
        else if (arg == "--track-name")
            o.trackName = a.Value();
        else if (arg == "--grid")
            o.grid = a.Value();
        else if (arg == "--colors")
            o.colors = a.Value();
        else if (arg == "--scan") {
            const std::string &v = a.Value();
            if (v != "linear" && v != "index")
                throw std::invalid_argument("--scan takes linear or index, not \"" + v + "\"");
            o.linear = v == "linear";
        } else if (arg == "--units") {
            const std::string &v = a.Value();
            if (v != "m" && v != "ft")
                throw std::invalid_argument("--units takes m or ft, not \"" + v + "\"");
            o.unit = v == "ft" ? depth::TDepthUnit::Feet : depth::TDepthUnit::Metres;
        } else if (arg == "--legend")
            o.legend = true;
        else if (arg == "--geotiff")
            o.geotiff = ExtensionOption(arg, a.Value(), {".tif", ".tiff"});
        else if (arg == "--kmz")
            o.kmz = ExtensionOption(arg, a.Value(), {".kmz"});
        else if (arg == "--coverage-beyond")
            o.coverageBeyond = NumberOption(arg, a.Value(), 0, 1000000);
        else if (arg == "--level-correction") {
            const std::string &v = a.Value();
            if (v != "auto" && v != "none")
                throw std::invalid_argument("--level-correction takes auto or none, not \"" + v +
                                            "\"");
            o.levelAuto = v == "auto";
        } else if (arg == "--level-reference")
            o.levelReference = a.Value();
        else if (arg == "--level-offset") {
            const std::string &v = a.Value();
            const std::size_t eq = v.rfind('=');
            if (eq == std::string::npos || eq == 0)
                throw std::invalid_argument(
                    "--level-offset takes FILE=CM, such as day2.gpx=-12.5, not \"" + v + "\"");
            o.levelOffsets.push_back(
                {v.substr(0, eq), NumberOption(arg, v.substr(eq + 1), -100000, 100000)});
        } else if (arg == "--despike")
            o.despike = true;
        else if (arg == "--despike-sensitivity") {
            const std::string &v = a.Value();
            if (v == "low")
                o.sensitivity = depth::TSpikeSensitivity::Low;
            else if (v == "normal")
                o.sensitivity = depth::TSpikeSensitivity::Normal;
            else if (v == "high")
                o.sensitivity = depth::TSpikeSensitivity::High;
            else
                throw std::invalid_argument(
                    "--despike-sensitivity takes low, normal or high, not \"" + v + "\"");
        } else if (arg == "--flagged")
            o.flagged = a.Value();
        else if (arg == "--timings")
            o.timings = true;
        else if (a.IsOption())
            throw std::invalid_argument(
                "unknown option " + arg +
                " (allowed: --add-depth, --depth-offset, --size, --threads, --style, "
                "--extrapolation-radius, --smoothing, --iso-start, --iso-step, --units, --image, "
                "--legend, --coverage-beyond, --contours, --ht-dir, --track-name, --grid, "
                "--geotiff, "
                "--kmz, --colors, --scan, --level-correction, --level-reference, --level-offset, "
                "--despike, --despike-sensitivity, --flagged, --timings, --utm, --south, "
                "--x-offset, --y-offset, --depth-field, --depth-scale)");
        else
            o.files.push_back(arg);
    }
    if (o.files.empty())
        throw std::invalid_argument("no FILE given");
    // Options that would do nothing without another are mistakes worth a word.
    if (o.levelReference && !o.levelAuto)
        throw std::invalid_argument("--level-reference needs --level-correction auto");
    if (o.sensitivity && !o.despike)
        throw std::invalid_argument("--despike-sensitivity needs --despike");
    if (o.flagged && !o.despike)
        throw std::invalid_argument("--flagged needs --despike");
    if (o.legend && !o.image)
        throw std::invalid_argument("--legend needs --image");
    if (o.coverageBeyond && !o.image && !o.kmz)
        throw std::invalid_argument("--coverage-beyond needs --image or --kmz");
    for (const LevelOffset &l : o.levelOffsets)
        CheckFileNamed(o.files, l.file, "--level-offset");
    if (o.levelReference)
        CheckFileNamed(o.files, *o.levelReference, "--level-reference");
    return o;
}

// Wall time of each step of the run and the memory high-water mark reached by its end,
// summed under two sets of names: the summary's phases, and the finer ones of --timings,
// which part the samples from the grid.
class PhaseClock {
  public:
    // Ends the step running since the last call, counted to the phase `summary` of the
    // summary and to `timing` of the timings.
    void Lap(const char *summary, const char *timing) {
        const auto now = std::chrono::steady_clock::now();
        const double s = std::chrono::duration<double>(now - last_).count();
        last_ = now;
        struct rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        const double peak = usage.ru_maxrss / 1024.0; // kilobytes on Linux
        Add(summary_, summary, s, peak);
        Add(timings_, timing, s, peak);
    }
    nlohmann::json Seconds() const {
        nlohmann::json j;
        for (const Phase &p : summary_)
            j[p.name] = p.seconds;
        return j;
    }
    nlohmann::json PeakMB() const {
        nlohmann::json j;
        for (const Phase &p : summary_)
            j[p.name] = p.peakMB;
        return j;
    }
    // One line per phase in the order run: its name, seconds and the peak so far in MB.
    void PrintTimings(std::ostream &err) const {
        double total = 0, peak = 0;
        char line[160];
        for (const Phase &p : timings_) {
            std::snprintf(line, sizeof line, "timing: %-14s %10.3f s %10.1f MB peak\n",
                          p.name.c_str(), p.seconds, p.peakMB);
            err << line;
            total += p.seconds;
            peak = std::max(peak, p.peakMB);
        }
        std::snprintf(line, sizeof line, "timing: %-14s %10.3f s %10.1f MB peak\n", "total", total,
                      peak);
        err << line;
    }

  private:
    struct Phase {
        std::string name;
        double seconds = 0, peakMB = 0;
    };
    static void Add(std::vector<Phase> &phases, const char *name, double s, double peak) {
        auto it = std::find_if(phases.begin(), phases.end(),
                               [&](const Phase &p) { return p.name == name; });
        if (it == phases.end())
            phases.push_back({name, s, peak});
        else {
            it->seconds += s;
            it->peakMB = peak;
        }
    }

    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
    std::vector<Phase> summary_, timings_;
};

// The grid as raw little-endian 32-bit floats, column by column.
void WriteGrid(const std::string &path, const depth::TMatSingle &grid) {
    support::AtomicFileWriter out(path);
    const auto &cells = grid.Cells();
    out.Write(std::string_view(reinterpret_cast<const char *>(cells.data()),
                               cells.size() * sizeof(float)));
    out.Commit();
}

// The levels of the contour tracks ("ISO 200 cm" -> 200, "ISO 4 ft" -> 4 in feet), each
// once, in the document's order.
nlohmann::json ContourLevels(const model::TGPX &IsoData, depth::TDepthUnit unit) {
    const char *format = unit == depth::TDepthUnit::Feet ? "ISO %d ft%n" : "ISO %d cm%n";
    nlohmann::json levels = nlohmann::json::array();
    for (const auto &t : IsoData.trk.Items()) {
        int level = 0, end = 0;
        if (std::sscanf(t->name.c_str(), format, &level, &end) == 1 && end > 0 &&
            (levels.empty() || levels.back() != level))
            levels.push_back(level);
    }
    return levels;
}

// The shortest text that reads back as the same double, with "." and never an exponent.
std::string FullNumber(double v) {
    char buf[400]; // the longest fixed double (DBL_MAX) has 309 digits
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

std::string CsvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// One row per flagged sounding: its file, the segment among that file's segments and the
// point in it. The flags count segments over the whole document; each file's tracks are a
// run of the document's, so its first segment's number is subtracted.
void WriteFlaggedCsv(const std::string &path, const BatchProject &p,
                     const std::vector<depth::TFlaggedSounding> &flagged) {
    struct FileSegments {
        const std::string *path;
        std::int64_t first = 0, end = 0;
    };
    std::vector<FileSegments> files;
    std::int64_t segment = 0;
    int track = 0;
    for (const BatchProject::LoadedFile &f : p.loaded) {
        for (; track < f.FirstTrack; ++track)
            segment += p.GPXdata.trk[track]->Count();
        FileSegments s{&f.Path, segment, segment};
        for (; track < f.FirstTrack + f.TrackCount; ++track)
            segment += p.GPXdata.trk[track]->Count();
        s.end = segment;
        files.push_back(s);
    }
    std::string text = "file,segment,index,longitude,latitude,depth_cm\n";
    for (const depth::TFlaggedSounding &f : flagged) {
        auto in = std::find_if(files.begin(), files.end(), [&](const FileSegments &s) {
            return f.Segment >= s.first && f.Segment < s.end;
        });
        if (in == files.end())
            continue; // every track came from a file; cannot happen
        text += CsvField(*in->path) + "," + std::to_string(f.Segment - in->first) + "," +
                std::to_string(f.Point) + "," + FullNumber(f.Longitude) + "," +
                FullNumber(f.Latitude) + "," + FullNumber(f.Depth) + "\n";
    }
    support::AtomicFileWriter out(path);
    out.Write(text);
    out.Commit();
}

// The known offsets set, then with --level-correction auto the others estimated from the
// crossings. Estimates are relative to the reference survey, so a known offset of the
// reference carries them along; a survey with a known offset keeps it. One entry per survey.
nlohmann::json CorrectLevels(const ChartOptions &o, BatchProject &p) {
    std::vector<depth::TSurvey> &surveys = p.project.Surveys;
    std::vector<std::string> names;
    for (const depth::TSurvey &s : surveys)
        names.push_back(s.Name);
    auto survey = [&](const std::string &file, const std::string &option) {
        std::vector<std::size_t> found = MatchFile(names, file, option);
        if (found.empty())
            throw OptionError(option + ": " + file + " holds no soundings");
        return found;
    };
    std::vector<bool> known(surveys.size(), false);
    for (const LevelOffset &l : o.levelOffsets)
        for (std::size_t i : survey(l.file, "--level-offset")) {
            surveys[i].OffsetCm = l.cm;
            known[i] = true;
        }
    std::vector<depth::TLevelEstimate> estimates(surveys.size());
    if (o.levelAuto) {
        const std::size_t reference =
            o.levelReference ? survey(*o.levelReference, "--level-reference").front() : 0;
        estimates = depth::EstimateLevelOffsets(p.GPXdata, surveys, reference, {},
                                                [&](const std::string &l) { p.log.push_back(l); });
        const std::vector<depth::TSurvey> before = surveys;
        depth::ApplyLevelEstimates(surveys, estimates);
        const double base =
            reference < surveys.size() && known[reference] ? before[reference].OffsetCm : 0;
        for (std::size_t i = 0; i < surveys.size(); ++i)
            if (known[i])
                surveys[i].OffsetCm = before[i].OffsetCm;
            else if (estimates[i].Connected)
                surveys[i].OffsetCm += base;
    }
    nlohmann::json levels = nlohmann::json::array();
    for (std::size_t i = 0; i < surveys.size(); ++i) {
        const depth::TLevelEstimate &e = estimates[i];
        levels.push_back({{"file", surveys[i].Name},
                          {"offsetCm", surveys[i].OffsetCm},
                          {"sigmaCm", !known[i] && e.Connected ? e.SigmaCm : 0.0},
                          {"crossings", e.Crossings}});
    }
    return levels;
}

// The greatest unflagged depth with each survey's offset added as gathering adds it, in
// whole centimetres: the chart's depth scale must hold the corrected depths. (A corrected
// copy of the tracks would tell the same at the cost of a second document.)
std::int32_t MaxCorrectedDepth(const depth::TProject &project) {
    const std::vector<double> offsets =
        depth::TrackOffsetsCm(project.Surveys, project.GPXdata.trk.Count());
    double deepest = 0;
    for (int t = 0; t < project.GPXdata.trk.Count(); ++t)
        for (const auto &s : project.GPXdata.trk[t]->Items()) {
            const double offset = s->maxdepth != 0 ? offsets[static_cast<std::size_t>(t)] : 0;
            for (const auto &p : s->Items())
                if (!p->Flagged && p->HBdepth > 0) // negative, zero and NaN are no depth
                    deepest = std::max(deepest, p->HBdepth + offset);
        }
    return deepest >= 2147483647.0 ? 2147483647 : static_cast<std::int32_t>(deepest);
}

// Today as 2024-05-01, for the legend.
std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d", &local));
}

// The first contour track that is not a shoreline: its name, its points, its first and last
// position (latitude, longitude).
nlohmann::json FirstContour(const model::TGPX &IsoData) {
    for (const auto &t : IsoData.trk.Items()) {
        if (t->name == "Shoreline" || t->Empty() || t->First()->Empty())
            continue;
        const model::TGPXtrkseg &s = *t->First();
        auto position = [](const model::TGPXwpt *p) {
            return nlohmann::json::array({p->Latitude, p->Longitude});
        };
        return {{"name", t->name},
                {"points", s.Count()},
                {"first", position(s.Get(0))},
                {"last", position(s.Get(s.Count() - 1))}};
    }
    return nullptr;
}

} // namespace

int RunChart(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    ChartOptions o;
    try {
        o = ParseChartOptions(args);
    } catch (const std::invalid_argument &e) {
        err << "depthwright-batch chart: " << e.what() << "\n";
        return 2;
    }
    // The legend's text needs fonts, which Qt gives only to an application; no window opens.
    int guiArgc = 1;
    char guiName[] = "depthwright-batch";
    char *guiArgv[] = {guiName, nullptr};
    std::unique_ptr<QGuiApplication> gui;
    if (o.legend && !QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        gui = std::make_unique<QGuiApplication>(guiArgc, guiArgv);
    }
    nlohmann::json summary, written = nlohmann::json::array(), levels;
    try {
        PhaseClock clock;
        BatchProject p;
        depth::TProject &project = p.project;
        p.Colors(o.colors);
        p.Load(o.files, o.addDepth, o.depthOffset, o.shp);
        clock.Lap("load", "load");

        // Spikes first: they are no sounding of the bottom, so neither its greatest depth.
        std::vector<depth::TFlaggedSounding> flagged;
        if (o.despike) {
            depth::TDespikeOptions despike;
            despike.Sensitivity = o.sensitivity.value_or(depth::TSpikeSensitivity::Normal);
            depth::FlagSpikes(p.GPXdata, despike);
            flagged = depth::FlaggedSoundings(p.GPXdata);
            p.log.push_back("Despike: " + std::to_string(flagged.size()) + " soundings flagged");
            p.MaxDepth = depth::GetMaxUnflaggedDepth(p.GPXdata);
            clock.Lap("despike", "despike");
        }
        if (o.Levels()) {
            levels = CorrectLevels(o, p);
            if (project.HasLevelOffsets())
                p.MaxDepth = MaxCorrectedDepth(project);
            clock.Lap("levels", "levels");
        }
        p.FitView(o.width, o.height, true);
        clock.Lap("load", "load"); // the map is part of loading

        // The settings as the "Interpolator" page refreshes them, then the run.
        depth::TInterpolationSettings settings;
        settings.Style = o.style;
        settings.ExtrapolationRadius = o.radius;
        settings.SmoothingRuns = 0; // timed on their own below
        settings.ThreadsRun = o.threads;
        // Stripes of a dense survey differ much in cost: many narrow ones keep every thread
        // busy to the end (the grid is the same whatever the stripes).
        settings.ThreadsTasks =
            32 * static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        settings.Scan =
            o.linear ? depth::TShepardInterp::Scan::Linear : depth::TShepardInterp::Scan::Indexed;
        double pixel = 0;
        depth::UpdateInterpolatorSettings(p.GPXView.Viewport(), settings, o.radius, pixel);
        clock.Lap("masks", "samples");

        depth::GatherRunSamples(project, settings);
        clock.Lap("interpolation", "samples");
        depth::InterpolateSamples(project, settings,
                                  [&](const std::string &l) { p.log.push_back(l); });
        clock.Lap("interpolation", "interpolation");
        project.Smooth(o.smoothing);
        clock.Lap("smoothing", "smoothing");

        const depth::TContourSummary contours =
            project.TraceContours(o.IsoStart(), o.IsoStep(), o.unit);
        model::TGPX &IsoData = project.IsoData;
        clock.Lap("contours", "contours");

        // How far each cell lies from a sounding (not from the shore samples).
        std::optional<depth::TMatSingle> distance;
        if (o.coverageBeyond || o.geotiff)
            distance = depth::SoundingDistance(
                project.ChartFrame,
                std::span<const depth::TPointF>(project.InCoord).subspan(project.ShoreSamples));
        QImage chart;
        if (o.image || o.kmz) {
            chart = QImage(o.width, o.height, QImage::Format_ARGB32);
            depth::DrawInterpolatedImage(chart, project.InterpResultArray, project.ChartMask,
                                         p.gradient, project.ChartShorelines);
            if (o.coverageBeyond)
                depth::DrawUncoveredCells(
                    chart, depth::UncoveredCells(*distance, project.ChartMask, *o.coverageBeyond),
                    depth::TCoverageStyle::Hatched);
        }
        if (o.image) {
            SaveQImage(*o.image, o.legend
                                     ? depth::AddLegend(chart, p.gradient, project.ChartMaxDepth,
                                                        project.ChartFrame, o.unit, Today())
                                     : chart);
            written.push_back(*o.image);
        }
        if (o.contours) {
            depth::TWriteOptions options;
            options.TrackName = o.trackName;
            options.Unit = o.unit;
            depth::FormatOf(*o.contours)->Write(*o.contours, IsoData, options);
            written.push_back(*o.contours);
            if (depth::VectorFormatOf(*o.contours) == depth::TVectorFormat::Shapefile) {
                // A shapefile is a set of files beside the .shp, spelt in its case.
                const std::string stem = o.contours->substr(0, o.contours->size() - 4);
                const bool upper = o.contours->substr(o.contours->size() - 3) == "SHP";
                for (std::string ext : {".shx", ".dbf", ".prj", ".cpg"}) {
                    if (upper)
                        for (char &c : ext)
                            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                    if (support::FileExists(stem + ext))
                        written.push_back(stem + ext);
                }
            }
        }
        if (o.htDir) {
            const bool created = ::mkdir(o.htDir->c_str(), 0777) == 0;
            const std::size_t shownBefore = p.dialogs.shown.size();
            depth::THTFolderResult ht = depth::SaveHTFilesToFolder(IsoData, *o.htDir, o.trackName,
                                                                   true, nullptr, p.dialogs);
            for (const std::string &f : ht.Written)
                written.push_back(f);
            if (created && ht.Written.empty())
                ::rmdir(o.htDir->c_str()); // a folder made for files that never came
            if (!ht.NotWritten.empty()) {
                // The error boxes of the export say which file and why.
                std::string why;
                for (std::size_t i = shownBefore; i < p.dialogs.shown.size(); ++i)
                    if (p.dialogs.shown[i].kind == support::BoxKind::Error)
                        why += (why.empty() ? "" : " ") + p.dialogs.shown[i].text;
                throw std::runtime_error(
                    why.empty() ? "HT files not written: " + ht.NotWritten.front() : why);
            }
        }
        if (o.grid) {
            WriteGrid(*o.grid, project.InterpResultArray);
            written.push_back(*o.grid);
        }
        if (o.geotiff) {
            depth::WriteGridGeoTIFF(*o.geotiff, project.InterpResultArray, project.ChartMask,
                                    project.ChartFrame, project.ChartMaxDepth, *distance);
            written.push_back(*o.geotiff);
        }
        if (o.kmz) {
            depth::WriteKMZ(*o.kmz, chart, project.ChartMask, project.ChartFrame, IsoData);
            written.push_back(*o.kmz);
        }
        if (o.flagged) {
            WriteFlaggedCsv(*o.flagged, p, flagged);
            written.push_back(*o.flagged);
        }
        clock.Lap("export", "writing");

        std::size_t water = 0;
        for (int x = 0; x < o.width; ++x)
            for (int y = 0; y < o.height; ++y)
                water += project.ChartMask.Get(x, y);
        summary["samples"] = project.InCoord.size();
        summary["shoreSamples"] = project.ShoreSamples;
        summary["waterCells"] = water;
        summary["MaxDepth"] = p.MaxDepth;
        summary["contourTracks"] = contours.NumTracks;
        summary["contourPoints"] = contours.NumPoints;
        // One key, one meaning: the contours' levels always, the surveys' water levels when asked.
        summary["contourLevels"] = ContourLevels(IsoData, o.unit);
        if (o.Levels())
            summary["levels"] = levels;
        if (o.despike)
            summary["flagged"] = flagged.size();
        summary["firstContour"] = FirstContour(IsoData);
        summary["files"] = written;
        summary["seconds"] = clock.Seconds();
        summary["peakMB"] = clock.PeakMB();
        if (o.timings)
            clock.PrintTimings(err);
    } catch (const OptionError &e) {
        err << "depthwright-batch chart: " << e.what() << "\n";
        return 2;
    } catch (const std::exception &e) {
        err << "depthwright-batch chart: " << e.what() << "\n";
        return 1;
    }
    out << summary.dump() << "\n";
    return 0;
}

} // namespace batch
