// The interpolation run around the workers: the settings' radii and pixel size, the
// mask narrowed to the shadow band with the shore samples, the soundings inside the
// view, and the smoothing passes. The desktop program and the batch tool share it.
#pragma once

#include "depth/Grid.h"
#include "depth/ShepardInterp.h"
#include "depth/ShepardThread.h"
#include "mapview/GPXDraw.h"
#include "support/Dialogs.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace depth {

// A run that cannot be made (no sounding deeper than 0 cm); the message says why.
struct InterpolationRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Metres per pixel: the mean of one pixel's width and height at the view's top-left corner.
double AveragePixelDistance(const mapview::TGPXDraw &view);
// maxDontCareRadius (the longitude span of r - 1 pixels) and minDontCareRadius (one pixel).
void DontCareRadii(const mapview::TGPXDraw &view, std::int32_t r, float &maxR, float &minR);
// "px = " + the length in fixed notation, 4 significant digits, 1 decimal + "m".
std::string PixelLengthLabel(std::int32_t pixels, double AvrgPixelDistance);

// Drops water outside the shadow band from the mask (after a white frame is drawn on the
// view's shadow map) and appends a sample of depth 0 for every shore cell, row by row.
void UpdateMaskAndShoreSamples(mapview::TGPXDraw &view, mapview::TMaskArray &mask,
                               const mapview::TMaskArray &shore, TPointList &InCoord,
                               TValueList &InDepth);
// Appends every point strictly inside the view's frame of every segment with soundings.
void GatherSoundings(const mapview::TGPXDraw &view, TPointList &InCoord, TValueList &InDepth);
// One masked 3 x 3 box mean, in place.
void SmoothArray(TMatSingle &grid, const mapview::TMaskArray &mask);

struct TInterpolationSettings {
    std::int32_t Style = 5;               // power p, 2 .. 8
    std::int32_t ExtrapolationRadius = 50; // shadow band width in pixels
    std::int32_t SmoothingRuns = 6;       // 0 .. 10
    std::int32_t ThreadsRun = 1;          // workers at once
    std::int32_t ThreadsTasks = 4;        // stripes: 4 x logical processors
    float maxDontCareRadius = 0, minDontCareRadius = 0;
    TShepardInterp::Scan Scan = TShepardInterp::Scan::Indexed;
};

struct TInterpolationRun {
    TPointList InCoord;
    TValueList InDepth;
    std::size_t ShoreSamples = 0;
    TMatSingle InterpResultArray;
};

// "Start Interpolator" from the redraw to the smoothed grid, the workers on threads of
// their own. Throws InterpolationRefused when MaxDepth is not positive.
void RunInterpolation(mapview::TGPXDraw &view, mapview::TMaskArray &mask,
                      mapview::TMaskArray &shore, std::int32_t MaxDepth,
                      const TInterpolationSettings &settings, TInterpolationRun &run,
                      support::LogLine log);

// The settings' refresh before a run: band width, masks, and both radii.
void UpdateInterpolatorSettings(mapview::TGPXDraw &view, mapview::TMaskArray &mask,
                                mapview::TMaskArray &shore, TInterpolationSettings &settings,
                                std::int32_t DontCareRadius, double &AvrgPixelDistance);

} // namespace depth
