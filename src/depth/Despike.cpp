#include "depth/Despike.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

namespace depth {

// How a reading is judged, segment by segment in recording order:
// - its window: neighbours along the track (below), brought level with it along a robust
//   slope; their median is the depth expected, their median deviation the spread;
// - it is a spike when it leaves that depth by more than a limit growing with the spread,
//   the noise of the readings around and the depth itself, or when a wall splits the
//   window and the reading leaves the bottom on both sides of it;
// - never when it lies in a run of more than kMaxBurst readings that agree with it.
// Readings that agree with their neighbours even at the smallest possible limit are
// passed over first, so the medians are taken for a few readings in a hundred.

namespace {

// A reading is judged against up to 7 neighbours each side (a window of 15 pings), cut
// to those within 20 m of it. Near a segment's ends the window shifts inward, so the
// first and last pings are judged on one side only.
constexpr int kHalfWindow = 7;
constexpr int kWindow = 2 * kHalfWindow;
constexpr double kWindowMetres = 20;
// A side of the window judged on its own needs this many neighbours: a burst fills at
// most half of them.
constexpr int kFullSide = 6;
// Fewer neighbours than this say too little about the bottom to judge by (each half of
// the window needs three for a median that one odd reading cannot move).
constexpr int kMinNeighbours = 6;
constexpr double kEarthRadius = 6378137.0; // the sphere of WGS84Distance
constexpr double kDegToRad = std::numbers::pi / 180;
// The median absolute deviation of normal noise times this is its standard deviation.
constexpr double kMadToSigma = 1.4826;
// The lower quartile of |d[j-1] - 2 d[j] + d[j+1]| over normal noise times this is the
// noise's standard deviation (the bend has sqrt(6) times it; |z| has 0.3186 as quartile).
constexpr double kQuartileToSigma = 1 / (0.31864 * 2.449490);

// Spikes come in bursts of at most this many pings; a longer run of readings that agree
// is the bottom, however far it stands from its surroundings (a ledge, a wreck).
constexpr int kMaxBurst = 4;
// The spread of a reading's neighbours is steadied by the noise of the readings up to
// this many places either side.
constexpr int kRegion = 25;
// The part of a slope carried across a lopsided window that may be wrong.
constexpr double kExtrapolationError = 0.2;

// A reading is a spike when it leaves its reference depth by more than
// max(Spread * the spread (its neighbours', at least the noise around), Fraction * the
// reference depth, Floor cm).
struct Threshold {
    double Spread, Fraction, Floor;
};

Threshold ThresholdOf(TSpikeSensitivity s) {
    switch (s) {
    case TSpikeSensitivity::Low:
        return {6.0, 0.08, 15};
    case TSpikeSensitivity::High:
        return {3.5, 0.03, 5};
    case TSpikeSensitivity::Normal:
        break;
    }
    return {4.5, 0.05, 8};
}

// Batcher's odd-even merge sort as a fixed list of compare-exchanges: no branch depends on
// the data, which makes it several times faster than a sort that compares and jumps on
// arrays this small (the flagging's hot spot).
template <int N> struct Network {
    std::array<std::pair<std::uint8_t, std::uint8_t>, 63> pairs{};
    int count = 0;
    constexpr Network() {
        for (int p = 1; p < N; p <<= 1)
            for (int k = p; k >= 1; k >>= 1)
                for (int j = k % p; j + k < N; j += 2 * k)
                    for (int i = 0; i < std::min(k, N - j - k); ++i)
                        if ((i + j) / (2 * p) == (i + j + k) / (2 * p))
                            pairs[static_cast<std::size_t>(count++)] = {
                                static_cast<std::uint8_t>(i + j),
                                static_cast<std::uint8_t>(i + j + k)};
    }
};
constexpr Network<8> kSort8;
constexpr Network<16> kSort16;
static_assert(kSort8.count == 19 && kSort16.count == 63);

constexpr int kMedianCapacity = 16;

template <int N> void SortNetwork(double *v, const Network<N> &net) {
    for (int c = 0; c < net.count; ++c) {
        const auto [i, j] = net.pairs[static_cast<std::size_t>(c)];
        const double a = v[i], b = v[j];
        v[i] = std::min(a, b);
        v[j] = std::max(a, b);
    }
}

// Median of n values (1 <= n <= kMedianCapacity) in v, which has room for
// kMedianCapacity; v comes back sorted, padded with infinities.
double Median(double *v, int n) {
    const int size = n <= 8 ? 8 : kMedianCapacity;
    for (int i = n; i < size; ++i)
        v[i] = std::numeric_limits<double>::infinity();
    if (size == 8)
        SortNetwork(v, kSort8);
    else
        SortNetwork(v, kSort16);
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// out[i]: the lower quartile of the values at most `reach` places from i, in a window
// that keeps its full length near the ends (kept sorted as it slides).
void SlidingQuartile(const std::vector<double> &x, int reach, std::vector<double> &out,
                     std::vector<double> &window) {
    const int n = static_cast<int>(x.size());
    const int length = std::min(2 * reach + 1, n);
    out.resize(x.size());
    if (n == 0)
        return;
    window.assign(x.begin(), x.begin() + length);
    std::sort(window.begin(), window.end());
    int start = 0;
    for (int i = 0; i < n; ++i) {
        const int s = std::clamp(i - reach, 0, n - length);
        for (; start < s; ++start) { // out goes x[start], in comes x[start + length]
            window.erase(
                std::lower_bound(window.begin(), window.end(), x[static_cast<std::size_t>(start)]));
            const double in = x[static_cast<std::size_t>(start + length)];
            window.insert(std::upper_bound(window.begin(), window.end(), in), in);
        }
        out[static_cast<std::size_t>(i)] = window[static_cast<std::size_t>(length / 4)];
    }
}

// The readings of one segment that take part: valid, not flagged before, with a position.
class Run {
  public:
    std::vector<double> Depth, Lat, Lon, CosLat; // centimetres; radians
    std::vector<std::int64_t> Index;             // of the reading in its segment

    void Clear() { Depth.clear(), Lat.clear(), Lon.clear(), CosLat.clear(), Index.clear(); }
    void Add(std::int64_t index, double depth, double lon, double lat) {
        Index.push_back(index);
        Depth.push_back(depth);
        Lat.push_back(lat * kDegToRad);
        Lon.push_back(lon * kDegToRad);
        CosLat.push_back(std::cos(lat * kDegToRad));
    }
    int Count() const { return static_cast<int>(Depth.size()); }

    // Within the window's reach of reading k (equirectangular at k: exact enough at 20 m).
    bool Near(int k, int j) const {
        constexpr double reach = kWindowMetres / kEarthRadius;
        double dLon = std::fabs(Lon[j] - Lon[k]);
        if (dLon > std::numbers::pi) // across the antimeridian
            dLon = 2 * std::numbers::pi - dLon;
        const double x = dLon * CosLat[k], y = Lat[j] - Lat[k];
        return x * x + y * y <= reach * reach;
    }

    // The middle index of the `count` indices from `end` inward (upward when `fromLeft`),
    // k skipped.
    static double MedianIndex(int end, int k, int count, bool fromLeft) {
        int idx[kWindow];
        for (int j = end, n = 0; n < count; j += fromLeft ? 1 : -1)
            if (j != k)
                idx[n++] = j;
        return count % 2 ? idx[count / 2] : 0.5 * (idx[count / 2 - 1] + idx[count / 2]);
    }

    // The neighbours of reading k: first..last, k left out.
    struct Window {
        int First = 0, Last = 0;
        double Step = 0; // the median step between consecutive neighbours
    };

    // False when k has too few neighbours to be judged.
    bool WindowAt(int k, Window &w) const {
        const int n = Count();
        int left = std::min(kHalfWindow, k), right = std::min(kHalfWindow, n - 1 - k);
        left = std::min(kWindow - right, k);
        right = std::min(kWindow - left, n - 1 - k);
        int a = k, b = k;
        while (a > k - left && Near(k, a - 1))
            --a;
        while (b < k + right && Near(k, b + 1))
            ++b;
        if (b - a < kMinNeighbours)
            return false;
        double v[kMedianCapacity];
        int m = 0;
        for (int j = a; j < b; ++j)
            if (j != k - 1 && j != k)
                v[m++] =
                    Depth[static_cast<std::size_t>(j + 1)] - Depth[static_cast<std::size_t>(j)];
        w = {a, b, Median(v, m)};
        return true;
    }

    // What some neighbours of reading k say about the bottom under it.
    struct Estimate {
        double Reference = 0;    // the depth they expect
        double Spread = 0;       // of their depths about it, as a standard deviation
        double Extrapolated = 0; // how far the slope carries the reference
    };

    Estimate EstimateAt(int k, const Window &w) const {
        // The bottom may slope: the neighbours are brought level with k along a slope.
        // Two robust guesses: the line through the medians of the two halves (steady
        // enough to carry to the ends of a segment), and the median step between
        // consecutive pings (not misled by a burst filling much of one half). The fit
        // leaving the smaller spread wins.
        const int a = w.First, b = w.Last, neighbours = b - a;
        const double centre = (0.5 * (a + b) * (neighbours + 1) - k) / neighbours;
        const int half = neighbours / 2;
        double v[kMedianCapacity];
        int m = 0;
        for (int j = a, taken = 0; taken < half; ++j)
            if (j != k)
                v[m++] = Depth[static_cast<std::size_t>(j)], ++taken;
        const double leftDepth = Median(v, m);
        const double leftIndex = MedianIndex(a, k, half, true);
        m = 0;
        for (int j = b, taken = 0; taken < half; --j)
            if (j != k)
                v[m++] = Depth[static_cast<std::size_t>(j)], ++taken;
        const double rightDepth = Median(v, m);
        const double rightIndex = MedianIndex(b, k, half, false);
        const double halves = (rightDepth - leftDepth) / (rightIndex - leftIndex);

        // Where the bottom curves, the steps nearest k tell its slope at k best (this
        // matters most at the ends of a segment, where the slope carries the reference).
        m = 0;
        for (int reach = 1; m < 4 && (k - 1 - reach >= a || k + reach < b); ++reach) {
            if (k - 1 - reach >= a)
                v[m++] = Depth[static_cast<std::size_t>(k - reach)] -
                         Depth[static_cast<std::size_t>(k - 1 - reach)];
            if (k + reach < b)
                v[m++] = Depth[static_cast<std::size_t>(k + reach + 1)] -
                         Depth[static_cast<std::size_t>(k + reach)];
        }
        const double near = Median(v, m);

        Estimate e = Levelled(a, b, k, halves, centre);
        for (double slope : {w.Step, near}) {
            const Estimate other = Levelled(a, b, k, slope, centre);
            if (other.Spread < e.Spread)
                e = other;
        }
        return e;
    }

    // The neighbours first..last, all on one side of k, brought level with k along their
    // own median step.
    Estimate SideAt(int k, int first, int last) const {
        double v[kMedianCapacity];
        int m = 0;
        for (int j = first; j < last; ++j)
            v[m++] = Depth[static_cast<std::size_t>(j + 1)] - Depth[static_cast<std::size_t>(j)];
        return Levelled(first, last, k, Median(v, m), 0.5 * (first + last));
    }

    // The neighbours a..b of k (k left out) brought level with k along `slope`.
    Estimate Levelled(int a, int b, int k, double slope, double centre) const {
        double v[kMedianCapacity];
        int m = 0;
        for (int j = a; j <= b; ++j)
            if (j != k)
                v[m++] = Depth[static_cast<std::size_t>(j)] + slope * (k - j);
        Estimate e;
        e.Reference = Median(v, m);
        for (int i = 0; i < m; ++i)
            v[i] = std::fabs(v[i] - e.Reference);
        e.Spread = kMadToSigma * Median(v, m);
        e.Extrapolated = std::fabs(slope * (k - centre));
        return e;
    }

    // Judges every reading against the same neighbours, so the result does not depend on
    // the order; `spikes` gets the run indices of the spikes.
    void Judge(const Threshold &t, std::vector<int> &spikes) {
        spikes.clear();
        const int n = Count();
        if (n <= kMinNeighbours)
            return; // nobody has enough neighbours
        RegionalNoise();
        for (int k = 0; k < n; ++k) {
            const double noise = noise_[static_cast<std::size_t>(std::clamp(k - 1, 0, n - 3))];
            // Most readings lie in a run with their neighbours even at the smallest limit
            // they could get: no spike, and no need for the costlier estimates.
            const double least = std::max(t.Floor, t.Spread * noise);
            if (RunLength(k, 0, least) > kMaxBurst)
                continue;
            Window w;
            if (!WindowAt(k, w) || RunLength(k, w.Step, least) > kMaxBurst)
                continue;

            const double d = Depth[static_cast<std::size_t>(k)];
            auto beyond = [&](const Estimate &e, double &limit) {
                // Fourteen neighbours give a wavering spread; the readings around steady it.
                const double spread = std::max(e.Spread, noise);
                // A reference carried far along the slope may be off where the slope bends.
                const double uncertainty = std::max(spread, kExtrapolationError * e.Extrapolated);
                limit = std::max({t.Spread * uncertainty, t.Fraction * e.Reference, t.Floor});
                return std::fabs(d - e.Reference) > limit;
            };
            double limit = 0;
            bool spike = beyond(EstimateAt(k, w), limit) && !InRun(k, w, limit);
            // Beside a wall the window holds two bottoms and a wide spread; a reading
            // beyond both sides of it, on the same side of both, is a spike all the same.
            // (One between them may be the wall itself.)
            if (!spike && k - w.First >= kFullSide && w.Last - k >= kFullSide) {
                const Estimate before = SideAt(k, w.First, k - 1), after = SideAt(k, k + 1, w.Last);
                double left = 0, right = 0;
                spike = beyond(before, left) && beyond(after, right) &&
                        (d > before.Reference) == (d > after.Reference) &&
                        !InRun(k, w, std::max(left, right));
            }
            if (spike)
                spikes.push_back(k);
        }
    }

    // The noise of the readings around each one, as a standard deviation: from the lower
    // quartile of the bends |d[j-1] - 2 d[j] + d[j+1]| up to kRegion places either side,
    // which a slope does not raise and spikes or walls hardly move (even in a short
    // segment, where a spike bends three of a handful). noise_[j - 1] is at j.
    void RegionalNoise() {
        const int n = Count();
        bends_.clear();
        for (int j = 1; j + 1 < n; ++j)
            bends_.push_back(std::fabs(Depth[static_cast<std::size_t>(j - 1)] -
                                       2 * Depth[static_cast<std::size_t>(j)] +
                                       Depth[static_cast<std::size_t>(j + 1)]));
        SlidingQuartile(bends_, kRegion, noise_, sorted_);
        for (double &v : noise_)
            v *= kQuartileToSigma;
    }

    // Whether k belongs to a run of more than kMaxBurst readings within `limit` of it, level
    // or along the window's median step: then it is the bottom.
    bool InRun(int k, const Window &w, double limit) const {
        return RunLength(k, 0, limit) > kMaxBurst || RunLength(k, w.Step, limit) > kMaxBurst;
    }

    // The readings in a row around k, k included, that lie within `limit` of it along
    // `slope`; counted up to kMaxBurst + 1.
    int RunLength(int k, double slope, double limit) const {
        const int n = Count();
        auto near = [&](int j) {
            return std::fabs(Depth[static_cast<std::size_t>(j)] + slope * (k - j) -
                             Depth[static_cast<std::size_t>(k)]) <= limit;
        };
        int length = 1;
        for (int j = k - 1; j >= 0 && length <= kMaxBurst && near(j); --j)
            ++length;
        for (int j = k + 1; j < n && length <= kMaxBurst && near(j); ++j)
            ++length;
        return length;
    }

  private:
    std::vector<double> bends_, noise_, sorted_;
};

// Not positive (0 is no reading), not finite, or deeper than the lake can be (a maximum
// that is not a number sets no bound).
bool Invalid(double depth, double maxDepth) {
    return !(depth > 0) || !std::isfinite(depth) || depth > maxDepth;
}

bool HasPosition(double lon, double lat) {
    return std::fabs(lat) <= 90 && std::fabs(lon) <= 360; // false for NaN too
}

// Reads a segment's points (or spans) into the run, flagging invalid readings at once.
// Scratch buffers are kept between segments.
class Despiker {
  public:
    explicit Despiker(const TDespikeOptions &o) : options_(o), t_(ThresholdOf(o.Sensitivity)) {}

    template <class Get, class SetFlag>
    std::int64_t Process(std::int64_t count, Get get, SetFlag setFlag) {
        run_.Clear();
        std::int64_t added = 0;
        for (std::int64_t i = 0; i < count; ++i) {
            const auto [depth, lon, lat, flagged] = get(i);
            if (flagged)
                continue;
            if (Invalid(depth, options_.MaxDepth)) {
                setFlag(i);
                ++added;
            } else if (HasPosition(lon, lat)) {
                run_.Add(i, depth, lon, lat);
            }
        }
        run_.Judge(t_, spikes_);
        for (int k : spikes_)
            setFlag(run_.Index[static_cast<std::size_t>(k)]);
        return added + static_cast<std::int64_t>(spikes_.size());
    }

  private:
    TDespikeOptions options_;
    Threshold t_;
    Run run_;
    std::vector<int> spikes_;
};

struct Reading {
    double depth, lon, lat;
    bool flagged;
};

std::int64_t FlagSegment(Despiker &despiker, model::TGPXtrkseg &segment) {
    const auto &points = segment.Items();
    return despiker.Process(
        static_cast<std::int64_t>(points.size()),
        [&](std::int64_t i) {
            const model::TGPXwpt &p = *points[static_cast<std::size_t>(i)];
            return Reading{p.HBdepth, p.Longitude, p.Latitude, p.Flagged};
        },
        [&](std::int64_t i) { points[static_cast<std::size_t>(i)]->Flagged = true; });
}

} // namespace

std::int64_t FindSpikes(std::span<const double> depth, std::span<const double> lon,
                        std::span<const double> lat, std::span<std::uint8_t> flagged,
                        const TDespikeOptions &options) {
    const std::size_t n = std::min({depth.size(), lon.size(), lat.size(), flagged.size()});
    Despiker despiker(options);
    return despiker.Process(
        static_cast<std::int64_t>(n),
        [&](std::int64_t i) {
            const auto u = static_cast<std::size_t>(i);
            return Reading{depth[u], lon[u], lat[u], flagged[u] != 0};
        },
        [&](std::int64_t i) { flagged[static_cast<std::size_t>(i)] = 1; });
}

bool HoldsSoundings(const model::TGPXtrkseg &segment) {
    if (segment.maxdepth != 0)
        return true;
    for (const auto &p : segment.Items())
        if (p->HBdepth > 0)
            return true;
    return false;
}

std::int64_t FlagSpikes(model::TGPXtrkseg &segment, const TDespikeOptions &options) {
    if (!HoldsSoundings(segment))
        return 0;
    Despiker despiker(options);
    return FlagSegment(despiker, segment);
}

std::int64_t FlagSpikes(model::TGPX &doc, const TDespikeOptions &options) {
    Despiker despiker(options);
    std::int64_t added = 0;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            if (HoldsSoundings(*s))
                added += FlagSegment(despiker, *s);
    return added;
}

std::vector<TFlaggedSounding> FlaggedSoundings(const model::TGPX &doc) {
    std::vector<TFlaggedSounding> out;
    std::int32_t segment = 0;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items()) {
            for (std::int32_t i = 0; i < s->Count(); ++i) {
                const model::TGPXwpt &p = *s->Get(i);
                if (p.Flagged)
                    out.push_back({segment, i, p.Longitude, p.Latitude, p.HBdepth});
            }
            ++segment;
        }
    return out;
}

std::int64_t CountFlagged(const model::TGPX &doc) {
    std::int64_t n = 0;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            for (const auto &p : s->Items())
                n += p->Flagged;
    return n;
}

std::int64_t ClearFlags(model::TGPX &doc) {
    std::int64_t n = 0;
    auto clear = [&](const auto &list) {
        for (const auto &p : list.Items())
            if (p->Flagged) {
                p->Flagged = false;
                ++n;
            }
    };
    clear(doc.wpt);
    for (const auto &r : doc.rte.Items())
        clear(*r);
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            clear(*s);
    return n;
}

} // namespace depth
