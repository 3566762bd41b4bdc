// The integer line the drawing code uses where a pixel-exact line is wanted.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace mapview {

// Calls plot(x, y) for each pixel of the line from (x0, y0) towards (x1, y1), the end pixel
// left out, so that a polyline drawn piece by piece sets each vertex once. The arithmetic
// is 64-bit: any pair of 32-bit end points works without overflow.
template <class Plot>
void LineWithoutEnd(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, Plot plot) {
    const std::int64_t dx = std::llabs(x1 - x0), dy = -std::llabs(y1 - y0);
    const std::int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    std::int64_t err = dx + dy;
    while (!(x0 == x1 && y0 == y1)) {
        plot(x0, y0);
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

} // namespace mapview
