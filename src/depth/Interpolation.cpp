#include "depth/Interpolation.h"

#include "support/NumText.h"

#include <cmath>
#include <cstdio>

namespace depth {

double AveragePixelDistance(const mapview::TViewport &view) {
    model::TPoint4D2 origin;
    origin.Longitude = view.XToLo(0);
    origin.Latitude = view.YToLa(0);
    const double d1 = origin.WGS84Distance(view.XToLo(1), view.YToLa(0), false);
    const double d2 = origin.WGS84Distance(view.XToLo(0), view.YToLa(1), false);
    return (d1 + d2) / 2;
}

void DontCareRadii(const mapview::TViewport &view, std::int32_t r, float &maxR, float &minR) {
    maxR = static_cast<float>(std::fabs(view.XToLo(1) - view.XToLo(r)));
    minR = static_cast<float>(std::fabs(view.XToLo(0) - view.XToLo(1)));
}

std::string PixelLengthLabel(std::int32_t pixels, double AvrgPixelDistance) {
    return "px = " + support::FloatToStrF(pixels * AvrgPixelDistance, 4, 1) + "m";
}

void NarrowMaskToBand(mapview::TMaskArray &mask, const mapview::TBooleanArray &band) {
    const std::int32_t W = band.Width(), H = band.Height();
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x)
            if (mask.InRaster(x, y) && mask.MaskArray[x][y]) {
                // The outermost ring of cells never belongs to the band.
                const bool ring = x == 0 || y == 0 || x == W - 1 || y == H - 1;
                mask.MaskArray[x][y] = !ring && band[x][y];
            }
}

void AppendShoreSamples(const mapview::TViewport &frame, const mapview::TMaskArray &shore,
                        TPointList &InCoord, TValueList &InDepth) {
    for (std::int32_t y = 0; y < frame.Height; ++y)
        for (std::int32_t x = 0; x < frame.Width; ++x)
            if (shore.InRaster(x, y) && shore.Get(x, y)) {
                InCoord.push_back(
                    {static_cast<float>(frame.XToLo(x)), static_cast<float>(frame.YToLa(y))});
                InDepth.push_back(0);
            }
}

void UpdateMaskAndShoreSamples(const mapview::TViewport &frame, const mapview::TBooleanArray &band,
                               mapview::TMaskArray &mask, const mapview::TMaskArray &shore,
                               TPointList &InCoord, TValueList &InDepth) {
    NarrowMaskToBand(mask, band);
    AppendShoreSamples(frame, shore, InCoord, InDepth);
}

void GatherSoundings(const model::TGPX &doc, const mapview::TViewport &frame, TPointList &InCoord,
                     TValueList &InDepth, const std::vector<double> *trackOffsets) {
    const model::TBBox &b = frame.BBox;
    for (int t = 0; t < doc.trk.Count(); ++t) {
        const double offset = trackOffsets ? (*trackOffsets)[static_cast<std::size_t>(t)] : 0.0;
        for (const auto &s : doc.trk[t]->Items()) {
            if (s->maxdepth == 0)
                continue;
            for (const auto &p : s->Items())
                if (!p->Flagged &&
                    p->IsInBox(b.E, b.O, b.S, b.N)) { // a suspected spike is no sample
                    InCoord.push_back(
                        {static_cast<float>(p->Longitude), static_cast<float>(p->Latitude)});
                    // Without offsets the depth is taken as recorded, to the bit.
                    InDepth.push_back(
                        static_cast<float>(offset == 0 ? p->HBdepth : p->HBdepth + offset));
                }
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

void UpdateInterpolatorSettings(const mapview::TViewport &frame, TInterpolationSettings &settings,
                                std::int32_t DontCareRadius, double &AvrgPixelDistance) {
    AvrgPixelDistance = AveragePixelDistance(frame);
    DontCareRadii(frame, DontCareRadius, settings.maxDontCareRadius, settings.minDontCareRadius);
}

} // namespace depth
