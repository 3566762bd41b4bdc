// The interpolation run around the workers: the settings' radii and pixel size, the
// mask narrowed to the band with the shore samples, the soundings inside the frame, and
// the smoothing passes.
#pragma once

#include "depth/Grid.h"
#include "depth/ShepardInterp.h"
#include "depth/ShepardThread.h"
#include "mapview/MaskArray.h"
#include "mapview/Viewport.h"
#include "model/GPX.h"
#include "support/Dialogs.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace depth {

// A run that cannot be made (no sounding deeper than 0 cm); the message says why.
struct InterpolationRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Metres per pixel: the mean of one pixel's width and height at the frame's top-left corner.
double AveragePixelDistance(const mapview::TViewport &frame);
// maxDontCareRadius (the longitude span of r - 1 pixels) and minDontCareRadius (one pixel).
void DontCareRadii(const mapview::TViewport &frame, std::int32_t r, float &maxR, float &minR);
// "px = " + the length in fixed notation, 4 significant digits, 1 decimal + "m".
std::string PixelLengthLabel(std::int32_t pixels, double AvrgPixelDistance);
// Drops from the water mask every cell outside the band and the outermost ring of cells,
// which never belongs to the band.
void NarrowMaskToBand(mapview::TMaskArray &mask, const mapview::TBooleanArray &band);
// Appends a sample of depth 0 for every shore cell of the frame, row by row.
void AppendShoreSamples(const mapview::TViewport &frame, const mapview::TMaskArray &shore,
                        TPointList &InCoord, TValueList &InDepth);
// Both of the above.
void UpdateMaskAndShoreSamples(const mapview::TViewport &frame, const mapview::TBooleanArray &band,
                               mapview::TMaskArray &mask, const mapview::TMaskArray &shore,
                               TPointList &InCoord, TValueList &InDepth);
// Appends every point strictly inside the frame of every segment with soundings; with
// trackOffsets, the offset of its track (in cm) is added to each depth.
void GatherSoundings(const model::TGPX &doc, const mapview::TViewport &frame, TPointList &InCoord,
                     TValueList &InDepth, const std::vector<double> *trackOffsets = nullptr);
// One masked 3 x 3 box mean, in place.
void SmoothArray(TMatSingle &grid, const mapview::TMaskArray &mask);

struct TInterpolationSettings {
    std::int32_t Style = 5;                // power p, 2 .. 8
    std::int32_t ExtrapolationRadius = 50; // shadow band width in pixels
    std::int32_t SmoothingRuns = 6;        // 0 .. 10
    std::int32_t ThreadsRun = 1;           // workers at once
    std::int32_t ThreadsTasks = 4;         // stripes: 4 x logical processors
    float maxDontCareRadius = 0, minDontCareRadius = 0;
    TShepardInterp::Scan Scan = TShepardInterp::Scan::Indexed;
};

// The settings' refresh before a run: the pixel size and both radii.
void UpdateInterpolatorSettings(const mapview::TViewport &frame, TInterpolationSettings &settings,
                                std::int32_t DontCareRadius, double &AvrgPixelDistance);

} // namespace depth
