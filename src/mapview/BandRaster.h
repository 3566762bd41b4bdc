// The shadow band of the soundings: every pixel whose centre lies within half the width of
// a piece of a sounding track (round joins and round ends), filled row by row as the union
// of the pieces' intervals, so that a survey of many short pieces costs one fill of its area.
// The band is a value the interpolation reads; the map only draws it.
#pragma once

#include "mapview/MaskArray.h"
#include "mapview/Viewport.h"
#include "model/GPX.h"

#include <QImage>
#include <QPointF>

#include <cstdint>
#include <functional>
#include <vector>

namespace mapview {

// Calls fill(y, from, to) with the columns from..to (inclusive) of row y that the band of
// the polylines covers on a raster of W x H pixels, once for each stretch of a row.
void FillRoundBands(int W, int H, const std::vector<std::vector<QPointF>> &polylines, double width,
                    const std::function<void(int y, int from, int to)> &fill);

// The band of every enabled track segment's pieces that start at a sounding (depth > 0),
// and a disc of the band's width around every segment that is a single sounding, on the
// frame's pixel grid.
TBooleanArray ComputeBand(const model::TGPX &doc, const TViewport &frame, double width);

// The band as the map shows it: `color` on band cells, opaque white elsewhere.
QImage BandImage(const TBooleanArray &band, std::uint32_t color);

} // namespace mapview
