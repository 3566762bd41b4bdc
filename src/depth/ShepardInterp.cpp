#include "depth/ShepardInterp.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace depth {

namespace {
// Margin on the radii when choosing buckets: d is rounded to 32 bits, so a sample whose
// exact distance is a hair beyond the radius can still count.
constexpr double kRadiusMargin = 1.0 + 1e-5;
constexpr std::int64_t kMaxBuckets = 1 << 22;
} // namespace

TShepardInterp::TShepardInterp(const TPointList &coord, const TValueList &value, float p,
                               float maxRadius, float minRadius, support::Dialogs *dialogs,
                               Scan scan)
    : n(static_cast<std::int32_t>(coord.size())), pneg(-p), maxR(maxRadius), minR(minRadius),
      pts(coord), vals(value) {
    if (coord.size() != value.size()) {
        if (dialogs)
            dialogs->Message(support::BoxKind::Information,
                             "coordinates and values matrices missmatch.", support::BoxButton::Ok);
        n = static_cast<std::int32_t>(std::min(coord.size(), value.size())); // never read past either
    }
    if (p == std::floor(p) && p >= 1 && p <= 64)
        power_ = static_cast<int>(p);
    indexed_ = scan == Scan::Indexed && n > 0 && std::isfinite(maxR) && maxR > 0;
    if (indexed_) {
        far_.Build(pts, std::max<double>(maxR / 3.0, 1e-9));
        if (minR > 0 && std::isfinite(minR))
            near_.Build(pts, std::max<double>(minR * kRadiusMargin, 1e-9));
    }
}

void TShepardInterp::BucketGrid::Build(const TPointList &p, double cellSize) {
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    for (const TPointF &q : p)
        if (std::isfinite(q.x) && std::isfinite(q.y)) {
            minX = std::min<double>(minX, q.x), maxX = std::max<double>(maxX, q.x);
            minY = std::min<double>(minY, q.y), maxY = std::max<double>(maxY, q.y);
        }
    if (!(minX <= maxX))
        return;
    cell = cellSize;
    // A radius tiny against the spread of the samples would need too many buckets.
    while (((maxX - minX) / cell + 1) * ((maxY - minY) / cell + 1) > kMaxBuckets)
        cell *= 2;
    x0 = minX, y0 = minY;
    cols = static_cast<std::int64_t>((maxX - minX) / cell) + 1;
    rows = static_cast<std::int64_t>((maxY - minY) / cell) + 1;
    std::vector<std::int32_t> bucketOf(p.size(), -1);
    start.assign(static_cast<std::size_t>(cols * rows + 1), 0);
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (!(std::isfinite(p[i].x) && std::isfinite(p[i].y)))
            continue;
        std::int64_t c = std::min(cols - 1, static_cast<std::int64_t>((p[i].x - x0) / cell));
        std::int64_t r = std::min(rows - 1, static_cast<std::int64_t>((p[i].y - y0) / cell));
        bucketOf[i] = static_cast<std::int32_t>(r * cols + c);
        ++start[static_cast<std::size_t>(bucketOf[i]) + 1];
    }
    for (std::size_t b = 1; b < start.size(); ++b)
        start[b] += start[b - 1];
    items.resize(static_cast<std::size_t>(start.back()));
    std::vector<std::int32_t> fill(start.begin(), start.end() - 1);
    // Filling in index order keeps every bucket's list ascending.
    for (std::size_t i = 0; i < p.size(); ++i)
        if (bucketOf[i] >= 0)
            items[static_cast<std::size_t>(fill[static_cast<std::size_t>(bucketOf[i])]++)] = {
                static_cast<std::int32_t>(i), p[i]};
}

bool TShepardInterp::BucketGrid::Range(double x, double y, double r, std::int64_t &c0,
                                       std::int64_t &c1, std::int64_t &r0,
                                       std::int64_t &r1) const {
    if (items.empty())
        return false;
    const double fc0 = std::floor((x - r - x0) / cell), fc1 = std::floor((x + r - x0) / cell);
    const double fr0 = std::floor((y - r - y0) / cell), fr1 = std::floor((y + r - y0) / cell);
    if (!(fc1 >= 0 && fr1 >= 0 && fc0 < cols && fr0 < rows))
        return false;
    c0 = static_cast<std::int64_t>(std::max(fc0, 0.0));
    r0 = static_cast<std::int64_t>(std::max(fr0, 0.0));
    c1 = static_cast<std::int64_t>(std::min(fc1, static_cast<double>(cols - 1)));
    r1 = static_cast<std::int64_t>(std::min(fr1, static_cast<double>(rows - 1)));
    return true;
}

float TShepardInterp::Distance(float xcoord, float ycoord, std::int32_t i) const {
    return Distance(xcoord, ycoord, pts[static_cast<std::size_t>(i)]);
}

// The distance at extended precision, rounded to 32 bits.
float TShepardInterp::Distance(float xcoord, float ycoord, TPointF q) {
    const long double dx = static_cast<long double>(xcoord) - q.x;
    const long double dy = static_cast<long double>(ycoord) - q.y;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

// d^-p in 64 bits: with the hard end of the style slider 32-bit weights overflow.
double TShepardInterp::Weight(float d) const {
    if (power_ > 0) {
        double dp = 1;
        for (int k = 0; k < power_; ++k)
            dp *= d;
        return 1.0 / dp;
    }
    return std::pow(static_cast<double>(d), static_cast<double>(pneg));
}

float TShepardInterp::interpLinear(float xcoord, float ycoord) const {
    double W = 0, S = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const float d = Distance(xcoord, ycoord, i);
        if (d > maxR)
            continue;
        if (d < minR)
            return vals[static_cast<std::size_t>(i)];
        const double w = Weight(d);
        W += w;
        S += w * vals[static_cast<std::size_t>(i)];
    }
    return W == 0 ? 0.0f : static_cast<float>(S / W);
}

// The same answer as the linear scan: the first sample in array order inside minR wins;
// otherwise the samples within maxR are summed in ascending index order.
float TShepardInterp::interp(float xcoord, float ycoord) const {
    if (!indexed_)
        return interpLinear(xcoord, ycoord);
    std::int64_t c0, c1, r0, r1;
    if (!near_.Empty() && near_.Range(xcoord, ycoord, minR * kRadiusMargin, c0, c1, r0, r1)) {
        std::int32_t first = std::numeric_limits<std::int32_t>::max();
        for (std::int64_t r = r0; r <= r1; ++r)
            for (std::int64_t c = c0; c <= c1; ++c) {
                const std::size_t b = static_cast<std::size_t>(r * near_.cols + c);
                for (std::int32_t k = near_.start[b]; k < near_.start[b + 1]; ++k) {
                    const auto &item = near_.items[static_cast<std::size_t>(k)];
                    const std::int32_t i = item.i;
                    if (i >= first)
                        break; // the list is ascending: nothing earlier follows
                    if (i < n && Distance(xcoord, ycoord, item.p) < minR) {
                        first = i;
                        break;
                    }
                }
            }
        if (first != std::numeric_limits<std::int32_t>::max())
            return vals[static_cast<std::size_t>(first)];
    }
    if (!far_.Range(xcoord, ycoord, maxR * kRadiusMargin, c0, c1, r0, r1))
        return 0.0f;
    // Every bucket's samples within maxR, each run ascending; a merge of the runs gives
    // them in array order, the order in which the linear scan adds them up.
    struct Run {
        std::uint32_t begin, end;
    };
    thread_local std::vector<std::pair<std::int32_t, float>> within;
    thread_local std::vector<Run> runs;
    within.clear();
    runs.clear();
    const double reach = static_cast<double>(maxR) * kRadiusMargin, reach2 = reach * reach;
    for (std::int64_t r = r0; r <= r1; ++r)
        for (std::int64_t c = c0; c <= c1; ++c) {
            const std::size_t b = static_cast<std::size_t>(r * far_.cols + c);
            const auto begin = static_cast<std::uint32_t>(within.size());
            for (std::int32_t k = far_.start[b]; k < far_.start[b + 1]; ++k) {
                const auto &item = far_.items[static_cast<std::size_t>(k)];
                const std::int32_t i = item.i;
                if (i >= n)
                    continue;
                const double dx = static_cast<double>(xcoord) - item.p.x, dy = static_cast<double>(ycoord) - item.p.y;
                if (dx * dx + dy * dy > reach2)
                    continue; // surely beyond maxR: no need for the exact distance
                const float d = Distance(xcoord, ycoord, item.p);
                if (!(d > maxR))
                    within.push_back({i, d});
            }
            if (within.size() > begin)
                runs.push_back({begin, static_cast<std::uint32_t>(within.size())});
        }
    double W = 0, S = 0;
    auto add = [&](std::int32_t i, float d) {
        const double w = Weight(d);
        W += w;
        S += w * vals[static_cast<std::size_t>(i)];
    };
    // Runs come bucket by bucket; sorted by index they give the linear scan's order.
    std::sort(within.begin(), within.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[i, d] : within) {
        if (d < minR) // only when the near grid is unusable (minR not positive and finite)
            return vals[static_cast<std::size_t>(i)];
        add(i, d);
    }
    return W == 0 ? 0.0f : static_cast<float>(S / W);
}

} // namespace depth
