// Interpolation of the sample lake at 20,000, 100,000 and 500,000 soundings on the default
// 840 x 600 view (Extrapolation Radius 50, style 5, 2 threads): the linear scan against the
// bucket index, side by side: the whole run, and the grid part of it (the interpolator
// and its stripes, without redrawing the view's masks).
#include "SampleLake.h"

#include "depth/Project.h"
#include "depth/ProjectLoader.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct Lake {
    depth::TProject project;
    mapview::TImageControl image{840, 600};
    depth::TInterpolationSettings settings;
    explicit Lake(int soundings) {
        bench::MakeSampleLake(project.GPXdata, soundings);
        project.MaxDepth = depth::GetMaxDepth(project.GPXdata);
        project.GPXView.Image = &image;
        project.GPXView.SetWidth(840);
        project.GPXView.SetHeight(600);
        project.SetMaskSize(840, 600);
        project.Fit();
        double pixel = 0;
        settings.ThreadsRun = 2;
        settings.ThreadsTasks = 8;
        depth::UpdateInterpolatorSettings(project.GPXView.Viewport(), settings, 50, pixel);
    }
    // Seconds of the whole run; `grid` gets those from the first log line about the
    // samples on (building the interpolator, the stripes, the smoothing), that is the run
    // without the masks, the band and the samples.
    double Run(depth::TShepardInterp::Scan scan, depth::TMatSingle &grid, std::size_t &samples,
               double &gridSeconds) {
        settings.Scan = scan;
        auto t0 = std::chrono::steady_clock::now();
        auto tGrid = t0;
        auto log = [&](const std::string &line) {
            if (line.rfind("Interpolate: Working on", 0) == 0)
                tGrid = std::chrono::steady_clock::now();
        };
        depth::RunInterpolation(project, settings, log);
        gridSeconds = Seconds(tGrid);
        grid = project.InterpResultArray;
        samples = project.InCoord.size();
        return Seconds(t0);
    }
};

} // namespace

int main(int argc, char **argv) {
    bool skipLinear = argc > 1 && std::strcmp(argv[1], "--index-only") == 0;
    std::printf("%-10s %10s %12s %12s %8s %14s %10s\n", "soundings", "samples", "linear s",
                "index s", "ratio", "index grid s", "identical");
    for (int n : {20000, 100000, 500000}) {
        Lake lake(n);
        depth::TMatSingle indexed, linear;
        std::size_t samples = 0;
        double gi = 0, gl = 0;
        double ti = lake.Run(depth::TShepardInterp::Scan::Indexed, indexed, samples, gi);
        double tl =
            skipLinear ? 0 : lake.Run(depth::TShepardInterp::Scan::Linear, linear, samples, gl);
        bool same = skipLinear || indexed.Cells() == linear.Cells();
        std::printf("%-10d %10zu %12.3f %12.3f %8.1f %14.3f %10s\n", n, samples, tl, ti,
                    skipLinear ? 0.0 : tl / ti, gi, same ? "yes" : "NO");
    }
    return 0;
}
