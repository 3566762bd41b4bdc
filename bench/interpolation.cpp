// Interpolation of the sample lake at 20,000, 100,000 and 500,000 soundings on the default
// 840 x 600 view (Extrapolation Radius 50, style 5, 2 threads): the linear scan against the
// bucket index, side by side: the whole run, and the grid part of it (the interpolator
// and its stripes, without redrawing the view's masks).
#include "SampleLake.h"

#include "depth/Interpolation.h"
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
    model::TGPX doc;
    mapview::TImageControl image{840, 600};
    mapview::TMaskArray mask{840, 600}, shore{840, 600};
    mapview::TGPXDraw view;
    depth::TInterpolationSettings settings;
    explicit Lake(int soundings) {
        bench::MakeSampleLake(doc, soundings);
        view.ShadowMapEnabled = true;
        view.GPXd = &doc;
        view.Image = &image;
        view.MaskArray = &mask;
        view.ShoreArray = &shore;
        view.SetWidth(840);
        view.SetHeight(600);
        view.ResetBBox(true, true);
        view.GenerateAllShorelinePolygons();
        double pixel = 0;
        settings.ThreadsRun = 2;
        settings.ThreadsTasks = 8;
        depth::UpdateInterpolatorSettings(view, mask, shore, settings, 50, pixel);
    }
    // Seconds of the whole run; `grid` gets those from the first log line about the
    // samples on (building the interpolator, the stripes, the smoothing), that is the run
    // without redrawing the view and its masks.
    double Run(depth::TShepardInterp::Scan scan, depth::TInterpolationRun &run, double &grid) {
        settings.Scan = scan;
        auto t0 = std::chrono::steady_clock::now();
        auto tGrid = t0;
        auto log = [&](const std::string &line) {
            if (line.rfind("Interpolate: Working on", 0) == 0)
                tGrid = std::chrono::steady_clock::now();
        };
        depth::RunInterpolation(view, mask, shore, depth::GetMaxDepth(doc), settings, run, log);
        grid = Seconds(tGrid);
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
        depth::TInterpolationRun indexed, linear;
        double gi = 0, gl = 0;
        double ti = lake.Run(depth::TShepardInterp::Scan::Indexed, indexed, gi);
        double tl = skipLinear ? 0 : lake.Run(depth::TShepardInterp::Scan::Linear, linear, gl);
        bool same = skipLinear || indexed.InterpResultArray.Cells() == linear.InterpResultArray.Cells();
        std::printf("%-10d %10zu %12.3f %12.3f %8.1f %14.3f %10s\n", n, indexed.InCoord.size(),
                    tl, ti, skipLinear ? 0.0 : tl / ti, gi, same ? "yes" : "NO");
    }
    return 0;
}
