#include "depth/ShepardInterp.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define DEPTHWRIGHT_LANES 1
#include <immintrin.h>
#endif

namespace depth {

namespace {
// Margin on the radii when choosing buckets: d is rounded to 32 bits, so a sample whose
// exact distance is a hair beyond the radius can still count.
constexpr double kRadiusMargin = 1.0 + 1e-5;
constexpr std::int64_t kMaxBuckets = 1 << 22;
// The double distance is within 2^-51 of the exact one and the extended one within 2^-62;
// when every value within 2^-46 of it rounds to the same float, so do both.
constexpr double kDistanceSlack = 1.0 / (1ull << 46);
std::atomic<std::uint64_t> nextId{1};
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
        n = static_cast<std::int32_t>(
            std::min(coord.size(), value.size())); // never read past either
    }
    if (p == std::floor(p) && p >= 1 && p <= 64)
        power_ = static_cast<int>(p);
    id_ = nextId.fetch_add(1, std::memory_order_relaxed);
    indexed_ = scan == Scan::Indexed && n > 0 && std::isfinite(maxR) && maxR > 0;
    if (indexed_) {
        far_.Build(pts, std::max<double>(maxR / 3.0, 1e-9), true);
        if (minR > 0 && std::isfinite(minR))
            near_.Build(pts, std::max<double>(minR * kRadiusMargin, 1e-9), false);
    }
#ifdef DEPTHWRIGHT_LANES
    const bool avx2 = __builtin_cpu_supports("avx2");
#else
    const bool avx2 = false;
#endif
    // The lanes take whole powers only, and leave the samples within minR to the near
    // grid, which finds them all unless minR is infinite (none exist when it is not > 0).
    lanes_ = indexed_ && power_ > 0 && (!(minR > 0) || std::isfinite(minR)) && avx2;
}

void TShepardInterp::BucketGrid::Build(const TPointList &p, double cellSize, bool withSpans) {
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
    if (!withSpans)
        return;
    spanStart.assign(start.size(), 0);
    for (std::size_t b = 0; b + 1 < start.size(); ++b) {
        for (std::int32_t k = start[b]; k < start[b + 1]; ++k) {
            const std::int32_t i = items[static_cast<std::size_t>(k)].i;
            if (k > start[b] && spans.back().hi == i)
                ++spans.back().hi;
            else
                spans.push_back({i, i + 1});
        }
        spanStart[b + 1] = static_cast<std::int32_t>(spans.size());
    }
}

bool TShepardInterp::BucketGrid::Range(double x, double y, double r, std::int64_t &c0,
                                       std::int64_t &c1, std::int64_t &r0, std::int64_t &r1) const {
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

// The same float as Distance for the squared distance d2 worked out in doubles, without
// extended arithmetic unless the double result lies too near a float rounding boundary.
inline float TShepardInterp::FastDistance(float xcoord, float ycoord, TPointF q, double d2) {
    const double d = std::sqrt(d2);
    const float below = static_cast<float>(d - d * kDistanceSlack);
    const float above = static_cast<float>(d + d * kDistanceSlack);
    return below == above ? below : Distance(xcoord, ycoord, q);
}

// Spans of different buckets never overlap, so ordered by their start they give every
// sample of those buckets in ascending index order; joined, a run along a track is one span.
void TShepardInterp::MergeSpans(std::vector<BucketGrid::Span> &spans, std::size_t from) {
    std::sort(spans.begin() + static_cast<std::ptrdiff_t>(from), spans.end(),
              [](const BucketGrid::Span &a, const BucketGrid::Span &b) { return a.lo < b.lo; });
    std::size_t last = from;
    for (std::size_t k = from + 1; k < spans.size(); ++k)
        if (spans[last].hi == spans[k].lo)
            spans[last].hi = spans[k].hi;
        else
            spans[++last] = spans[k];
    spans.resize(std::min(spans.size(), last + 1));
}

const std::vector<TShepardInterp::BucketGrid::Span> &
TShepardInterp::WindowSpans(std::int64_t c0, std::int64_t c1, std::int64_t r0,
                            std::int64_t r1) const {
    // A worker walks a column cell by cell and then the next column, so its windows keep
    // their bucket columns for many cells and mostly their rows too. It keeps the merged
    // spans of every bucket row of its columns, and the window it used last.
    struct Cache {
        std::uint64_t owner = 0;
        std::int64_t c0 = -1, c1 = -1, r0 = -1, r1 = -1;
        std::vector<BucketGrid::Span> rowSpans; // per row: buckets c0 .. c1 merged
        std::vector<std::int32_t> rowStart;     // far_.rows + 1 offsets into rowSpans
        std::vector<BucketGrid::Span> spans;    // rows r0 .. r1 merged
    };
    thread_local Cache cache;
    if (cache.owner != id_ || cache.c0 != c0 || cache.c1 != c1) {
        cache.owner = id_, cache.c0 = c0, cache.c1 = c1, cache.r0 = -1;
        cache.rowSpans.clear();
        cache.rowStart.assign(1, 0);
        for (std::int64_t r = 0; r < far_.rows; ++r) {
            const std::size_t b0 = static_cast<std::size_t>(r * far_.cols + c0);
            const std::size_t b1 = static_cast<std::size_t>(r * far_.cols + c1);
            const std::size_t from = cache.rowSpans.size();
            cache.rowSpans.insert(cache.rowSpans.end(), far_.spans.begin() + far_.spanStart[b0],
                                  far_.spans.begin() + far_.spanStart[b1 + 1]);
            MergeSpans(cache.rowSpans, from);
            cache.rowStart.push_back(static_cast<std::int32_t>(cache.rowSpans.size()));
        }
    }
    if (cache.r0 != r0 || cache.r1 != r1) {
        cache.r0 = r0, cache.r1 = r1;
        cache.spans.assign(cache.rowSpans.begin() + cache.rowStart[static_cast<std::size_t>(r0)],
                           cache.rowSpans.begin() +
                               cache.rowStart[static_cast<std::size_t>(r1 + 1)]);
        MergeSpans(cache.spans, 0);
    }
    return cache.spans;
}

// d^-p in 64 bits: with the hard end of the style slider 32-bit weights overflow. The
// product runs left to right whatever the power, so the unrolled forms give the same bits.
inline double TShepardInterp::Weight(float d) const {
    const double x = d;
    switch (power_) {
    case 2:
        return 1.0 / (x * x);
    case 3:
        return 1.0 / (x * x * x);
    case 4:
        return 1.0 / (x * x * x * x);
    case 5:
        return 1.0 / (x * x * x * x * x);
    case 6:
        return 1.0 / (x * x * x * x * x * x);
    case 7:
        return 1.0 / (x * x * x * x * x * x * x);
    case 8:
        return 1.0 / (x * x * x * x * x * x * x * x);
    default:
        break;
    }
    if (power_ > 0) {
        double dp = 1;
        for (int k = 0; k < power_; ++k)
            dp *= x;
        return 1.0 / dp;
    }
    return std::pow(x, static_cast<double>(pneg));
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

std::int32_t TShepardInterp::NearFirst(float xcoord, float ycoord) const {
    std::int64_t c0, c1, r0, r1;
    if (near_.Empty() || !near_.Range(xcoord, ycoord, minR * kRadiusMargin, c0, c1, r0, r1))
        return -1;
    // As in the sum: a sample beyond reach is surely not within minR, the others take the
    // distance worked out in doubles where it is certain.
    const double reach = static_cast<double>(minR) * kRadiusMargin, reach2 = reach * reach;
    const double x = xcoord, y = ycoord;
    std::int32_t first = std::numeric_limits<std::int32_t>::max();
    for (std::int64_t r = r0; r <= r1; ++r)
        for (std::int64_t c = c0; c <= c1; ++c) {
            const std::size_t b = static_cast<std::size_t>(r * near_.cols + c);
            for (std::int32_t k = near_.start[b]; k < near_.start[b + 1]; ++k) {
                const auto &item = near_.items[static_cast<std::size_t>(k)];
                const std::int32_t i = item.i;
                if (i >= first)
                    break; // the list is ascending: nothing earlier follows
                const double dx = x - item.p.x, dy = y - item.p.y, d2 = dx * dx + dy * dy;
                if (i < n && d2 <= reach2 && FastDistance(xcoord, ycoord, item.p, d2) < minR) {
                    first = i;
                    break;
                }
            }
        }
    return first == std::numeric_limits<std::int32_t>::max() ? -1 : first;
}

// The same answer as the linear scan: the first sample in array order inside minR wins;
// otherwise the samples within maxR are summed in ascending index order.
float TShepardInterp::interp(float xcoord, float ycoord) const {
    if (!indexed_)
        return interpLinear(xcoord, ycoord);
    const std::int32_t first = NearFirst(xcoord, ycoord);
    return first >= 0 ? vals[static_cast<std::size_t>(first)] : Sum(xcoord, ycoord);
}

float TShepardInterp::Sum(float xcoord, float ycoord) const {
    std::int64_t c0, c1, r0, r1;
    if (!far_.Range(xcoord, ycoord, maxR * kRadiusMargin, c0, c1, r0, r1))
        return 0.0f;
    // The window's samples in ascending index order, the order in which the linear scan
    // adds them up.
    const double reach = static_cast<double>(maxR) * kRadiusMargin, reach2 = reach * reach;
    const double x = xcoord, y = ycoord;
    const TPointF *p = pts.data();
    const float *v = vals.data();
    double W = 0, S = 0;
    for (const BucketGrid::Span &span : WindowSpans(c0, c1, r0, r1)) {
        const std::int32_t hi = std::min(span.hi, n);
        for (std::int32_t i = span.lo; i < hi; ++i) {
            const TPointF q = p[i];
            const double dx = x - q.x, dy = y - q.y, d2 = dx * dx + dy * dy;
            if (d2 > reach2)
                continue; // surely beyond maxR: no need for the exact distance
            const float d = FastDistance(xcoord, ycoord, q, d2);
            if (d > maxR)
                continue;
            if (d < minR) // only when the near grid is unusable (minR not positive and finite)
                return v[i];
            const double w = Weight(d);
            W += w;
            S += w * v[i];
        }
    }
    return W == 0 ? 0.0f : static_cast<float>(S / W);
}

void TShepardInterp::interpColumn(float xcoord, const float *ycoords, float *out,
                                  std::int32_t count) const {
#ifdef DEPTHWRIGHT_LANES
    if (lanes_) {
        // Cells that need the sum wait in groups of four, so that neighbours share a lane
        // group and with it nearly all of their window.
        std::int32_t waiting[4];
        int lanes = 0;
        std::int64_t c0, c1, r0, r1;
        for (std::int32_t k = 0; k < count; ++k) {
            const std::int32_t first = NearFirst(xcoord, ycoords[k]);
            if (first >= 0)
                out[k] = vals[static_cast<std::size_t>(first)];
            else if (!far_.Range(xcoord, ycoords[k], maxR * kRadiusMargin, c0, c1, r0, r1))
                out[k] = 0.0f;
            else {
                waiting[lanes++] = k;
                if (lanes == 4) {
                    SumLanes(xcoord, ycoords, waiting, lanes, out);
                    lanes = 0;
                }
            }
        }
        if (lanes > 0)
            SumLanes(xcoord, ycoords, waiting, lanes, out);
        return;
    }
#endif
    for (std::int32_t k = 0; k < count; ++k)
        out[k] = interp(xcoord, ycoords[k]);
}

#ifdef DEPTHWRIGHT_LANES
// Sum for four positions of one column at once, one per lane, each lane taking the steps of
// the scalar loop in the same order and so getting its bits: the samples of the union of
// the four windows in ascending index order, each one added to the sums of those lanes
// only that it lies within maxR of. No "fma" target: products and sums stay separate.
__attribute__((target("avx2"))) void TShepardInterp::SumLanes(float xcoord, const float *ycoords,
                                                              const std::int32_t *cells, int lanes,
                                                              float *out) const {
    alignas(16) float y[4];
    std::int64_t c0 = 0, c1 = 0, r0 = std::numeric_limits<std::int64_t>::max(), r1 = -1;
    for (int l = 0; l < 4; ++l) {
        y[l] = ycoords[cells[std::min(l, lanes - 1)]]; // a spare lane repeats the last cell
        std::int64_t a, b;
        far_.Range(xcoord, y[l], maxR * kRadiusMargin, c0, c1, a, b); // c0, c1 follow x alone
        r0 = std::min(r0, a), r1 = std::max(r1, b);
    }
    const double reach = static_cast<double>(maxR) * kRadiusMargin;
    const __m256d X = _mm256_set1_pd(xcoord), Y = _mm256_cvtps_pd(_mm_load_ps(y));
    const __m256d reach2 = _mm256_set1_pd(reach * reach), slack = _mm256_set1_pd(kDistanceSlack);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d maxRd = _mm256_set1_pd(maxR);
    const TPointF *p = pts.data();
    const float *v = vals.data();
    __m256d W = _mm256_setzero_pd(), S = _mm256_setzero_pd();
    for (const BucketGrid::Span &span : WindowSpans(c0, c1, r0, r1)) {
        const std::int32_t hi = std::min(span.hi, n);
        for (std::int32_t i = span.lo; i < hi; ++i) {
            const __m256d dx = _mm256_sub_pd(X, _mm256_set1_pd(p[i].x));
            const __m256d dy = _mm256_sub_pd(Y, _mm256_set1_pd(p[i].y));
            const __m256d d2 = _mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy));
            // The scalar tests negated, !(d2 > reach2) and below !(d > maxR), so that
            // NaN is treated alike.
            const __m256d inReach = _mm256_cmp_pd(d2, reach2, _CMP_NGT_UQ);
            const int reachMask = _mm256_movemask_pd(inReach);
            if (reachMask == 0)
                continue;
            // FastDistance in four lanes. Where d - e and d + e round to the same float, so
            // does d, which lies between them: the weight need not wait for them. A lane
            // too near a float boundary takes Distance.
            const __m256d d = _mm256_sqrt_pd(d2), e = _mm256_mul_pd(d, slack);
            __m128 df = _mm256_cvtpd_ps(d);
            const __m128 below = _mm256_cvtpd_ps(_mm256_sub_pd(d, e));
            const __m128 above = _mm256_cvtpd_ps(_mm256_add_pd(d, e));
            if (const int unsure =
                    _mm_movemask_ps(_mm_cmp_ps(below, above, _CMP_NEQ_UQ)) & reachMask) {
                alignas(16) float exact[4];
                _mm_store_ps(exact, df);
                for (int l = 0; l < 4; ++l)
                    if (unsure >> l & 1)
                        exact[l] = Distance(xcoord, y[l], p[i]);
                df = _mm_load_ps(exact);
            }
            const __m256d x = _mm256_cvtps_pd(df); // exact, and so is comparing it
            const __m256d take = _mm256_and_pd(inReach, _mm256_cmp_pd(x, maxRd, _CMP_NGT_UQ));
            // Weight: the same left-to-right product, then one division; entered at the
            // power, the cases below multiply as often as the loop would, without its counter.
            __m256d dp = x;
            switch (power_) {
            case 8:
                dp = _mm256_mul_pd(dp, x);
                [[fallthrough]];
            case 7:
                dp = _mm256_mul_pd(dp, x);
                [[fallthrough]];
            case 6:
                dp = _mm256_mul_pd(dp, x);
                [[fallthrough]];
            case 5:
                dp = _mm256_mul_pd(dp, x);
                [[fallthrough]];
            case 4:
                dp = _mm256_mul_pd(dp, x);
                [[fallthrough]];
            case 3:
                dp = _mm256_mul_pd(dp, x);
                [[fallthrough]];
            case 2:
                dp = _mm256_mul_pd(dp, x);
                [[fallthrough]];
            case 1:
                break;
            default:
                for (int k = 1; k < power_; ++k)
                    dp = _mm256_mul_pd(dp, x);
            }
            const __m256d w = _mm256_div_pd(one, dp);
            // A lane the sample is not for keeps its sums as they are (selected, not added
            // to: an added 0 could still change them, and 0 * an infinite value is NaN).
            W = _mm256_blendv_pd(W, _mm256_add_pd(W, w), take);
            S = _mm256_blendv_pd(S, _mm256_add_pd(S, _mm256_mul_pd(w, _mm256_set1_pd(v[i]))), take);
        }
    }
    alignas(32) double w4[4], s4[4];
    _mm256_store_pd(w4, W);
    _mm256_store_pd(s4, S);
    for (int l = 0; l < lanes; ++l)
        out[cells[l]] = w4[l] == 0 ? 0.0f : static_cast<float>(s4[l] / w4[l]);
}
#endif

} // namespace depth
