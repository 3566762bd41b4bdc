// depthwright-batch chart: the whole pipeline of the desktop program without a window,
// from loading the files to the depth chart, the contours and the HT files.
#include "batch/BatchCommands.h"
#include "batch/BatchProject.h"
#include "batch/Options.h"

#include "depth/ContourExport.h"
#include "depth/DepthChart.h"
#include "depth/Interpolation.h"
#include "depth/MovingSquares.h"
#include "formats/GPXFile.h"
#include "support/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace batch {

namespace {

struct ChartOptions {
    std::vector<std::string> files;
    std::optional<std::string> addDepth, depthOffset, colors;
    int width = 840, height = 600;
    int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    int style = 5, radius = 50, smoothing = 6, isoStart = 100, isoStep = 100;
    std::optional<std::string> image, contours, htDir, grid;
    std::string trackName = "NewTrack";
    bool linear = false;
    ShapefileOptions shp;
};

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
        else if (arg == "--contours")
            o.contours = a.Value();
        else if (arg == "--ht-dir")
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
        } else if (a.IsOption())
            throw std::invalid_argument(
                "unknown option " + arg +
                " (allowed: --add-depth, --depth-offset, --size, --threads, --style, "
                "--extrapolation-radius, --smoothing, --iso-start, --iso-step, --image, "
                "--contours, --ht-dir, --track-name, --grid, --colors, --scan, --utm, --south, "
                "--x-offset, --y-offset, --depth-field, --depth-scale)");
        else
            o.files.push_back(arg);
    }
    if (o.files.empty())
        throw std::invalid_argument("no FILE given");
    return o;
}

// Wall time of each phase and the memory high-water mark reached by its end.
class PhaseClock {
  public:
    double Lap() {
        auto now = std::chrono::steady_clock::now();
        double s = std::chrono::duration<double>(now - last_).count();
        last_ = now;
        return s;
    }
    static double PeakMB() {
        struct rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss / 1024.0; // kilobytes on Linux
    }

  private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// The grid as raw little-endian 32-bit floats, column by column.
void WriteGrid(const std::string &path, const depth::TMatSingle &grid) {
    support::AtomicFileWriter out(path);
    const auto &cells = grid.Cells();
    out.Write(std::string_view(reinterpret_cast<const char *>(cells.data()), cells.size() * sizeof(float)));
    out.Commit();
}

// The levels of the contour tracks ("ISO 200 cm" -> 200), each once, in the document's order.
nlohmann::json ContourLevels(const model::TGPX &IsoData) {
    nlohmann::json levels = nlohmann::json::array();
    for (const auto &t : IsoData.trk.Items()) {
        int level = 0;
        if (std::sscanf(t->name.c_str(), "ISO %d cm", &level) == 1 && (levels.empty() || levels.back() != level))
            levels.push_back(level);
    }
    return levels;
}

// The first contour track that is not a shoreline: its name, its points, its first and last
// position (latitude, longitude).
nlohmann::json FirstContour(const model::TGPX &IsoData) {
    for (const auto &t : IsoData.trk.Items()) {
        if (t->name == "Shoreline" || t->Empty() || t->First()->Empty())
            continue;
        const model::TGPXtrkseg &s = *t->First();
        auto position = [](const model::TGPXwpt *p) { return nlohmann::json::array({p->Latitude, p->Longitude}); };
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
    nlohmann::json summary, seconds, peakMB, written = nlohmann::json::array();
    try {
        PhaseClock clock;
        BatchProject p;
        p.Colors(o.colors);
        p.Load(o.files, o.addDepth, o.depthOffset, o.shp);
        p.FitView(o.width, o.height, true);
        seconds["load"] = clock.Lap();
        peakMB["load"] = PhaseClock::PeakMB();

        // The settings as the "Interpolator" page refreshes them, then the run.
        depth::TInterpolationSettings settings;
        settings.Style = o.style;
        settings.ExtrapolationRadius = o.radius;
        settings.SmoothingRuns = 0; // timed on their own below
        settings.ThreadsRun = o.threads;
        settings.ThreadsTasks = 4 * static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        settings.Scan = o.linear ? depth::TShepardInterp::Scan::Linear : depth::TShepardInterp::Scan::Indexed;
        double pixel = 0;
        depth::TProject &project = p.project;
        depth::UpdateInterpolatorSettings(p.GPXView.Viewport(), settings, o.radius, pixel);
        seconds["masks"] = clock.Lap();
        peakMB["masks"] = PhaseClock::PeakMB();

        depth::RunInterpolation(project, settings, [&](const std::string &l) { p.log.push_back(l); });
        seconds["interpolation"] = clock.Lap();
        peakMB["interpolation"] = PhaseClock::PeakMB();
        project.Smooth(o.smoothing);
        seconds["smoothing"] = clock.Lap();
        peakMB["smoothing"] = PhaseClock::PeakMB();

        const depth::TContourSummary contours = project.TraceContours(o.isoStart, o.isoStep);
        const model::TGPX &IsoData = project.IsoData;
        seconds["contours"] = clock.Lap();
        peakMB["contours"] = PhaseClock::PeakMB();

        if (o.image) {
            QImage chart(o.width, o.height, QImage::Format_ARGB32);
            depth::DrawInterpolatedImage(chart, project.InterpResultArray, project.ChartMask, p.gradient,
                                         project.ChartShorelines);
            SaveQImage(*o.image, chart);
            written.push_back(*o.image);
        }
        if (o.contours) {
            formats::TGPXFile writer;
            writer.GPXd = &project.IsoData;
            writer.ExportGPX(*o.contours);
            written.push_back(*o.contours);
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
        seconds["export"] = clock.Lap();
        peakMB["export"] = PhaseClock::PeakMB();

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
        summary["levels"] = ContourLevels(IsoData);
        summary["firstContour"] = FirstContour(IsoData);
        summary["files"] = written;
        summary["seconds"] = seconds;
        summary["peakMB"] = peakMB;
    } catch (const std::exception &e) {
        err << "depthwright-batch chart: " << e.what() << "\n";
        return 1;
    }
    out << summary.dump() << "\n";
    return 0;
}

} // namespace batch
