// The shorelines of a project on a frame's pixel grid: every segment without depth as a
// polygon of pixels, the water mask they enclose and the raster of the shore lines
// themselves. Computed as a value; the map view and the interpolation read it.
#pragma once

#include "mapview/MaskArray.h"
#include "mapview/Viewport.h"
#include "model/GPX.h"

namespace mapview {

struct TShorelines {
    TArrayOfArrayOfPoint Polygons;
    TArrayOfArrayOfFloatPoint PolygonsFloat;
    TMaskArray Mask{0, 0};  // water: inside the outer shore, outside the islands
    TMaskArray Shore{0, 0}; // the shore lines' pixels
};

// One polygon per segment whose maxdepth is 0, in track and segment order; the masks are
// rasters of maskWidth x maskHeight.
TShorelines BuildShorelines(const model::TGPX &doc, const TViewport &frame, std::int32_t maskWidth,
                            std::int32_t maskHeight);

// Appends the polygon of one segment (runs of equal pixels collapse to one; the last
// point's pixel always ends it) and draws its lines into `shore` when given.
void AppendShorelinePolygon(const model::TGPXwptList &Track, const TViewport &frame,
                            TArrayOfArrayOfPoint &polygons,
                            TArrayOfArrayOfFloatPoint &polygonsFloat, TMaskArray *shore);

} // namespace mapview
