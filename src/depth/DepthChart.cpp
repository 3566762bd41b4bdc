#include "depth/DepthChart.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace depth {

void DrawInterpolatedImage(QImage &image, const TMatSingle &grid, const mapview::TMaskArray &mask,
                           const TColor32Gradient &gradient,
                           const mapview::TArrayOfArrayOfFloatPoint &polygons,
                           TColor32 shoreColor) {
    image.fill(QColor::fromRgba(0xFF000000));
    // Only the area the image, the grid and the mask have in common.
    const int w = std::min({image.width(), grid.Width(), mask.array_width});
    const int h = std::min({image.height(), grid.Height(), mask.array_height});
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            if (mask.Get(x, y))
                row[x] = gradient.ColorAt(grid[x][y]);
    }
    if (polygons.empty())
        return;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(QColor::fromRgba(shoreColor), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(4);
    p.setPen(pen);
    for (const auto &poly : polygons) {
        if (poly.size() < 2)
            continue;
        QPainterPath path(QPointF(poly[0].X + 0.5, poly[0].Y + 0.5));
        for (std::size_t i = 1; i < poly.size(); ++i)
            path.lineTo(poly[i].X + 0.5, poly[i].Y + 0.5);
        p.drawPath(path); // open: the closing edge is not drawn
    }
}

} // namespace depth
