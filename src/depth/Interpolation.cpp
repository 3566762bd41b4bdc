#include "depth/Interpolation.h"

#include "support/NumText.h"

#include <cmath>
#include <cstdio>

namespace depth {

double AveragePixelDistance(const mapview::TGPXDraw &view) {
    model::TPoint4D2 origin;
    origin.Longitude = view.XToLo(0);
    origin.Latitude = view.YToLa(0);
    const double d1 = origin.WGS84Distance(view.XToLo(1), view.YToLa(0), false);
    const double d2 = origin.WGS84Distance(view.XToLo(0), view.YToLa(1), false);
    return (d1 + d2) / 2;
}

void DontCareRadii(const mapview::TGPXDraw &view, std::int32_t r, float &maxR, float &minR) {
    maxR = static_cast<float>(std::fabs(view.XToLo(1) - view.XToLo(r)));
    minR = static_cast<float>(std::fabs(view.XToLo(0) - view.XToLo(1)));
}

std::string PixelLengthLabel(std::int32_t pixels, double AvrgPixelDistance) {
    return "px = " + support::FloatToStrF(pixels * AvrgPixelDistance, 4, 1) + "m";
}

void UpdateMaskAndShoreSamples(mapview::TGPXDraw &view, mapview::TMaskArray &mask,
                               const mapview::TMaskArray &shore, TPointList &InCoord,
                               TValueList &InDepth) {
    QImage &shadow = view.ShadowMap;
    // The outermost ring of pixels never belongs to the band.
    const int sw = shadow.width(), sh = shadow.height();
    for (int x = 0; x < sw; ++x) {
        shadow.setPixel(x, 0, 0xFFFFFFFFu);
        shadow.setPixel(x, sh - 1, 0xFFFFFFFFu);
    }
    for (int y = 0; y < sh; ++y) {
        shadow.setPixel(0, y, 0xFFFFFFFFu);
        shadow.setPixel(sw - 1, y, 0xFFFFFFFFu);
    }
    const std::int32_t W = view.Width(), H = view.Height();
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x) {
            if (mask.InRaster(x, y) && mask.MaskArray[x][y]) {
                const bool inBand = x < shadow.width() && y < shadow.height() &&
                                    shadow.pixel(x, y) != 0xFFFFFFFFu;
                mask.MaskArray[x][y] = inBand;
            }
            if (shore.InRaster(x, y) && shore.Get(x, y)) {
                InCoord.push_back({static_cast<float>(view.XToLo(x)), static_cast<float>(view.YToLa(y))});
                InDepth.push_back(0);
            }
        }
}

void GatherSoundings(const mapview::TGPXDraw &view, TPointList &InCoord, TValueList &InDepth) {
    if (!view.GPXd)
        return;
    const model::TBBox &b = view.BBox;
    for (const auto &t : view.GPXd->trk.Items())
        for (const auto &s : t->Items()) {
            if (s->maxdepth == 0)
                continue;
            for (const auto &p : s->Items())
                if (p->IsInBox(b.E, b.O, b.S, b.N)) {
                    InCoord.push_back({static_cast<float>(p->Longitude), static_cast<float>(p->Latitude)});
                    InDepth.push_back(static_cast<float>(p->HBdepth));
                }
        }
}

void SmoothArray(TMatSingle &grid, const mapview::TMaskArray &mask) {
    const std::int32_t W = std::min(grid.Width(), mask.array_width);
    const std::int32_t H = std::min(grid.Height(), mask.array_height);
    for (std::int32_t i = 1; i <= W - 2; ++i)
        for (std::int32_t j = 1; j <= H - 2; ++j) {
            bool allWater = true;
            for (std::int32_t a = i - 1; a <= i + 1 && allWater; ++a)
                for (std::int32_t b = j - 1; b <= j + 1; ++b)
                    if (!mask.Get(a, b)) {
                        allWater = false;
                        break;
                    }
            if (!allWater)
                continue;
            // In place: the previous column and the cell above already hold new values.
            long double sum = 0;
            for (std::int32_t a = i - 1; a <= i + 1; ++a)
                for (std::int32_t b = j - 1; b <= j + 1; ++b)
                    sum += grid[a][b];
            grid[i][j] = static_cast<float>(sum / 9);
        }
}

void UpdateInterpolatorSettings(mapview::TGPXDraw &view, mapview::TMaskArray &mask,
                                mapview::TMaskArray &shore, TInterpolationSettings &settings,
                                std::int32_t DontCareRadius, double &AvrgPixelDistance) {
    AvrgPixelDistance = AveragePixelDistance(view);
    view.ShadowMapTrackWidth = settings.ExtrapolationRadius;
    view.Redraw(true);
    TPointList coord;
    TValueList depth;
    UpdateMaskAndShoreSamples(view, mask, shore, coord, depth);
    DontCareRadii(view, DontCareRadius, settings.maxDontCareRadius, settings.minDontCareRadius);
}

void RunInterpolation(mapview::TGPXDraw &view, mapview::TMaskArray &mask,
                      mapview::TMaskArray &shore, std::int32_t MaxDepth,
                      const TInterpolationSettings &settings, TInterpolationRun &run,
                      support::LogLine log) {
    if (!log)
        log = [](const std::string &) {};
    if (MaxDepth <= 0)
        throw InterpolationRefused("No sounding deeper than 0 cm: there is no depth to interpolate.");
    run.InCoord.clear();
    run.InDepth.clear();
    view.Redraw(true);
    view.GenerateAllShorelinePolygons();
    UpdateMaskAndShoreSamples(view, mask, shore, run.InCoord, run.InDepth);
    view.ShadowMapTrackWidth = settings.ExtrapolationRadius;
    run.ShoreSamples = run.InCoord.size();
    GatherSoundings(view, run.InCoord, run.InDepth);

    log("Interpolate: Working on " + std::to_string(run.InCoord.size()) + " samples");
    log("Interpolate: maxDontCareRadius is " + support::FloatToStrG15(settings.maxDontCareRadius));
    log("Interpolate: minDontCareRadius is " + support::FloatToStrG15(settings.minDontCareRadius));
    TShepardInterp interp(run.InCoord, run.InDepth, static_cast<float>(settings.Style),
                          settings.maxDontCareRadius, settings.minDontCareRadius, nullptr,
                          settings.Scan);
    run.InterpResultArray.SetSize(view.Width(), view.Height());

    TStripeJob job;
    job.Values = &run.InterpResultArray;
    job.ShadowArray = &mask.MaskArray;
    job.ShepardInterp = &interp;
    job.View = view.Viewport();
    job.MaxDepth = MaxDepth;
    TStripeRunner(job, settings.ThreadsRun, settings.ThreadsTasks).Run(log);
    for (std::int32_t k = 0; k < settings.SmoothingRuns; ++k)
        SmoothArray(run.InterpResultArray, mask);
}

} // namespace depth
