#include "depth/Surveys.h"

#include "SurveyLake.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <regex>

using depth::TLevelEstimate;
using depth::TSurvey;
using surveylake::TDay;

namespace {

// The same lake on four days, each with its own line direction and water level.
const std::vector<TDay> kDays = {
    {.LevelCm = 0, .AngleDeg = 0, .Day = 3, .Seed = 11},
    {.LevelCm = 18, .AngleDeg = 90, .Day = 9, .Seed = 12},
    {.LevelCm = -9.5, .AngleDeg = 45, .Day = 17, .Seed = 13},
    {.LevelCm = 31, .AngleDeg = 135, .Day = 24, .Seed = 14},
};

struct Lake {
    model::TGPX doc;
    std::vector<TSurvey> surveys;
    std::vector<std::string> log;

    void Add(const std::string &name, int track) {
        surveys.push_back(depth::MakeSurvey(doc, name, track, 1));
    }
    void AddDays(const std::vector<TDay> &days) {
        for (const TDay &d : days)
            Add("day" + std::to_string(surveys.size() + 1) + ".gpx", surveylake::AddSurvey(doc, d));
    }
    std::vector<TLevelEstimate> Estimate(std::size_t reference,
                                         const depth::TLevelSettings &settings = {}) {
        log.clear();
        return depth::EstimateLevelOffsets(doc, surveys, reference, settings,
                                           [this](const std::string &l) { log.push_back(l); });
    }
    std::string Log() const {
        std::string all;
        for (const auto &l : log)
            all += l + "\n";
        return all;
    }
};

// RMS in cm at the soundings between the depths as gathered (recorded + the survey's offset)
// and the true bottom below the reference day's level.
double RmsToBottom(const Lake &lake, double referenceLevel) {
    const std::vector<double> offsets = depth::TrackOffsetsCm(lake.surveys, lake.doc.trk.Count());
    double sum = 0;
    long long n = 0;
    for (int t = 0; t < lake.doc.trk.Count(); ++t)
        for (const auto &s : lake.doc.trk[t]->Items())
            for (const auto &p : s->Items()) {
                const double truth = surveylake::Bottom(surveylake::XOf(p->Longitude),
                                                        surveylake::YOf(p->Latitude)) +
                                     referenceLevel;
                sum += (p->HBdepth + offsets[t] - truth) * (p->HBdepth + offsets[t] - truth);
                ++n;
            }
    return std::sqrt(sum / n);
}

// A segment at one spot of the given depths and times; returns its first point.
model::TGPXwpt *AddSegment(model::TGPXtrk &trk, std::int32_t maxdepth,
                           std::vector<std::pair<double, double>> depthAndTime) {
    auto seg = std::make_unique<model::TGPXtrkseg>();
    for (auto [d, t] : depthAndTime) {
        auto w = std::make_unique<model::TGPXwpt>();
        w->Latitude = 47, w->Longitude = 8, w->HBdepth = d, w->DateTime = t;
        seg->Add(std::move(w));
    }
    seg->maxdepth = maxdepth;
    return (*trk.Add(std::move(seg)))[0];
}

} // namespace

TEST(Surveys, SurveyCountsItsSoundingsAndDates) {
    model::TGPX doc;
    auto other = std::make_unique<model::TGPXtrk>();
    AddSegment(*other, 500, {{300, 45000}});
    doc.trk.Add(std::move(other));
    auto trk = std::make_unique<model::TGPXtrk>();
    AddSegment(*trk, 0, {{0, 45400}, {0, 45500}});                        // an outline
    AddSegment(*trk, 420, {{410, 45100.5}, {0, 45000}, {420, 45100.25}}); // a zero reading
    AddSegment(*trk, 150, {{150, 0}, {140, 45100.75}});
    doc.trk.Add(std::move(trk));

    TSurvey s = depth::MakeSurvey(doc, "day.gpx", 1, 5); // the range reaches past the tracks
    EXPECT_EQ(s.Name, "day.gpx");
    EXPECT_EQ(s.Soundings, 4);
    EXPECT_EQ(s.FirstTime, 45100.25);
    EXPECT_EQ(s.LastTime, 45100.75);
    EXPECT_EQ(s.OffsetCm, 0);

    std::vector<TSurvey> surveys = {depth::MakeSurvey(doc, "a.gpx", 0, 1), s};
    EXPECT_EQ(surveys[0].Soundings, 1);
    depth::ApplyLevelEstimates(
        surveys, {{.OffsetCm = 7, .Connected = false}, {.OffsetCm = -12.5, .Connected = true}});
    EXPECT_EQ(surveys[0].OffsetCm, 0);
    EXPECT_EQ(depth::TrackOffsetsCm(surveys, 3), (std::vector<double>{0, -12.5, -12.5}));
}

TEST(Surveys, EstimatesMatchTheKnownLevels) {
    Lake lake;
    lake.AddDays(kDays);
    for (std::size_t ref : {std::size_t{0}, std::size_t{2}}) {
        SCOPED_TRACE("reference day " + std::to_string(ref + 1));
        const std::vector<TLevelEstimate> est = lake.Estimate(ref);
        ASSERT_EQ(est.size(), kDays.size());
        ASSERT_EQ(lake.log.size(), kDays.size()) << lake.Log();
        const std::regex line(
            R"re(Levels: day\d\.gpx: [+-]\d+\.\d cm( ± \d+\.\d cm| \(reference\)))re"
            R"re( from \d+ crossings)re");
        for (std::size_t i = 0; i < kDays.size(); ++i) {
            const double truth = kDays[ref].LevelCm - kDays[i].LevelCm;
            EXPECT_TRUE(est[i].Connected);
            EXPECT_NEAR(est[i].OffsetCm, truth, std::max(3 * est[i].SigmaCm, 3.0));
            EXPECT_GT(est[i].Crossings, 1000);
            EXPECT_TRUE(std::regex_match(lake.log[i], line)) << lake.log[i];
            std::cout << "  day " << i + 1 << ": truth " << truth << " cm, estimate "
                      << est[i].OffsetCm << " cm +- " << est[i].SigmaCm << " cm from "
                      << est[i].Crossings << " crossings\n";
        }
        EXPECT_EQ(est[ref].OffsetCm, 0);
        EXPECT_NE(lake.log[ref].find(" (reference) from "), std::string::npos);

        for (TSurvey &s : lake.surveys)
            s.OffsetCm = 0;
        const double before = RmsToBottom(lake, kDays[ref].LevelCm);
        depth::ApplyLevelEstimates(lake.surveys, est);
        const double after = RmsToBottom(lake, kDays[ref].LevelCm);
        std::cout << "  RMS to the true bottom: " << before << " cm uncorrected, " << after
                  << " cm corrected (noise " << kDays[0].NoiseCm << " cm)\n";
        EXPECT_LT(after, 1.25 * kDays[0].NoiseCm);
        EXPECT_GT(before, 3 * after);
    }

    // The pair search split over threads finds the same pairs in the same order.
    depth::TLevelSettings one, three;
    one.Threads = 1, three.Threads = 3;
    const std::vector<TLevelEstimate> a = lake.Estimate(1, one), b = lake.Estimate(1, three);
    for (std::size_t i = 0; i < kDays.size(); ++i) {
        EXPECT_EQ(a[i].OffsetCm, b[i].OffsetCm) << i;
        EXPECT_EQ(a[i].SigmaCm, b[i].SigmaCm) << i;
        EXPECT_EQ(a[i].Crossings, b[i].Crossings) << i;
    }
}

TEST(Surveys, SpikesOnOneTrackDoNotMoveTheEstimate) {
    Lake clean, spiked;
    clean.AddDays(kDays);
    spiked.AddDays(kDays);
    // Day 2: a 30 m stretch read 4 m too deep on its longer lines, and a lone spike every
    // 40 soundings.
    const model::TGPXtrk &trk = *spiked.doc.trk[spiked.surveys[1].FirstTrack];
    int n = 0;
    for (const auto &s : trk.Items()) {
        for (const auto &p : s->Items())
            if (++n % 40 == 0)
                p->HBdepth += 250;
        if (s->Count() > 300)
            for (int i = 100; i < 120; ++i)
                (*s)[i]->HBdepth += 400;
    }
    const std::vector<TLevelEstimate> a = clean.Estimate(0), b = spiked.Estimate(0);
    for (std::size_t i = 0; i < kDays.size(); ++i) {
        std::cout << "  day " << i + 1 << ": " << a[i].OffsetCm << " cm clean, " << b[i].OffsetCm
                  << " cm with spikes\n";
        EXPECT_NEAR(a[i].OffsetCm, b[i].OffsetCm, 0.5) << i;
    }
}

// Input with nothing (or not everything) to estimate: a clear line each, offsets stay 0.
TEST(Surveys, InputWithNothingToEstimateSaysWhy) {
    auto Days = [](std::vector<TDay> days) { return [days](Lake &lake) { lake.AddDays(days); }; };
    const TDay farLake = {.LevelCm = 10, .AngleDeg = 90, .ShiftXM = 5000, .Day = 5, .Seed = 3};
    const TDay farLake2 = {.LevelCm = 20, .AngleDeg = 0, .ShiftXM = 5000, .Day = 6, .Seed = 4};
    const TDay noTimes0 = {.LevelCm = 0, .AngleDeg = 0, .Day = 0, .Seed = 5};
    const TDay noTimes1 = {.LevelCm = 12, .AngleDeg = 90, .Day = 0, .Seed = 6};
    // A track along the depth contour 0.9 of the radius out, flat along itself, and short
    // lines straight down the bank across it, steep: they meet only on the bank.
    auto SteepOnly = [](Lake &lake) {
        std::vector<std::pair<double, double>> ring;
        for (int k = 0; k < 1260; ++k)
            ring.push_back({0.9 * surveylake::kA * std::cos(k * 2 * M_PI / 1260),
                            0.9 * surveylake::kB * std::sin(k * 2 * M_PI / 1260)});
        std::vector<std::vector<std::pair<double, double>>> spokes;
        for (int k = 0; k < 72; ++k) {
            spokes.emplace_back();
            for (double r = 0.88; r < 0.97; r += 0.0025)
                spokes.back().push_back({r * surveylake::kA * std::cos(k * M_PI / 36),
                                         r * surveylake::kB * std::sin(k * M_PI / 36)});
        }
        lake.Add("ring.gpx", surveylake::AddTrack(lake.doc, {.NoiseCm = 2, .Seed = 7}, {ring}));
        lake.Add("spokes.gpx", surveylake::AddTrack(lake.doc, {.NoiseCm = 2, .Seed = 8}, spokes));
    };
    depth::TLevelSettings demanding;
    demanding.MinCrossings = 1000000;

    struct Case {
        const char *name;
        std::function<void(Lake &)> build;
        std::size_t reference;
        depth::TLevelSettings settings;
        std::vector<std::string> lines; // each appears in the log
        std::vector<bool> connected;
    };
    const std::vector<Case> cases = {
        {"one survey",
         Days({kDays[0]}),
         0,
         {},
         {"Levels: day1.gpx is the only survey; there is nothing to estimate"},
         {false}},
        {"no survey",
         Days({}),
         0,
         {},
         {"Levels: there are no surveys; there is nothing to estimate"},
         {}},
        {"never meet",
         Days({kDays[0], farLake}),
         0,
         {},
         {"Levels: day1.gpx has no crossing with the other surveys; its offset stays 0",
          "Levels: day2.gpx has no crossing with the other surveys; its offset stays 0"},
         {false, false}},
        {"two lakes",
         Days({kDays[0], kDays[1], farLake, farLake2}),
         1,
         {},
         {"Levels: day3.gpx has no chain of crossings to the reference survey day2.gpx; its "
          "offset stays 0",
          "Levels: day4.gpx has no chain of crossings to the reference survey day2.gpx; its "
          "offset stays 0"},
         {true, true, false, false}},
        {"only on steep bottom",
         SteepOnly,
         0,
         {},
         {"Levels: ring.gpx meets the other surveys only on steep bottom (",
          "Levels: spokes.gpx meets the other surveys only on steep bottom ("},
         {false, false}},
        {"too few crossings",
         Days({kDays[0], kDays[1]}),
         0,
         demanding,
         {"Levels: day2.gpx has too few crossings with the other surveys ("},
         {false, false}},
        {"no times",
         Days({noTimes0, noTimes1}),
         0,
         {},
         {"Levels: day1.gpx has no times; its date range stays empty",
          "Levels: day2.gpx has no times; its date range stays empty", "Levels: day2.gpx: -1"},
         {true, true}},
        {"no soundings",
         [](Lake &lake) {
             lake.AddDays({kDays[0], kDays[1]});
             lake.surveys.push_back(depth::MakeSurvey(lake.doc, "empty.gpx", 2, 0));
         },
         0,
         {},
         {"Levels: empty.gpx has no soundings; its offset stays 0"},
         {true, true, false}},
        {"points no survey can use",
         [](Lake &lake) {
             lake.AddDays({kDays[0]});
             auto trk = std::make_unique<model::TGPXtrk>();
             const double nan = std::nan(""), inf = HUGE_VAL;
             AddSegment(*trk, 1, {{1e300, 45000}, {inf, nan}, {nan, 45000}, {-5, 45000}});
             AddSegment(*trk, 1, {{100, 45000}})->Latitude = nan;
             AddSegment(*trk, 1, {{100, 45000}})->Longitude = 200;
             lake.doc.trk.Add(std::move(trk));
             lake.surveys.push_back(depth::MakeSurvey(lake.doc, "odd.gpx", 1, 1));
             lake.surveys.push_back(depth::MakeSurvey(lake.doc, "before.gpx", -3, 2));
         },
         0,
         {},
         {"Levels: odd.gpx has no soundings; its offset stays 0",
          "Levels: before.gpx has no soundings; its offset stays 0"},
         {false, false, false}},
        {"reference out of range",
         Days({kDays[0], kDays[1]}),
         5,
         {},
         {"Levels: there is no survey 6 to hold at 0; nothing is estimated"},
         {false, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Lake lake;
        c.build(lake);
        const std::vector<TLevelEstimate> est = lake.Estimate(c.reference, c.settings);
        ASSERT_EQ(est.size(), c.connected.size());
        for (const std::string &l : c.lines)
            EXPECT_NE(lake.Log().find(l), std::string::npos) << l << "\nin:\n" << lake.Log();
        for (std::size_t i = 0; i < est.size(); ++i) {
            EXPECT_EQ(est[i].Connected, c.connected[i]) << i;
            if (!est[i].Connected) {
                EXPECT_EQ(est[i].OffsetCm, 0) << i;
                EXPECT_EQ(est[i].SigmaCm, 0) << i;
            }
        }
    }
}
