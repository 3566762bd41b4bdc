// Point-in-polygon tests on pixel polygons (even-odd rule; an edge counts when one end
// lies strictly above the point's row and the other on or below it, a crossing when it
// lies strictly left of the point).
#pragma once

#include <cstdint>
#include <vector>

namespace mapview {

struct TPoint {
    std::int32_t X = 0, Y = 0;
    bool operator==(const TPoint &o) const { return X == o.X && Y == o.Y; }
};
struct TFloatPoint {
    float X = 0, Y = 0;
};
using TArrayOfPoint = std::vector<TPoint>;
using TArrayOfArrayOfPoint = std::vector<TArrayOfPoint>;
using TArrayOfFloatPoint = std::vector<TFloatPoint>;
using TArrayOfArrayOfFloatPoint = std::vector<TArrayOfFloatPoint>;

// Per-edge constants computed once, so that each crossing costs one multiply-add.
class TPtInRgn {
  public:
    explicit TPtInRgn(const TArrayOfPoint &TestPolygon);

    bool PtInRgn3(const TArrayOfPoint &TestPolygon, TPoint P) const;

    // For row y: the x thresholds of the edges spanning it, sorted. A cell (x, y) is
    // inside exactly when an odd number of them lie strictly below x.
    void RowThresholds(const TArrayOfPoint &TestPolygon, std::int32_t y,
                       std::vector<long double> &out) const;

  private:
    std::vector<float> PtInRgn3_Constant;
    std::vector<float> PtInRgn3_Multiple;
};

bool PointInPolygon(const TArrayOfPoint &Polygon, TPoint P);

} // namespace mapview
