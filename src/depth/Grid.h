// The depth grid: 32-bit floats indexed [x][y] on the project view's pixel grid
// (x the column, y the row, row 0 at the top). Values are depth / MaxDepth.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace depth {

class TMatSingle {
  public:
    TMatSingle() = default;
    TMatSingle(std::int32_t width, std::int32_t height) { SetSize(width, height); }

    void SetSize(std::int32_t width, std::int32_t height) {
        width_ = std::max(width, 0);
        height_ = std::max(height, 0);
        cells_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0.0f);
    }
    std::int32_t Width() const { return width_; }   // number of columns
    std::int32_t Height() const { return height_; } // length of every column
    bool Empty() const { return cells_.empty(); }

    float *operator[](std::int32_t x) {
        return cells_.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(height_);
    }
    const float *operator[](std::int32_t x) const {
        return cells_.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(height_);
    }
    void Fill(float v) { std::fill(cells_.begin(), cells_.end(), v); }
    // Column by column: x outer, y inner.
    const std::vector<float> &Cells() const { return cells_; }

  private:
    std::int32_t width_ = 0, height_ = 0;
    std::vector<float> cells_;
};

} // namespace depth
