#include "depth/Surveys.h"

#include "support/NumText.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <thread>
#include <unordered_map>
#include <utility>

namespace depth {

namespace {

constexpr double kEarthRadius = 6378137.0; // metres, as WGS84Distance uses
constexpr double kRadian = M_PI / 180;
constexpr double kInf = std::numeric_limits<double>::infinity();
// Points each side of a slope fit at most, so a boat lying still cannot make it quadratic.
constexpr std::size_t kMaxWindowSide = 64;
// Depths are read to the centimetre: a spread below this says nothing more.
constexpr double kMinSpreadCm = 0.5;

// The survey's track indexes [first, last), cut to the project's tracks.
std::pair<int, int> TrackSpan(const model::TGPX &project, const TSurvey &survey) {
    const long long count = project.trk.Count();
    const long long first = std::clamp<long long>(survey.FirstTrack, 0, count);
    const long long last = std::clamp<long long>(
        static_cast<long long>(survey.FirstTrack) + std::max(survey.TrackCount, 0), first, count);
    return {static_cast<int>(first), static_cast<int>(last)};
}

bool IsSounding(const model::TPoint4D2 &p) {
    return p.HBdepth > 0 && p.HBdepth <= std::numeric_limits<float>::max() &&
           std::abs(p.Latitude) <= 90 && std::abs(p.Longitude) <= 180;
}

template <class Visit>
void ForEachSoundingSegment(const model::TGPX &project, const TSurvey &survey, Visit visit) {
    auto [first, last] = TrackSpan(project, survey);
    for (int t = first; t < last; ++t)
        for (const auto &s : project.trk[t]->Items())
            if (s->maxdepth != 0)
                visit(*s);
}

std::string SignedCm(double value) {
    std::string text = support::FloatToStrFixed(value, 1);
    return (text.front() == '-' ? "" : "+") + text;
}

// A local flat frame in metres around the soundings' centre; good to a few parts in a
// thousand over a lake.
struct TProjection {
    double Lat0 = 0, Lon0 = 0, Kx = 0, Ky = 0;
    TProjection(double lat0, double lon0)
        : Lat0(lat0), Lon0(lon0), Kx(kEarthRadius * kRadian * std::cos(lat0 * kRadian)),
          Ky(kEarthRadius * kRadian) {}
    double X(double lon) const { return (lon - Lon0) * Kx; }
    double Y(double lat) const { return (lat - Lat0) * Ky; }
};

struct TSounding {
    double X, Y;
    double Gradient; // cm/m along its track; infinite when it cannot be told
    float Depth;     // cm as recorded
    std::uint32_t Survey;
};

// The segment's soundings with the slope of a straight line fitted to depth over the
// distance along the track, within `window` metres each side (at least one neighbour each
// side where there is one).
void AddSegment(const model::TGPXtrkseg &segment, const TProjection &proj, std::uint32_t survey,
                double window, std::vector<TSounding> &out) {
    const std::size_t begin = out.size();
    std::vector<double> along;
    for (const auto &p : segment.Items()) {
        if (!IsSounding(*p))
            continue;
        TSounding s{proj.X(p->Longitude), proj.Y(p->Latitude), kInf, static_cast<float>(p->HBdepth),
                    survey};
        along.push_back(
            along.empty() ? 0 : along.back() + std::hypot(s.X - out.back().X, s.Y - out.back().Y));
        out.push_back(s);
    }
    const std::size_t n = along.size();
    std::size_t lo = 0, hi = 0;
    for (std::size_t i = 0; i < n; ++i) {
        while (lo < i && (along[i] - along[lo] > window || i - lo > kMaxWindowSide))
            ++lo;
        hi = std::max(hi, i);
        while (hi + 1 < n && along[hi + 1] - along[i] <= window && hi + 1 - i <= kMaxWindowSide)
            ++hi;
        const std::size_t a = i > 0 ? std::min(lo, i - 1) : 0;
        const std::size_t b = i + 1 < n ? std::max(hi, i + 1) : i;
        if (b == a)
            continue;
        double ms = 0, md = 0;
        for (std::size_t k = a; k <= b; ++k)
            ms += along[k] - along[i], md += out[begin + k].Depth;
        ms /= static_cast<double>(b - a + 1), md /= static_cast<double>(b - a + 1);
        double sxx = 0, sxy = 0;
        for (std::size_t k = a; k <= b; ++k) {
            const double ds = along[k] - along[i] - ms;
            sxx += ds * ds, sxy += ds * (out[begin + k].Depth - md);
        }
        if (sxx > 1e-4) // points closer than about a centimetre tell no slope
            out[begin + i].Gradient = std::abs(sxy / sxx);
    }
}

std::int64_t CellCoord(double v, double cell) {
    return static_cast<std::int64_t>(std::floor(v / cell));
}

std::uint64_t CellKey(std::int64_t ix, std::int64_t iy) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(ix)) << 32 |
           static_cast<std::uint32_t>(iy);
}

// Uniform grid over the soundings, cells found through an open hash table. A cell keeps at
// most kCellCap soundings of each survey as partners: enough for any survey line, and a boat
// lying still for hours cannot make the search quadratic.
constexpr std::size_t kCellCap = 64;

class TCellIndex {
  public:
    struct TCell {
        std::uint64_t Key = 0;
        std::uint32_t Begin = 0, End = 0; // into Points(); End 0: an empty slot
    };

    // Sorts `all` by cell and survey (the order along the tracks kept within them).
    TCellIndex(std::vector<TSounding> &all, double cell) : cell_(cell) {
        struct TKey {
            std::uint64_t Cell, Order; // Order: survey, then the sounding's index
            bool operator<(const TKey &o) const {
                return Cell != o.Cell ? Cell < o.Cell : Order < o.Order;
            }
        };
        std::vector<TKey> keys(all.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            keys[i] = {CellKey(CellCoord(all[i].X, cell), CellCoord(all[i].Y, cell)),
                       std::uint64_t{all[i].Survey} << 32 | i};
        std::sort(keys.begin(), keys.end());
        std::vector<TSounding> sorted(all.size());
        points_.reserve(all.size());
        std::size_t cells = 0;
        for (std::size_t i = 0, run = 0; i < keys.size(); ++i) {
            sorted[i] = all[keys[i].Order & 0xffffffffU];
            const bool newCell = i == 0 || keys[i].Cell != keys[i - 1].Cell;
            cells += newCell;
            run = newCell || sorted[i].Survey != sorted[i - 1].Survey ? 1 : run + 1;
            if (run <= kCellCap)
                points_.push_back(sorted[i]);
            keys[i].Order = points_.size(); // the kept soundings up to here
        }
        all.swap(sorted);
        std::size_t size = 16;
        while (size < 2 * cells)
            size *= 2;
        slots_.resize(size);
        mask_ = size - 1;
        for (std::size_t i = 0, j, begin = 0; i < keys.size(); i = j, begin = keys[j - 1].Order) {
            for (j = i + 1; j < keys.size() && keys[j].Cell == keys[i].Cell;)
                ++j;
            std::size_t h = Mix(keys[i].Cell) & mask_;
            while (slots_[h].End != 0)
                h = (h + 1) & mask_;
            slots_[h] = {keys[i].Cell, static_cast<std::uint32_t>(begin),
                         static_cast<std::uint32_t>(keys[j - 1].Order)};
        }
    }

    const std::vector<TSounding> &Points() const { return points_; }

    const TCell *Find(std::int64_t ix, std::int64_t iy) const {
        const std::uint64_t key = CellKey(ix, iy);
        for (std::size_t h = Mix(key) & mask_;; h = (h + 1) & mask_) {
            if (slots_[h].End == 0)
                return nullptr;
            if (slots_[h].Key == key)
                return &slots_[h];
        }
    }

    double Cell() const { return cell_; }

  private:
    static std::uint64_t Mix(std::uint64_t k) { // splitmix64's finaliser
        k = (k ^ (k >> 30)) * 0xbf58476d1ce4e5b9ULL;
        k = (k ^ (k >> 27)) * 0x94d049bb133111ebULL;
        return k ^ (k >> 31);
    }
    double cell_;
    std::vector<TSounding> points_;
    std::vector<TCell> slots_;
    std::size_t mask_ = 0;
};

// The crossings of surveys A < B: per sounding of A, its nearest sounding of B within reach.
struct TPairs {
    std::vector<float> Diff;             // depth of A - depth of B, both flat
    std::vector<std::uint32_t> PartnerB; // which sounding of B
    std::int64_t Steep = 0;              // pairs left out for the slope
};

using TLinks = std::unordered_map<std::uint64_t, TPairs>;

// The pairs found from soundings begin .. end - 1 (of survey A).
void FindPairs(const std::vector<TSounding> &pts, const TCellIndex &index, std::size_t surveys,
               const TLevelSettings &settings, std::size_t begin, std::size_t end, TLinks &links) {
    const double r2 = settings.MaxPairDistanceM * settings.MaxPairDistanceM;
    const double steep = settings.MaxGradientCmPerM;
    std::vector<double> bestD2(surveys, kInf);
    std::vector<std::uint32_t> bestQ(surveys);
    std::vector<std::uint32_t> touched;
    for (std::size_t i = begin; i < end; ++i) {
        const TSounding &p = pts[i];
        const std::int64_t cx = CellCoord(p.X, index.Cell()), cy = CellCoord(p.Y, index.Cell());
        for (std::int64_t dy = -1; dy <= 1; ++dy)
            for (std::int64_t dx = -1; dx <= 1; ++dx) {
                const TCellIndex::TCell *c = index.Find(cx + dx, cy + dy);
                if (!c)
                    continue;
                // A cell is sorted by survey: only its tail holds surveys after A's.
                for (std::uint32_t q = c->End; q-- > c->Begin;) {
                    const TSounding &o = index.Points()[q];
                    if (o.Survey <= p.Survey)
                        break;
                    const double d2 = (o.X - p.X) * (o.X - p.X) + (o.Y - p.Y) * (o.Y - p.Y);
                    if (d2 > r2 || d2 >= bestD2[o.Survey])
                        continue;
                    if (bestD2[o.Survey] == kInf)
                        touched.push_back(o.Survey);
                    bestD2[o.Survey] = d2, bestQ[o.Survey] = q;
                }
            }
        for (std::uint32_t b : touched) {
            const TSounding &o = index.Points()[bestQ[b]];
            TPairs &pairs = links[p.Survey * static_cast<std::uint64_t>(surveys) + b];
            if (p.Gradient <= steep && o.Gradient <= steep) {
                pairs.Diff.push_back(p.Depth - o.Depth);
                pairs.PartnerB.push_back(bestQ[b]);
            } else {
                ++pairs.Steep;
            }
            bestD2[b] = kInf;
        }
        touched.clear();
    }
}

// FindPairs over parts of the soundings on threads of their own, the parts' pairs joined
// in order: the same pairs in the same order as on one thread.
TLinks FindAllPairs(const std::vector<TSounding> &pts, const TCellIndex &index, std::size_t surveys,
                    const TLevelSettings &settings) {
    std::size_t threads = settings.Threads > 0 ? static_cast<std::size_t>(settings.Threads)
                                               : std::thread::hardware_concurrency();
    threads = std::clamp<std::size_t>(std::min(threads, pts.size() / 10000), 1, 64);
    std::vector<TLinks> parts(threads);
    std::vector<std::exception_ptr> errors(threads);
    std::vector<std::thread> workers;
    for (std::size_t t = 1; t < threads; ++t)
        workers.emplace_back([&, t] {
            try {
                FindPairs(pts, index, surveys, settings, pts.size() * t / threads,
                          pts.size() * (t + 1) / threads, parts[t]);
            } catch (...) {
                errors[t] = std::current_exception();
            }
        });
    try {
        FindPairs(pts, index, surveys, settings, 0, pts.size() / threads, parts[0]);
    } catch (...) {
        errors[0] = std::current_exception();
    }
    for (std::thread &w : workers)
        w.join();
    for (const std::exception_ptr &e : errors)
        if (e)
            std::rethrow_exception(e);
    TLinks links = std::move(parts[0]);
    for (std::size_t t = 1; t < threads; ++t)
        for (auto &[key, part] : parts[t]) {
            TPairs &all = links[key];
            all.Diff.insert(all.Diff.end(), part.Diff.begin(), part.Diff.end());
            all.PartnerB.insert(all.PartnerB.end(), part.PartnerB.begin(), part.PartnerB.end());
            all.Steep += part.Steep;
        }
    return links;
}

double Median(std::vector<double> &v) {
    const std::size_t h = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(h), v.end());
    const double upper = v[h];
    if (v.size() % 2 != 0)
        return upper;
    return (*std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(h)) + upper) / 2;
}

// One link between two surveys: o_B - o_A = MeanCm (the robust mean of depth A - depth B).
struct TLink {
    std::size_t A = 0, B = 0;
    double MeanCm = 0, SigmaCm = 0;
    std::int64_t Used = 0;
};

// The median, then the mean of the differences within MadFactor MADs of it; the standard
// error counts each sounding of either survey once.
TLink RobustMean(const TPairs &pairs, double madFactor) {
    std::vector<double> d(pairs.Diff.begin(), pairs.Diff.end());
    const double median = Median(d);
    for (double &v : d)
        v = std::abs(v - median);
    const double scale = std::max(1.4826 * Median(d), kMinSpreadCm);
    double sum = 0;
    std::vector<std::uint32_t> partners;
    for (std::size_t i = 0; i < pairs.Diff.size(); ++i)
        if (std::abs(pairs.Diff[i] - median) <= madFactor * scale) {
            sum += pairs.Diff[i];
            partners.push_back(pairs.PartnerB[i]);
        }
    TLink link;
    const std::size_t n = partners.size();
    link.Used = static_cast<std::int64_t>(n);
    link.MeanCm = sum / static_cast<double>(n);
    double ss = 0;
    for (float v : pairs.Diff)
        if (std::abs(v - median) <= madFactor * scale)
            ss += (v - link.MeanCm) * (v - link.MeanCm);
    const double sd =
        std::max(n > 1 ? std::sqrt(ss / static_cast<double>(n - 1)) : 0.0, kMinSpreadCm);
    std::sort(partners.begin(), partners.end());
    const std::size_t distinct =
        static_cast<std::size_t>(std::unique(partners.begin(), partners.end()) - partners.begin());
    link.SigmaCm = sd / std::sqrt(static_cast<double>(std::min(n, distinct)));
    return link;
}

// Cholesky factor of a symmetric positive definite n x n matrix, in place (lower triangle).
bool Cholesky(std::vector<double> &m, std::size_t n) {
    for (std::size_t j = 0; j < n; ++j) {
        double d = m[j * n + j];
        for (std::size_t k = 0; k < j; ++k)
            d -= m[j * n + k] * m[j * n + k];
        if (!(d > 0))
            return false;
        m[j * n + j] = std::sqrt(d);
        for (std::size_t i = j + 1; i < n; ++i) {
            double s = m[i * n + j];
            for (std::size_t k = 0; k < j; ++k)
                s -= m[i * n + k] * m[j * n + k];
            m[i * n + j] = s / m[j * n + j];
        }
    }
    return true;
}

std::vector<double> CholeskySolve(const std::vector<double> &l, std::size_t n,
                                  std::vector<double> x) {
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < i; ++k)
            x[i] -= l[i * n + k] * x[k];
        x[i] /= l[i * n + i];
    }
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t k = i + 1; k < n; ++k)
            x[i] -= l[k * n + i] * x[k];
        x[i] /= l[i * n + i];
    }
    return x;
}

bool SettingsUsable(const TLevelSettings &s) {
    return s.MaxPairDistanceM >= 0.1 && s.MaxPairDistanceM <= 1000 && s.GradientWindowM >= 0 &&
           std::isfinite(s.GradientWindowM) && s.MaxGradientCmPerM >= 0 && s.MadFactor > 0 &&
           s.MinCrossings >= 1;
}

} // namespace

TSurvey MakeSurvey(const model::TGPX &project, const std::string &name, int firstTrack,
                   int trackCount) {
    TSurvey survey;
    survey.Name = name;
    survey.FirstTrack = firstTrack;
    survey.TrackCount = trackCount;
    CountSurvey(project, survey);
    return survey;
}

void CountSurvey(const model::TGPX &project, TSurvey &survey) {
    survey.Soundings = 0;
    survey.FirstTime = survey.LastTime = 0;
    ForEachSoundingSegment(project, survey, [&](const model::TGPXtrkseg &s) {
        for (const auto &p : s.Items()) {
            if (!IsSounding(*p))
                continue;
            ++survey.Soundings;
            const double t = p->DateTime;
            if (t == 0 || !std::isfinite(t))
                continue;
            if (survey.FirstTime == 0 || t < survey.FirstTime)
                survey.FirstTime = t;
            if (survey.LastTime == 0 || t > survey.LastTime)
                survey.LastTime = t;
        }
    });
}

std::vector<double> TrackOffsetsCm(const std::vector<TSurvey> &surveys, int trackCount) {
    const long long count = std::max(trackCount, 0);
    std::vector<double> offsets(static_cast<std::size_t>(count), 0.0);
    for (const TSurvey &s : surveys) {
        const long long first = std::clamp<long long>(s.FirstTrack, 0, count);
        const long long last = std::clamp<long long>(
            static_cast<long long>(s.FirstTrack) + std::max(s.TrackCount, 0), first, count);
        std::fill(offsets.begin() + first, offsets.begin() + last, s.OffsetCm);
    }
    return offsets;
}

void ApplyLevelEstimates(std::vector<TSurvey> &surveys,
                         const std::vector<TLevelEstimate> &estimates) {
    for (std::size_t i = 0; i < surveys.size() && i < estimates.size(); ++i)
        if (estimates[i].Connected)
            surveys[i].OffsetCm = estimates[i].OffsetCm;
}

std::vector<TLevelEstimate>
EstimateLevelOffsets(const model::TGPX &project, const std::vector<TSurvey> &surveys,
                     std::size_t reference, const TLevelSettings &settings, support::LogLine log) {
    if (!log)
        log = [](const std::string &) {};
    const std::size_t n = surveys.size();
    std::vector<TLevelEstimate> result(n);
    if (n < 2) {
        log(n == 0 ? "Levels: there are no surveys; there is nothing to estimate"
                   : "Levels: " + surveys[0].Name +
                         " is the only survey; there is nothing to estimate");
        return result;
    }
    if (reference >= n) {
        log("Levels: there is no survey " + std::to_string(reference + 1) +
            " to hold at 0; nothing is estimated");
        return result;
    }
    if (!SettingsUsable(settings)) {
        log("Levels: the settings are out of range; nothing is estimated");
        return result;
    }

    // The soundings of all surveys in one metric frame around their centre.
    double latMin = kInf, latMax = -kInf, lonMin = kInf, lonMax = -kInf;
    std::size_t total = 0;
    for (const TSurvey &s : surveys)
        ForEachSoundingSegment(project, s, [&](const model::TGPXtrkseg &seg) {
            for (const auto &p : seg.Items())
                if (IsSounding(*p)) {
                    latMin = std::min(latMin, p->Latitude), latMax = std::max(latMax, p->Latitude);
                    lonMin = std::min(lonMin, p->Longitude),
                    lonMax = std::max(lonMax, p->Longitude);
                    ++total;
                }
        });
    if (total >= std::numeric_limits<std::uint32_t>::max()) {
        log("Levels: too many soundings to compare; nothing is estimated");
        return result;
    }
    std::vector<std::int64_t> counts(n, 0);
    std::vector<TSounding> pts;
    pts.reserve(total);
    if (total > 0) {
        const TProjection proj((latMin + latMax) / 2, (lonMin + lonMax) / 2);
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t before = pts.size();
            ForEachSoundingSegment(project, surveys[i], [&](const model::TGPXtrkseg &seg) {
                AddSegment(seg, proj, static_cast<std::uint32_t>(i), settings.GradientWindowM, pts);
            });
            counts[i] = static_cast<std::int64_t>(pts.size() - before);
        }
    }

    TLinks pairs;
    {
        const TCellIndex index(pts, settings.MaxPairDistanceM);
        pairs = FindAllPairs(pts, index, n, settings);
    }

    // Robust mean per pair of surveys; what each survey met, for the messages.
    std::vector<TLink> links;
    std::vector<std::int64_t> flat(n, 0), steep(n, 0), crossings(n, 0);
    std::vector<std::vector<std::size_t>> neighbours(n);
    std::vector<std::uint64_t> keys;
    for (const auto &kv : pairs)
        keys.push_back(kv.first);
    std::sort(keys.begin(), keys.end()); // the same order whatever the hash table's
    for (std::uint64_t key : keys) {
        const TPairs &p = pairs.at(key);
        const std::size_t a = key / n, b = key % n;
        const auto nFlat = static_cast<std::int64_t>(p.Diff.size());
        flat[a] += nFlat, flat[b] += nFlat;
        steep[a] += p.Steep, steep[b] += p.Steep;
        if (nFlat < settings.MinCrossings)
            continue;
        TLink link = RobustMean(p, settings.MadFactor);
        if (link.Used < settings.MinCrossings)
            continue;
        link.A = a, link.B = b;
        crossings[a] += link.Used, crossings[b] += link.Used;
        neighbours[a].push_back(links.size());
        neighbours[b].push_back(links.size());
        links.push_back(link);
    }

    // The surveys reached from the reference through links.
    std::vector<bool> reached(n, false);
    std::vector<std::size_t> queue{reference};
    reached[reference] = true;
    for (std::size_t q = 0; q < queue.size(); ++q)
        for (std::size_t l : neighbours[queue[q]]) {
            const std::size_t other = links[l].A == queue[q] ? links[l].B : links[l].A;
            if (!reached[other])
                reached[other] = true, queue.push_back(other);
        }

    // Weighted least squares: o_B - o_A = mean per link, weight 1 / sigma^2, o_ref = 0.
    std::vector<std::size_t> unknown(n, n);
    std::size_t m = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (reached[i] && i != reference)
            unknown[i] = m++;
    std::vector<double> offset(n, 0.0), sigma(n, 0.0);
    if (m > 0) {
        std::vector<double> normal(m * m, 0.0), rhs(m, 0.0);
        std::size_t used = 0;
        for (const TLink &l : links) {
            if (!reached[l.A])
                continue;
            ++used;
            const double w = 1 / (l.SigmaCm * l.SigmaCm);
            const std::size_t ia = unknown[l.A], ib = unknown[l.B];
            if (ia < m)
                normal[ia * m + ia] += w, rhs[ia] -= w * l.MeanCm;
            if (ib < m)
                normal[ib * m + ib] += w, rhs[ib] += w * l.MeanCm;
            if (ia < m && ib < m)
                normal[ia * m + ib] -= w, normal[ib * m + ia] -= w;
        }
        if (!Cholesky(normal, m)) { // cannot happen for a connected graph; be safe
            log("Levels: the crossings do not fix the offsets; nothing is estimated");
            return std::vector<TLevelEstimate>(n);
        }
        const std::vector<double> x = CholeskySolve(normal, m, rhs);
        for (std::size_t i = 0; i < n; ++i)
            if (unknown[i] < m)
                offset[i] = x[unknown[i]];
        // Where loops disagree more than their errors allow, widen the errors to match.
        double chi2 = 0;
        for (const TLink &l : links)
            if (reached[l.A]) {
                const double r = (offset[l.B] - offset[l.A] - l.MeanCm) / l.SigmaCm;
                chi2 += r * r;
            }
        const double factor = used > m ? std::max(1.0, chi2 / static_cast<double>(used - m)) : 1.0;
        for (std::size_t i = 0; i < n; ++i)
            if (unknown[i] < m) {
                std::vector<double> e(m, 0.0);
                e[unknown[i]] = 1;
                sigma[i] = std::sqrt(CholeskySolve(normal, m, e)[unknown[i]] * factor);
            }
    }

    for (std::size_t i = 0; i < n; ++i) {
        const TSurvey &s = surveys[i];
        if (counts[i] > 0 && s.FirstTime == 0)
            log("Levels: " + s.Name + " has no times; its date range stays empty");
    }
    for (std::size_t i = 0; i < n; ++i) {
        const TSurvey &s = surveys[i];
        TLevelEstimate &e = result[i];
        e.Crossings = crossings[i];
        e.Connected = reached[i] && crossings[i] > 0; // the reference too needs a link
        e.OffsetCm = offset[i], e.SigmaCm = sigma[i];
        const std::string stays = "; its offset stays 0";
        if (e.Connected)
            log("Levels: " + s.Name + ": " + SignedCm(e.OffsetCm) + " cm" +
                (i == reference ? " (reference)"
                                : " ± " + support::FloatToStrFixed(e.SigmaCm, 1) + " cm") +
                " from " + std::to_string(e.Crossings) + " crossings");
        else if (counts[i] == 0)
            log("Levels: " + s.Name + " has no soundings" + stays);
        else if (crossings[i] > 0)
            log("Levels: " + s.Name + " has no chain of crossings to the reference survey " +
                surveys[reference].Name + stays);
        else if (flat[i] > 0)
            log("Levels: " + s.Name + " has too few crossings with the other surveys (" +
                std::to_string(flat[i]) + "; " + std::to_string(settings.MinCrossings) +
                " with one survey are needed)" + stays);
        else if (steep[i] > 0)
            log("Levels: " + s.Name + " meets the other surveys only on steep bottom (" +
                std::to_string(steep[i]) + " crossings steeper than " +
                support::FloatToStrG15(settings.MaxGradientCmPerM) + " cm/m)" + stays);
        else
            log("Levels: " + s.Name + " has no crossing with the other surveys" + stays);
    }
    return result;
}

} // namespace depth
