#include "depth/Interpolation.h"
#include "depth/Project.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

using namespace depth;

namespace {
std::uint32_t Bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}
} // namespace

TEST(ShepardInterp, WorkedExamples) {
    // Distances 1 and 2 with values 10 and 40, p = 2: (10 + 40/4) / (1 + 1/4) = 16.
    TPointList pts{{1, 0}, {0, 2}};
    TValueList vals{10, 40};
    TShepardInterp a(pts, vals, 2, 2, 0.5f);
    EXPECT_FLOAT_EQ(a.interp(0, 0), 16);
    EXPECT_FLOAT_EQ(a.interpLinear(0, 0), 16);

    // A sample at exactly maxR takes part; one a hair farther does not.
    TPointList edge{{2, 0}, {0, 1}};
    TValueList edgeVals{40, 10};
    TShepardInterp exact(edge, edgeVals, 2, 2, 0.5f);
    EXPECT_FLOAT_EQ(exact.interp(0, 0), 16);
    TShepardInterp beyond(edge, edgeVals, 2, std::nextafter(2.0f, 0.0f), 0.5f);
    EXPECT_FLOAT_EQ(beyond.interp(0, 0), 10);

    // Inside minR the first sample in array order decides, even if a later one is nearer.
    TPointList inner{{5, 5}, {0.3f, 0}, {0.1f, 0}};
    TValueList innerVals{1, 7, 9};
    TShepardInterp first(inner, innerVals, 5, 10, 0.5f);
    EXPECT_EQ(first.interp(0, 0), 7);
    EXPECT_EQ(first.interp(5, 5), 1); // on a sample: its value unchanged

    // Nothing within maxR, or no samples at all: 0.
    EXPECT_EQ(first.interp(100, 100), 0);
    TPointList none;
    TValueList noVals;
    EXPECT_EQ(TShepardInterp(none, noVals, 5, 1, 0.1f).interp(0, 0), 0);
}

TEST(ShepardInterp, HardStyleNeverOverflows) {
    // p = 8 and a distance just above minR: 32-bit weights would reach infinity.
    TPointList pts{{1e-6f, 0}, {2e-6f, 0}};
    TValueList vals{100, 300};
    TShepardInterp s(pts, vals, 8, 1e-3f, 1e-7f);
    float v = s.interp(0, 0);
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(v, 100);
    EXPECT_LT(v, 300);
}

TEST(ShepardInterp, IndexGivesTheBitsOfTheLinearScan) {
    std::mt19937 rng(11);
    for (int round = 0; round < 12; ++round) {
        TPointList pts;
        TValueList vals;
        std::uniform_real_distribution<float> u(8.0f, 8.1f), v(47.0f, 47.07f);
        const int n = 300 + round * 150;
        for (int i = 0; i < n; ++i) {
            if (round % 4 == 2) { // survey lines: runs of consecutive samples side by side
                const int line = i / 50;
                pts.push_back({8.0f + 0.002f * static_cast<float>(i % 50),
                               47.0f + 0.003f * static_cast<float>(line)});
            } else if (round % 2 == 1 && i % 3 == 0 && !pts.empty()) { // clusters and duplicates
                TPointF q = pts[rng() % pts.size()];
                pts.push_back({q.x + (i % 2) * 1e-6f, q.y});
            } else {
                pts.push_back({u(rng), v(rng)});
            }
            vals.push_back(static_cast<float>(rng() % 3000));
        }
        const float maxR = 0.004f + 0.002f * (round % 3), minR = 0.0001f * (round % 4);
        // Queries exactly maxR and minR away from samples test the radius rules.
        std::vector<TPointF> queries;
        for (int k = 0; k < 400; ++k)
            queries.push_back({u(rng), v(rng)});
        for (int k = 0; k < 50; ++k) {
            queries.push_back(
                {pts[static_cast<std::size_t>(k)].x + maxR, pts[static_cast<std::size_t>(k)].y});
            queries.push_back(
                {pts[static_cast<std::size_t>(k)].x, pts[static_cast<std::size_t>(k)].y - minR});
            queries.push_back(pts[static_cast<std::size_t>(k)]);
        }
        for (int p : {2, 5, 8}) {
            TShepardInterp indexed(pts, vals, static_cast<float>(p), maxR, minR);
            TShepardInterp linear(pts, vals, static_cast<float>(p), maxR, minR, nullptr,
                                  TShepardInterp::Scan::Linear);
            for (const TPointF &q : queries)
                ASSERT_EQ(Bits(indexed.interp(q.x, q.y)), Bits(linear.interp(q.x, q.y)))
                    << "round " << round << " p " << p << " at " << q.x << "," << q.y;
        }
    }
}

// Distances whose squares, summed in doubles, land exactly on the square of the half-way
// point between two floats, while the exact distance lies just beside it: a distance
// worked out in doubles alone rounds the other way.
TEST(ShepardInterp, IndexRoundsDistancesAtFloatBoundariesLikeTheScan) {
    const TPointList pts{{0.0f, 0.0f}, {3.0f, 0.0f}};
    const TValueList vals{0.0f, 1.0e6f}; // so that the first weight shows in the result
    TShepardInterp indexed(pts, vals, 5.0f, 5.0f, 0.5f);
    TShepardInterp linear(pts, vals, 5.0f, 5.0f, 0.5f, nullptr, TShepardInterp::Scan::Linear);
    const TPointF queries[] = {{0x1.0000e4p+0f, 0x1.6a0a88p-12f},
                               {0x1.000106p+0f, 0x1.6a0aap-12f},
                               {0x1.0001fcp+0f, 0x1.6a0b4ep-12f},
                               {0x1.00021ep+0f, 0x1.6a0b66p-12f}};
    for (const TPointF &q : queries)
        EXPECT_EQ(Bits(indexed.interp(q.x, q.y)), Bits(linear.interp(q.x, q.y)))
            << q.x << "," << q.y;
}

// A column at a time, several cells share one pass over the samples: every cell must still
// get the linear scan's bits, whatever its neighbours in the pass see.
TEST(ShepardInterp, ColumnGivesTheBitsOfTheLinearScan) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(8.0f, 8.05f), v(47.0f, 47.04f);
    TPointList pts;
    TValueList vals;
    for (int i = 0; i < 900; ++i) {
        if (i % 3 == 0) // a survey line: a run of consecutive samples
            pts.push_back({8.0f + 0.0005f * static_cast<float>(i % 100),
                           47.01f + 0.004f * static_cast<float>(i / 300)});
        else
            pts.push_back({u(rng), v(rng)});
        vals.push_back(static_cast<float>(rng() % 3000) - 1000.0f); // negative ones too
    }
    vals[7] = -0.0f, vals[8] = 0.0f, vals[9] = INFINITY; // kept exactly by a lane it is not for
    struct Case {
        float p, maxR, minR;
    };
    const Case cases[] = {{1, 0.004f, 0.0002f},  {2, 0.004f, 0.0002f}, {3, 0.003f, 0.0001f},
                          {4, 0.006f, 0.0003f},  {5, 0.004f, 0.0f},    {6, 0.005f, -1.0f},
                          {7, 0.004f, 0.0002f},  {8, 0.002f, 0.0001f}, {2.5f, 0.004f, 0.0002f},
                          {12, 0.004f, 0.0002f}, {5, 0.004f, INFINITY}};
    for (const Case &c : cases) {
        TShepardInterp interp(pts, vals, c.p, c.maxR, c.minR);
        // Columns of cells a little apart, from below the samples to above them, so that
        // some cells have none within maxR or lie outside every bucket; odd lengths leave
        // lanes spare.
        for (int col = 0; col < 12; ++col) {
            const float x = 7.995f + 0.005f * static_cast<float>(col);
            std::vector<float> ys;
            for (int k = 0; k < 161 + col; ++k)
                ys.push_back(47.045f - 0.0003f * static_cast<float>(k));
            std::vector<float> out(ys.size());
            interp.interpColumn(x, ys.data(), out.data(), static_cast<std::int32_t>(ys.size()));
            for (std::size_t k = 0; k < ys.size(); ++k)
                ASSERT_EQ(Bits(out[k]), Bits(interp.interpLinear(x, ys[k])))
                    << "p " << c.p << " minR " << c.minR << " at " << x << "," << ys[k];
        }
    }

    // Distances on a float rounding boundary, each next to cells that are not.
    const TPointList two{{0.0f, 0.0f}, {3.0f, 0.0f}};
    const TValueList twoVals{0.0f, 1.0e6f};
    TShepardInterp interp(two, twoVals, 5.0f, 5.0f, 0.5f);
    const TPointF boundary[] = {{0x1.0000e4p+0f, 0x1.6a0a88p-12f},
                                {0x1.000106p+0f, 0x1.6a0aap-12f},
                                {0x1.0001fcp+0f, 0x1.6a0b4ep-12f},
                                {0x1.00021ep+0f, 0x1.6a0b66p-12f}};
    for (const TPointF &q : boundary) {
        const float ys[] = {q.y * 2, q.y, -q.y, q.y * 3, q.y * 4};
        float out[5];
        interp.interpColumn(q.x, ys, out, 5);
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(Bits(out[k]), Bits(interp.interpLinear(q.x, ys[k]))) << q.x << "," << ys[k];
    }
}

TEST(Stripes, BoundsAndScheduling) {
    // 801 columns and 16 tasks: 50 columns each, the last takes the rest.
    EXPECT_EQ(StripeBounds(801, 16, 1).xStart, 0);
    EXPECT_EQ(StripeBounds(801, 16, 1).xStop, 49);
    EXPECT_EQ(StripeBounds(801, 16, 15).xStart, 700);
    EXPECT_EQ(StripeBounds(801, 16, 15).xStop, 749);
    EXPECT_EQ(StripeBounds(801, 16, 16).xStart, 750);
    EXPECT_EQ(StripeBounds(801, 16, 16).xStop, 800);
    // Narrower than the task count: all but the last are empty, the last covers all.
    for (int t = 1; t < 16; ++t)
        EXPECT_LT(StripeBounds(10, 16, t).xStop, StripeBounds(10, 16, t).xStart);
    EXPECT_EQ(StripeBounds(10, 16, 16).xStart, 0);
    EXPECT_EQ(StripeBounds(10, 16, 16).xStop, 9);

    std::vector<std::string> log;
    TStripeScheduler s(10, 3, 16, [&](const std::string &l) { log.push_back(l); });
    EXPECT_EQ(s.Start().size(), 3u);
    EXPECT_EQ(log[0], "Interpolate: #Tasks: 16");
    EXPECT_EQ(log[1], "Interpolate: Start Thread: 0     -1");
    int handedOut = 3, decrements = 0;
    while (!s.Finished()) {
        if (s.Done())
            ++handedOut;
        else
            ++decrements;
    }
    EXPECT_EQ(handedOut, 16);
    EXPECT_EQ(decrements, 3);
}

TEST(Stripes, RunnerFillsEveryMaskedColumnOnceAndCanBeCancelled) {
    mapview::TGPXDraw view;
    model::TGPX doc;
    view.GPXd = &doc;
    view.SetWidth(37);
    view.SetHeight(5);
    view.BBox.O = 8, view.BBox.S = 47, view.BBox.Rm = 1000, view.BBox.Complete = true;
    TMatSingle grid(37, 5);
    mapview::TMaskArray mask(37, 5);
    mask.MaskArray.Fill(true);
    mask.MaskArray[3][2] = 0;
    TPointList pts{{8.001f, 47.001f}};
    TValueList vals{500};
    TShepardInterp interp(pts, vals, 5, 1, 0);
    TStripeJob job{&grid, &mask.MaskArray, &interp, view.Viewport(), 1000};
    std::vector<std::string> log;
    TStripeRunner blocking(job, 2, 8);
    blocking.Run([&](const std::string &l) { log.push_back(l); });
    EXPECT_EQ(blocking.ColumnsDone(), 37);
    EXPECT_EQ(blocking.ThreadsRunning(), 0);
    ASSERT_EQ(log.size(), 1u + 2u + 6u); // tasks, the two first stripes, six more handed out
    EXPECT_EQ(log[0], "Interpolate: #Tasks: 8");
    EXPECT_FLOAT_EQ(grid[0][0], 0.5f);
    EXPECT_FLOAT_EQ(grid[36][4], 0.5f);
    EXPECT_EQ(grid[3][2], 0); // not in the mask: never written

    // Started and cancelled at once: every worker stops after its column, the end is
    // reported once, and nothing runs on after Wait().
    TMatSingle other(37, 5);
    TStripeJob second = job;
    second.Values = &other;
    std::atomic<int> ends{0};
    TStripeRunner runner(second, 2, 8);
    runner.Cancel();
    runner.Start([&] { ++ends; });
    runner.Wait();
    EXPECT_EQ(runner.ThreadsRunning(), 0);
    EXPECT_EQ(ends.load(), 1);
    EXPECT_LT(runner.ColumnsDone(), 37);
}

TEST(Smoothing, MaskedBoxMeanInPlace) {
    TMatSingle grid(5, 5);
    mapview::TMaskArray mask(5, 5);
    mask.MaskArray.Fill(true);
    grid[2][2] = 9;
    TMatSingle once = grid;
    SmoothArray(once, mask);
    // [1][1] sees the 9 first; [2][2] then sees the new values of the cells before it.
    EXPECT_FLOAT_EQ(once[1][1], 1);
    EXPECT_FLOAT_EQ(once[1][2], (1 + 9) / 9.0f);
    EXPECT_EQ(once[0][0], 0); // the border never changes
    EXPECT_EQ(once[4][4], 0);

    // Next to land the value stays as it was, however often it is smoothed.
    TMatSingle g2 = grid;
    mask.MaskArray[1][1] = 0;
    for (int k = 0; k < 10; ++k)
        SmoothArray(g2, mask);
    EXPECT_EQ(g2[2][2], 9);
    EXPECT_EQ(g2[1][2], 0);
}

TEST(InterpolationRun, RefusesAProjectWithoutDepth) {
    TProject project;
    EXPECT_THROW(RunInterpolation(project, TInterpolationSettings{}, nullptr),
                 InterpolationRefused);
}
