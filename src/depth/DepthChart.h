// The depth chart: every water cell of the grid through the colour model, black
// elsewhere, and the shoreline polygons in lime on top.
#pragma once

#include "depth/ColorModel.h"
#include "depth/Grid.h"
#include "mapview/MaskArray.h"

#include <QImage>

namespace depth {

void DrawInterpolatedImage(QImage &image, const TMatSingle &InterpResultArray,
                           const mapview::TMaskArray &MaskArray, const TColor32Gradient &gradient,
                           const mapview::TArrayOfArrayOfFloatPoint &ShorelinePolygonsFloat,
                           TColor32 shoreColor = 0xFF00FF00);

} // namespace depth
