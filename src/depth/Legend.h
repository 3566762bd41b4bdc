// A legend beside the chart image: the colour bar with depths in the chosen unit, a scale
// bar, a north arrow and the date. The chart itself is never drawn on.
#pragma once

#include "depth/ColorModel.h"
#include "depth/Units.h"
#include "mapview/Viewport.h"

#include <QImage>

#include <cstdint>
#include <string>

namespace depth {

// Width of the strip added on the right, and the least height of the result (a smaller
// chart gets white below it).
inline constexpr int kLegendWidth = 160;
inline constexpr int kLegendMinHeight = 320;

// The ground length in metres of one pixel across the frame at its middle latitude; 0 for a
// frame without scale.
double MetresPerPixel(const mapview::TViewport &frame);

// The longest "nice" length (1, 2 or 5 times a power of ten, in the unit) that fits in
// maxPixels at metresPerPixel; 0 when none does.
double ScaleBarLength(double metresPerPixel, TDepthUnit unit, int maxPixels);

// A copy of the chart (as Format_ARGB32, pixels unchanged at the same place) widened by
// kLegendWidth on the right, and made at least kLegendMinHeight tall, with the legend on a
// white background: depth 0 at the top of the bar down to MaxDepth (cm) at its bottom,
// coloured by the gradient as the chart is (grid value = depth / MaxDepth), labelled in
// `unit`; the scale bar from the frame; a north arrow; `date` as given. Text needs fonts:
// without a QGuiApplication this throws std::logic_error.
QImage AddLegend(const QImage &chart, const TColor32Gradient &gradient, std::int32_t MaxDepth,
                 const mapview::TViewport &frame, TDepthUnit unit, const std::string &date);

} // namespace depth
