#include "mapview/MaskArray.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

namespace mapview {

TMaskArray::TMaskArray(std::int32_t width, std::int32_t height) {
    Resize(width, height);
}

void TMaskArray::Resize(std::int32_t new_width, std::int32_t new_height) {
    new_width = std::max(new_width, 0);
    new_height = std::max(new_height, 0);
    TBooleanArray resized;
    resized.SetSize(new_width, new_height);
    for (std::int32_t x = 0; x < std::min(array_width, new_width); ++x)
        for (std::int32_t y = 0; y < std::min(array_height, new_height); ++y)
            resized[x][y] = MaskArray[x][y];
    MaskArray = std::move(resized);
    array_width = new_width;
    array_height = new_height;
}

void TMaskArray::Clear() {
    MaskArray.Fill(false);
}

void TMaskArray::MaskToImage(QImage &Image) const {
    Image.fill(QColor::fromRgba(0xFF000000));
    const int w = std::min(array_width, Image.width()), h = std::min(array_height, Image.height());
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(Image.scanLine(y));
        for (int x = 0; x < w; ++x)
            if (MaskArray[x][y])
                row[x] = 0xFFFFFFFF;
    }
}

void TMaskArray::DrawLine(std::int32_t sx, std::int32_t sy, std::int32_t zx, std::int32_t zy) {
    const std::int64_t dx = std::int64_t{zx} - sx, dy = std::int64_t{zy} - sy;
    const std::int64_t stepX = dx < 0 ? -1 : 1, stepY = dy < 0 ? -1 : 1;
    const bool majorX = std::llabs(dx) > std::llabs(dy);
    const std::int64_t big = majorX ? std::llabs(dx) : std::llabs(dy);
    const std::int64_t small = majorX ? std::llabs(dy) : std::llabs(dx);
    std::int64_t x = sx, y = sy;
    auto plot = [&] {
        if (InRaster(x, y))
            MaskArray[static_cast<std::int32_t>(x)][static_cast<std::int32_t>(y)] = 1;
    };
    plot();
    // The error starts at big, not big/2: the minor steps fall at the end of each run.
    std::int64_t error = big;
    for (std::int64_t k = 0; k < big; ++k) {
        error -= small;
        bool minorStep = error <= 0;
        if (minorStep)
            error += big;
        if (majorX) {
            x += stepX;
            if (minorStep)
                y += stepY;
        } else {
            y += stepY;
            if (minorStep)
                x += stepX;
        }
        plot();
    }
}

namespace {

struct Extent {
    std::int32_t minX, maxX, minY, maxY;
};

Extent ExtentOf(const TArrayOfPoint &points) {
    Extent e{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(),
             std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
    for (const TPoint &p : points) {
        e.minX = std::min(e.minX, p.X);
        e.maxX = std::max(e.maxX, p.X);
        e.minY = std::min(e.minY, p.Y);
        e.maxY = std::max(e.maxY, p.Y);
    }
    return e;
}

// The cells of the polygon's bounding box that lie on a w x h raster; nothing when the
// polygon has no points or its box misses the raster.
std::optional<Extent> CellsToVisit(const TArrayOfPoint &points, std::int32_t w, std::int32_t h) {
    if (points.empty())
        return std::nullopt;
    const Extent e = ExtentOf(points);
    if (e.minX > w - 1 || e.minY > h - 1 || e.maxX < 0 || e.maxY < 0)
        return std::nullopt;
    return Extent{std::max(e.minX, 0), std::min(e.maxX, w - 1), std::max(e.minY, 0),
                  std::min(e.maxY, h - 1)};
}

} // namespace

void TMaskArray::DrawFilledPolygonPerCell(const TArrayOfPoint &Points, bool invert) {
    const std::optional<Extent> cells = CellsToVisit(Points, array_width, array_height);
    if (!cells)
        return;
    TPtInRgn test(Points);
    for (std::int32_t i = cells->minX; i <= cells->maxX; ++i)
        for (std::int32_t j = cells->minY; j <= cells->maxY; ++j)
            if (test.PtInRgn3(Points, {i, j}))
                MaskArray[i][j] = invert ? 0 : 1;
}

// The cells PtInRgn3 accepts, found row by row: in row j, cell i is inside exactly when an
// odd number of the spanning edges' thresholds lie strictly below i, so the inside is the
// union of the integer ranges (t[2m], t[2m+1]] of the sorted thresholds.
void TMaskArray::DrawFilledPolygon(const TArrayOfPoint &Points, bool invert) {
    const std::optional<Extent> cells = CellsToVisit(Points, array_width, array_height);
    if (!cells)
        return;
    TPtInRgn test(Points);
    const std::int32_t x0 = cells->minX, x1 = cells->maxX;
    const std::uint8_t value = invert ? 0 : 1;
    std::vector<long double> t;
    for (std::int32_t j = cells->minY; j <= cells->maxY; ++j) {
        test.RowThresholds(Points, j, t);
        for (std::size_t m = 0; m + 1 < t.size(); m += 2) {
            // i > t[m] and i <= t[m+1], within the polygon's box and the raster.
            long double lo = std::floor(t[m]) + 1, hi = std::floor(t[m + 1]);
            long double from = std::max<long double>(lo, x0), to = std::min<long double>(hi, x1);
            if (from > to)
                continue;
            for (auto i = static_cast<std::int32_t>(from); i <= static_cast<std::int32_t>(to); ++i)
                MaskArray[i][j] = value;
        }
    }
}

void TMaskArray::DrawShorelineAndIslands(const TArrayOfArrayOfPoint &polygons) {
    if (polygons.empty()) {
        for (std::int32_t x = 1; x < array_width; ++x)
            for (std::int32_t y = 1; y < array_height; ++y)
                MaskArray[x][y] = 1;
        return;
    }
    if (polygons.size() == 1) {
        DrawFilledPolygon(polygons[0], false);
        return;
    }
    // The outer shore is a polygon holding another polygon's first vertex; of several,
    // the last one counts and the others are cut out like islands.
    std::ptrdiff_t outer = -1;
    for (std::size_t a = 0; a < polygons.size(); ++a)
        for (std::size_t b = 0; b < polygons.size(); ++b)
            if (b != a && !polygons[b].empty() && PointInPolygon(polygons[a], polygons[b][0])) {
                outer = static_cast<std::ptrdiff_t>(a);
                DrawFilledPolygon(polygons[a], false);
                break; // filling it again would change nothing
            }
    for (std::size_t p = 0; p < polygons.size(); ++p)
        if (static_cast<std::ptrdiff_t>(p) != outer)
            DrawFilledPolygon(polygons[p], true);
}

} // namespace mapview
