// Boolean rasters on the project view's pixel grid: the water mask and the shore raster.
#pragma once

#include "mapview/PtInRgn.h"

#include <QImage>

#include <cstdint>
#include <vector>

namespace mapview {

// Cells indexed [x][y], x the column, y the row (row 0 at the top).
class TBooleanArray {
  public:
    void SetSize(std::int32_t width, std::int32_t height) {
        width_ = std::max(width, 0);
        height_ = std::max(height, 0);
        cells_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
    }
    std::uint8_t *operator[](std::int32_t x) {
        return cells_.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(height_);
    }
    const std::uint8_t *operator[](std::int32_t x) const {
        return cells_.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(height_);
    }
    void Fill(bool value) { std::fill(cells_.begin(), cells_.end(), value ? 1 : 0); }
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }

  private:
    std::int32_t width_ = 0, height_ = 0;
    std::vector<std::uint8_t> cells_;
};

class TMaskArray {
  public:
    TMaskArray(std::int32_t width, std::int32_t height);

    TBooleanArray MaskArray;
    std::int32_t array_width = 0;
    std::int32_t array_height = 0;

    bool Get(std::int32_t x, std::int32_t y) const { return MaskArray[x][y] != 0; }
    bool InRaster(std::int64_t x, std::int64_t y) const {
        return x >= 0 && y >= 0 && x < array_width && y < array_height;
    }

    void Resize(std::int32_t new_width, std::int32_t new_height);
    void Clear();
    // Opaque black, with opaque white for every true cell that falls in the image.
    void MaskToImage(QImage &Image) const;
    void DrawLine(std::int32_t sx, std::int32_t sy, std::int32_t zx, std::int32_t zy);
    void DrawFilledPolygon(const TArrayOfPoint &Points, bool invert);
    void DrawShorelineAndIslands(const TArrayOfArrayOfPoint &ShorelinePolygons);

    // DrawFilledPolygon as the per-cell test does it, for checking the row fill.
    void DrawFilledPolygonPerCell(const TArrayOfPoint &Points, bool invert);
};

} // namespace mapview
