#include "depth/Despike.h"
#include "depth/ProjectLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

using depth::TDespikeOptions;
using depth::TSpikeSensitivity;

namespace {

constexpr double kLat0 = 46.9, kLon0 = 7.4;
constexpr double kMetresPerDegree = 6378137.0 * std::numbers::pi / 180;

// splitmix64 and Box-Muller: the same survey on every standard library.
class Random {
  public:
    explicit Random(std::uint64_t seed) : s_(seed) {}
    double Uniform(double lo = 0, double hi = 1) {
        s_ += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = s_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return lo + (hi - lo) * static_cast<double>(z >> 11) * 0x1.0p-53;
    }
    double Normal(double sigma) {
        const double u = Uniform(1e-12, 1), v = Uniform();
        return sigma * std::sqrt(-2 * std::log(u)) * std::cos(2 * std::numbers::pi * v);
    }
    int Int(int lo, int hi) {
        return std::min(hi, lo + static_cast<int>(Uniform() * (hi - lo + 1)));
    }

  private:
    std::uint64_t s_;
};

// A ping at local metres (x east, y north) with its true depth and what was recorded.
struct Ping {
    double x, y, truth, depth;
    bool spike = false;
};

using Bottom = std::function<double(double x, double y)>; // centimetres

// Transects across a square of `size` metres, 10 m apart, one segment each, pings 1 to
// 3 m apart (the boat's speed varies), a little GPS jitter and sonar noise of a few cm
// growing with depth.
std::vector<std::vector<Ping>> Survey(const Bottom &bottom, double size, Random &rng) {
    std::vector<std::vector<Ping>> tracks;
    for (double y = 5; y < size; y += 10) {
        std::vector<Ping> track;
        const bool east = tracks.size() % 2 == 0;
        double speed = rng.Uniform(1, 3);
        for (double s = 0; s < size; s += speed * rng.Uniform(0.85, 1.15)) {
            const double x = east ? s : size - s;
            const double px = x + rng.Normal(0.3), py = y + rng.Normal(0.3);
            const double truth = bottom(x, y);
            track.push_back({px, py, truth, truth + rng.Normal(3 + 0.002 * truth)});
            if (rng.Uniform() < 0.01) // a new speed now and then
                speed = rng.Uniform(1, 3);
        }
        tracks.push_back(std::move(track));
    }
    return tracks;
}

// About 1 % of the pings become spikes, in bursts of 1 to 4 (each burst one kind): above
// the bottom (fish, weed, a thermocline) or below it (a double echo at about twice the
// depth, or a lost bottom).
int AddSpikes(std::vector<std::vector<Ping>> &tracks, Random &rng) {
    int spikes = 0;
    for (auto &track : tracks)
        for (std::size_t i = 0; i < track.size(); ++i) {
            if (rng.Uniform() >= 0.01 / 2.5) // bursts average 2.5 pings
                continue;
            const int kind = rng.Int(0, 2);
            const int burst = rng.Int(1, 4);
            for (std::size_t j = i; j < std::min(track.size(), i + burst); ++j) {
                Ping &p = track[j];
                if (kind == 0)
                    p.depth = p.truth * rng.Uniform(0.2, 0.8);
                else if (kind == 1)
                    p.depth = 2 * p.truth + rng.Normal(5);
                else
                    p.depth = p.truth * rng.Uniform(1.5, 4);
                spikes += !p.spike;
                p.spike = true;
            }
            i += static_cast<std::size_t>(burst);
        }
    return spikes;
}

std::unique_ptr<model::TGPXtrkseg> Segment(const std::vector<Ping> &pings) {
    auto seg = std::make_unique<model::TGPXtrkseg>();
    for (const Ping &p : pings) {
        auto w = std::make_unique<model::TGPXwpt>();
        w->Latitude = kLat0 + p.y / kMetresPerDegree;
        w->Longitude = kLon0 + p.x / (kMetresPerDegree * std::cos(kLat0 * std::numbers::pi / 180));
        w->HBdepth = p.depth;
        seg->Add(std::move(w));
    }
    seg->maxdepth = depth::GetMaxDepth(*seg);
    return seg;
}

void AddTrack(model::TGPX &doc, const std::vector<std::vector<Ping>> &tracks) {
    auto trk = std::make_unique<model::TGPXtrk>();
    for (const auto &t : tracks)
        trk->Add(Segment(t));
    doc.trk.Add(std::move(trk));
}

// Pings 2 m apart along a line with the given depths.
std::vector<Ping> Line(const std::vector<double> &depths) {
    std::vector<Ping> pings;
    for (std::size_t i = 0; i < depths.size(); ++i)
        pings.push_back({2.0 * static_cast<double>(i), 0, depths[i], depths[i]});
    return pings;
}

std::vector<bool> Flags(const model::TGPXtrkseg &seg) {
    std::vector<bool> out;
    for (const auto &p : seg.Items())
        out.push_back(p->Flagged);
    return out;
}

std::vector<bool> FlagLine(const std::vector<double> &depths,
                           TSpikeSensitivity s = TSpikeSensitivity::Normal) {
    auto seg = Segment(Line(depths));
    depth::FlagSpikes(*seg, {s});
    return Flags(*seg);
}

struct Rates {
    int spikes = 0, found = 0, clean = 0, falseAlarms = 0;
    double Found() const { return spikes ? static_cast<double>(found) / spikes : 1; }
    double FalseAlarms() const { return clean ? static_cast<double>(falseAlarms) / clean : 0; }
};

Rates Score(const std::vector<std::vector<Ping>> &tracks, const model::TGPXtrk &trk) {
    Rates r;
    for (std::size_t t = 0; t < tracks.size(); ++t)
        for (std::size_t i = 0; i < tracks[t].size(); ++i) {
            const bool flagged = trk[static_cast<int>(t)]->Get(static_cast<int>(i))->Flagged;
            if (tracks[t][i].spike) {
                ++r.spikes;
                r.found += flagged;
            } else {
                ++r.clean;
                r.falseAlarms += flagged;
            }
        }
    return r;
}

double Ramp(double x, double from, double to, double depthFrom, double depthTo) {
    const double u = std::clamp((x - from) / (to - from), 0.0, 1.0);
    return depthFrom + u * (depthTo - depthFrom);
}

struct SurveyCase {
    const char *name;
    Bottom bottom;
};

const SurveyCase kSurveys[] = {
    {"flat shallows 1.5 m", [](double, double) { return 150.0; }},
    {"flat deep water 30 m", [](double, double) { return 3000.0; }},
    {"rolling bottom 5-11 m",
     [](double x, double y) { return 800 + 250 * std::sin(x / 15) + 100 * std::sin(y / 9); }},
    {"steep slope 1-25 m (30 %)", [](double x, double) { return Ramp(x, 20, 100, 100, 2500); }},
    {"bowl 0.5-40 m",
     [](double x, double y) {
         const double r = std::hypot(x - 300, y - 300) / 300;
         return std::max(50.0, 4000 * (1 - r * r));
     }},
    {"ledges: 3 m shelves, walls down to 12 m",
     [](double x, double y) {
         return (std::fmod(x + 0.3 * y, 240) < 120 ? 300.0 : 1200.0) + 30 * std::sin(x / 7);
     }},
};

} // namespace

// ---------------------------------------------------------------- the synthetic survey

TEST(Despike, SyntheticSurveyFindsSpikesAndSparesCleanSoundings) {
    Rates all;
    std::uint64_t seed = 20240611;
    for (const SurveyCase &c : kSurveys) {
        Random rng(seed++);
        auto tracks = Survey(c.bottom, 600, rng);
        AddSpikes(tracks, rng);
        model::TGPX doc;
        AddTrack(doc, tracks);
        depth::FlagSpikes(doc);
        const Rates r = Score(tracks, *doc.trk[0]);
        // Near a wall or the bend of a steep slope a short burst can pass for the bottom.
        EXPECT_GE(r.Found(), 0.85) << c.name;
        EXPECT_LE(r.FalseAlarms(), 0.003) << c.name;
        std::printf("  %-40s spikes %4d found %5.1f %%  clean %6d flagged %5.3f %%\n", c.name,
                    r.spikes, 100 * r.Found(), r.clean, 100 * r.FalseAlarms());
        all.spikes += r.spikes, all.found += r.found;
        all.clean += r.clean, all.falseAlarms += r.falseAlarms;
    }
    std::printf("  %-40s spikes %4d found %5.1f %%  clean %6d flagged %5.3f %%\n", "all",
                all.spikes, 100 * all.Found(), all.clean, 100 * all.FalseAlarms());
    EXPECT_GE(all.Found(), 0.9);
    EXPECT_LE(all.FalseAlarms(), 0.003);
}

TEST(Despike, SensitivityOrdersTheFlags) {
    Random rng(7);
    auto tracks = Survey(kSurveys[2].bottom, 300, rng);
    AddSpikes(tracks, rng);
    std::vector<std::vector<bool>> flags;
    for (TSpikeSensitivity s :
         {TSpikeSensitivity::Low, TSpikeSensitivity::Normal, TSpikeSensitivity::High}) {
        model::TGPX doc;
        AddTrack(doc, tracks);
        depth::FlagSpikes(doc, {s});
        std::vector<bool> all;
        for (const auto &seg : doc.trk[0]->Items())
            for (bool f : Flags(*seg))
                all.push_back(f);
        flags.push_back(all);
    }
    int counts[3] = {};
    for (std::size_t i = 0; i < flags[0].size(); ++i) {
        // Each step up flags everything the step below flags.
        EXPECT_LE(flags[0][i], flags[1][i]) << i;
        EXPECT_LE(flags[1][i], flags[2][i]) << i;
        for (int s = 0; s < 3; ++s)
            counts[s] += flags[static_cast<std::size_t>(s)][i];
    }
    EXPECT_LT(counts[0], counts[1]);
    EXPECT_LT(counts[1], counts[2]);
}

// ---------------------------------------------------------------- small tracks

TEST(Despike, RealDropOffsAreNotSpikes) {
    struct Case {
        const char *name;
        std::function<double(int)> depth;
    } cases[] = {
        {"vertical wall 3 m to 12 m", [](int i) { return i < 30 ? 300.0 : 1200.0; }},
        {"wall over 2 pings", [](int i) { return Ramp(i, 29, 31, 300, 1200); }},
        {"wall over 4 pings", [](int i) { return Ramp(i, 29, 33, 300, 1200); }},
        {"wall up from 20 m to 2 m", [](int i) { return i < 30 ? 2000.0 : 200.0; }},
        {"steep ramp 80 cm a ping", [](int i) { return Ramp(i, 20, 40, 200, 1800); }},
        {"wall 8 pings from the start", [](int i) { return i < 8 ? 300.0 : 900.0; }},
        {"wall 8 pings from the end", [](int i) { return i < 52 ? 300.0 : 900.0; }},
        {"step down then shelf", [](int i) { return i < 25   ? 300.0
                                                    : i < 35 ? 600.0
                                                             : 900.0; }},
    };
    for (const Case &c : cases)
        for (TSpikeSensitivity s : {TSpikeSensitivity::Normal, TSpikeSensitivity::High}) {
            Random rng(3);
            std::vector<double> depths;
            for (int i = 0; i < 60; ++i)
                depths.push_back(c.depth(i) + rng.Normal(3));
            const std::vector<bool> flags = FlagLine(depths, s);
            for (std::size_t i = 0; i < flags.size(); ++i)
                EXPECT_FALSE(flags[i])
                    << c.name << ", ping " << i << ", sensitivity " << static_cast<int>(s);
        }
}

TEST(Despike, SpikesAtTheEndsOfASegmentAreJudgedOnOneSide) {
    struct Case {
        const char *name;
        std::vector<int> at; // pings turned into spikes
        double factor;       // spike depth / bottom depth
    } cases[] = {
        {"first ping shallow", {0}, 0.4},
        {"first ping deep", {0}, 2},
        {"last ping shallow", {39}, 0.5},
        {"last ping deep", {39}, 2.2},
        {"second and last but one", {1, 38}, 0.3},
        {"burst of 4 opening the segment", {0, 1, 2, 3}, 0.5},
        {"burst of 4 closing the segment", {36, 37, 38, 39}, 2},
        {"burst of 3 in the middle", {20, 21, 22}, 0.3},
    };
    for (const Case &c : cases)
        for (double slope : {0.0, 40.0}) { // flat, and 40 cm deeper each ping
            Random rng(11);
            std::vector<double> depths;
            for (int i = 0; i < 40; ++i)
                depths.push_back(500 + slope * i + rng.Normal(3));
            std::vector<bool> expected(depths.size(), false);
            for (int i : c.at) {
                depths[static_cast<std::size_t>(i)] *= c.factor;
                expected[static_cast<std::size_t>(i)] = true;
            }
            EXPECT_EQ(FlagLine(depths), expected) << c.name << ", slope " << slope;
        }
}

TEST(Despike, ImpossibleReadingsAreFlaggedAndDoNotDisturbTheirNeighbours) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> depths(30, 400);
    depths[3] = nan;
    depths[4] = -50;
    depths[10] = 0; // no reading inside a run of soundings
    depths[20] = 250000;
    depths[21] = std::numeric_limits<double>::infinity();
    std::vector<bool> expected(depths.size(), false);
    for (int i : {3, 4, 10, 20, 21})
        expected[static_cast<std::size_t>(i)] = true;
    EXPECT_EQ(FlagLine(depths), expected);

    // The maximum depth is a setting.
    std::vector<double> deep(30, 400);
    for (std::size_t i = 10; i < 20; ++i) // 20 m of a deeper bottom: no spikes...
        deep[i] = 900;
    auto seg = Segment(Line(deep));
    EXPECT_EQ(depth::FlagSpikes(*seg), 0);
    TDespikeOptions options;
    options.MaxDepth = 800; // ... but deeper than the lake can be
    EXPECT_EQ(depth::FlagSpikes(*seg, options), 10);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(seg->Get(i)->Flagged, i >= 10 && i < 20) << i;
}

TEST(Despike, ShortOrSparseTracksAreNotJudged) {
    // Six pings give five neighbours at most: too few to tell a spike.
    EXPECT_EQ(FlagLine({400, 400, 100, 400, 400, 400}), std::vector<bool>(6, false));
    // Pings 30 m apart have no neighbour within reach.
    std::vector<Ping> sparse = Line({400, 402, 399, 100, 398, 401, 400, 400, 400});
    for (Ping &p : sparse)
        p.x *= 15;
    auto seg = Segment(sparse);
    EXPECT_EQ(depth::FlagSpikes(*seg), 0);
    // Seven pings are enough.
    EXPECT_EQ(FlagLine({400, 402, 399, 100, 398, 401, 400}),
              (std::vector<bool>{false, false, false, true, false, false, false}));
}

TEST(Despike, SpansGiveTheSameFlagsAsTheDocument) {
    Random rng(5);
    auto tracks = Survey(kSurveys[2].bottom, 300, rng);
    AddSpikes(tracks, rng);
    model::TGPX doc;
    AddTrack(doc, tracks);
    depth::FlagSpikes(doc);
    std::int64_t inDocument = 0, onSpans = 0;
    for (const auto &seg : doc.trk[0]->Items()) {
        std::vector<double> d, lon, lat;
        for (const auto &p : seg->Items())
            d.push_back(p->HBdepth), lon.push_back(p->Longitude), lat.push_back(p->Latitude);
        std::vector<std::uint8_t> flags(d.size(), 0);
        onSpans += depth::FindSpikes(d, lon, lat, flags);
        for (int i = 0; i < seg->Count(); ++i) {
            EXPECT_EQ(flags[static_cast<std::size_t>(i)] != 0, seg->Get(i)->Flagged) << i;
            inDocument += seg->Get(i)->Flagged;
        }

        // Flags already set stay and are not counted again.
        std::vector<std::uint8_t> again = flags;
        const std::int64_t added = depth::FindSpikes(d, lon, lat, again);
        std::int64_t changed = 0;
        for (std::size_t i = 0; i < flags.size(); ++i) {
            EXPECT_TRUE(!flags[i] || again[i]);
            changed += again[i] != flags[i];
        }
        EXPECT_EQ(added, changed);
    }
    EXPECT_GT(inDocument, 0);
    EXPECT_EQ(onSpans, inDocument);
}

// ---------------------------------------------------------------- the document

TEST(Despike, DocumentFlagsListAndClear) {
    model::TGPX doc;
    // A shoreline first: its depths of 0 are no readings and stay unflagged.
    auto shore = std::make_unique<model::TGPXtrk>();
    shore->Add(Segment(Line(std::vector<double>(20, 0))));
    shore->Get(0)->maxdepth = 0;
    doc.trk.Add(std::move(shore));
    // Soundings: a segment with maxdepth, and one whose maxdepth was never set.
    std::vector<double> a(20, 400), b(20, 700);
    a[5] = 100;
    b[12] = 1500;
    b[13] = 1480;
    auto trk = std::make_unique<model::TGPXtrk>();
    trk->Add(Segment(Line(a)));
    trk->Add(Segment(Line(b)));
    trk->Get(1)->maxdepth = 0;
    doc.trk.Add(std::move(trk));

    EXPECT_EQ(depth::GetMaxUnflaggedDepth(doc), depth::GetMaxDepth(doc)); // no flags yet
    EXPECT_EQ(depth::FlagSpikes(doc), 3);
    EXPECT_EQ(depth::CountFlagged(doc), 3);
    EXPECT_EQ(depth::FlagSpikes(doc), 0); // nothing new the second time

    const auto list = depth::FlaggedSoundings(doc);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Segment, 1); // the shoreline is segment 0
    EXPECT_EQ(list[0].Point, 5);
    EXPECT_EQ(list[0].Depth, 100);
    EXPECT_EQ(list[0].Longitude, doc.trk[1]->Get(0)->Get(5)->Longitude);
    EXPECT_EQ(list[0].Latitude, doc.trk[1]->Get(0)->Get(5)->Latitude);
    EXPECT_EQ(list[1].Segment, 2);
    EXPECT_EQ(list[1].Point, 12);
    EXPECT_EQ(list[2].Point, 13);

    // The greatest depth leaves the flagged readings out; a segment's maxdepth does not.
    EXPECT_EQ(depth::GetMaxDepth(doc), 1500);
    EXPECT_EQ(depth::GetMaxUnflaggedDepth(doc), 700);
    EXPECT_EQ(depth::GetMaxUnflaggedDepth(*doc.trk[1]->Get(1)), 700);
    EXPECT_EQ(depth::GetMaxDepth(*doc.trk[1]->Get(1)), 1500);

    doc.wpt.Add(std::make_unique<model::TGPXwpt>());
    doc.wpt[0]->Flagged = true;
    EXPECT_EQ(depth::ClearFlags(doc), 4);
    EXPECT_EQ(depth::CountFlagged(doc), 0);
    EXPECT_TRUE(depth::FlaggedSoundings(doc).empty());
    EXPECT_EQ(depth::GetMaxUnflaggedDepth(doc), 1500);
}
