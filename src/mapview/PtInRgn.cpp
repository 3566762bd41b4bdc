#include "mapview/PtInRgn.h"

#include <algorithm>

namespace mapview {

namespace {
bool Spans(std::int32_t yi, std::int32_t yj, std::int32_t py) {
    return (yi < py && yj >= py) || (yj < py && yi >= py);
}
} // namespace

TPtInRgn::TPtInRgn(const TArrayOfPoint &poly) {
    const std::size_t n = poly.size();
    PtInRgn3_Constant.resize(n);
    PtInRgn3_Multiple.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const TPoint &pi = poly[i], &pj = poly[i == 0 ? n - 1 : i - 1];
        if (pj.Y == pi.Y) {
            PtInRgn3_Constant[i] = static_cast<float>(pi.X);
            PtInRgn3_Multiple[i] = 0;
            continue;
        }
        // Integer products in 64 bits: the same value wherever 32 bits would do.
        const long double dy = static_cast<long double>(std::int64_t{pj.Y} - pi.Y);
        const long double c =
            pi.X - (std::int64_t{pi.Y} * pj.X) / dy + (std::int64_t{pi.Y} * pi.X) / dy;
        PtInRgn3_Constant[i] = static_cast<float>(c);
        PtInRgn3_Multiple[i] = static_cast<float>((std::int64_t{pj.X} - pi.X) / dy);
    }
}

bool TPtInRgn::PtInRgn3(const TArrayOfPoint &poly, TPoint P) const {
    bool odd = false;
    const std::size_t n = poly.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TPoint &pi = poly[i], &pj = poly[i == 0 ? n - 1 : i - 1];
        if (Spans(pi.Y, pj.Y, P.Y)) {
            long double x = static_cast<long double>(P.Y) * PtInRgn3_Multiple[i] +
                            static_cast<long double>(PtInRgn3_Constant[i]);
            odd ^= static_cast<long double>(P.X) > x;
        }
    }
    return odd;
}

void TPtInRgn::RowThresholds(const TArrayOfPoint &poly, std::int32_t y,
                             std::vector<long double> &out) const {
    out.clear();
    const std::size_t n = poly.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TPoint &pi = poly[i], &pj = poly[i == 0 ? n - 1 : i - 1];
        if (Spans(pi.Y, pj.Y, y))
            out.push_back(static_cast<long double>(y) * PtInRgn3_Multiple[i] +
                          static_cast<long double>(PtInRgn3_Constant[i]));
    }
    std::sort(out.begin(), out.end());
}

bool PointInPolygon(const TArrayOfPoint &poly, TPoint P) {
    bool odd = false;
    const std::size_t n = poly.size();
    for (std::size_t i = 0; i < n; ++i) {
        const TPoint &pi = poly[i], &pj = poly[i == 0 ? n - 1 : i - 1];
        if (Spans(pi.Y, pj.Y, P.Y) && (pi.X <= P.X || pj.X <= P.X)) {
            long double x = pi.X + static_cast<long double>(std::int64_t{P.Y} - pi.Y) /
                                       static_cast<long double>(std::int64_t{pj.Y} - pi.Y) *
                                       static_cast<long double>(std::int64_t{pj.X} - pi.X);
            odd ^= x < P.X;
        }
    }
    return odd;
}

} // namespace mapview
