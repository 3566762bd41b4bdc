#include "depth/MovingSquares.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace depth;

namespace {

using Piece = std::vector<TVector>;
using Track = std::vector<Piece>;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A small lake drawn as text, one string per row (row 0 on top). Depth rows: '#' is 1.0
// (MaxDepth), '.' is 0, 'N' NaN. Water rows: 'x' is land, anything else water; without
// them the whole grid is water.
struct Lake {
    std::int32_t W, H;
    TMatSingle grid;
    mapview::TMaskArray mask;
    mapview::TViewport view;
    model::TGPX iso;

    Lake(std::int32_t w, std::int32_t h) : W(w), H(h), grid(w, h), mask(w, h) {
        mask.MaskArray.Fill(true);
        view.Width = w;
        view.Height = h;
        view.BBox.O = 10.0;
        view.BBox.S = 50.0;
        view.BBox.Rm = 1000.0;
    }

    explicit Lake(const std::vector<std::string> &depth, const std::vector<std::string> &water = {})
        : Lake(static_cast<std::int32_t>(depth.at(0).size()),
               static_cast<std::int32_t>(depth.size())) {
        for (std::int32_t y = 0; y < H; ++y)
            for (std::int32_t x = 0; x < W; ++x) {
                char c = depth[y][x];
                grid[x][y] = c == '#' ? 1.0f : c == 'N' ? kNaN : 0.0f;
                if (!water.empty())
                    mask.MaskArray[x][y] = water[y][x] != 'x';
            }
    }

    void Run(std::int32_t MinDepth, std::int32_t MaxDepth, std::int32_t Step) {
        TMovingSquares ms(iso, view, grid, mask.MaskArray);
        ms.GenerateISO(MinDepth, MaxDepth, Step);
    }

    // The traced tracks as grid vertices.
    std::vector<Track> Tracks() const {
        std::vector<Track> out;
        for (const auto &t : iso.trk.Items()) {
            Track track;
            for (const auto &s : t->Items()) {
                Piece piece;
                for (const auto &p : s->Items())
                    piece.push_back({view.LoToX(p->Longitude), view.LaToY(p->Latitude)});
                track.push_back(piece);
            }
            out.push_back(track);
        }
        return out;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &t : iso.trk.Items())
            names.push_back(t->name);
        return names;
    }
};

std::string Show(const std::vector<Track> &tracks) {
    std::string s;
    for (const Track &t : tracks) {
        s += "track:";
        for (const Piece &p : t) {
            s += " [";
            for (const TVector &v : p)
                s += "(" + std::to_string(v.X) + "," + std::to_string(v.Y) + ")";
            s += "]";
        }
        s += "\n";
    }
    return s;
}

// Cells x0..x1, y0..y1 set to value.
void Fill(TMatSingle &g, int x0, int x1, int y0, int y1, float value) {
    for (int x = x0; x <= x1; ++x)
        for (int y = y0; y <= y1; ++y)
            g[x][y] = value;
}

const std::vector<std::string> kStaircase = {
    ".............", ".............", "..#..........", "..##.........",
    "..###........", "..####.......", "..#####......", "..######.....",
    "..#######....", "..########...", ".............", ".............",
};

} // namespace

// Each shape traced at one level (100 cm of 200): the walk, the saddle rules, the cut at
// the shore and the simplification all show in the kept vertices.
TEST(MovingSquaresTest, ShapesGiveTheDescribedPieces) {
    struct Case {
        const char *name;
        std::vector<std::string> depth, water;
        std::vector<Track> expected;
    };
    const std::vector<Case> cases = {
        {"single deep cell: four steps, three points, dropped",
         {".....", ".....", "..#..", ".....", "....."},
         {},
         {}},
        {"2 x 2 basin closes on its start vertex",
         {"......", "......", "..##..", "..##..", "......", "......"},
         {},
         {{{{2, 2}, {3, 4}, {4, 3}, {3, 2}, {2, 2}}}}},
        {"straight runs keep their ends only, corners are cut",
         {"........", "........", "..####..", "..####..", "........", "........"},
         {},
         {{{{2, 2}, {3, 4}, {6, 3}, {5, 2}, {2, 2}}}}},
        {"a staircase keeps every second vertex",
         kStaircase,
         {},
         {{{{2, 2},
            {3, 10},
            {10, 9},
            {9, 8},
            {8, 7},
            {7, 6},
            {6, 5},
            {5, 4},
            {4, 3},
            {3, 2},
            {2, 2}}}}},
        {"land across the basin: one piece per stretch of water, each from one vertex "
         "outside to the last water vertex",
         kStaircase,
         {".............", ".............", ".............", ".............", ".............",
          ".............", "xxxxxxxxxxxxx", ".............", ".............", ".............",
          ".............", "............."},
         {{{{2, 7}, {3, 10}, {10, 9}, {9, 8}, {8, 8}}, {{6, 6}, {5, 5}, {4, 4}, {3, 3}, {2, 2}}}}},
        {"saddle top-left/bottom-right: coming right goes up, coming left goes down",
         {"........", "........", "..##....", "..##....", "....##..", "....##..", "........",
          "........"},
         {},
         {{{{2, 2}, {3, 4}, {4, 3}, {3, 2}, {2, 2}}}, {{{5, 4}, {4, 5}, {5, 6}, {6, 5}, {5, 4}}}}},
        {"saddle top-right/bottom-left: coming up goes left, coming down goes right",
         {"........", "........", "....##..", "....##..", "..##....", "..##....", "........",
          "........"},
         {},
         {{{{2, 4}, {3, 6}, {4, 5}, {3, 4}, {2, 4}}}, {{{4, 2}, {5, 4}, {6, 3}, {5, 2}, {4, 2}}}}},
        {"only water vertices start lines: an upper edge wholly under land starts none",
         {"..............", "..............", "..##########..", "..#########...", "..########....",
          "..#######.....", "..######......", "..#####.......", "..####........", "..###.........",
          "..............", ".............."},
         {"..............", "..............", "xxxxxxxxxxxxxx", "..............", "..............",
          "..............", "..............", "..............", "..............", "..............",
          "..............", ".............."},
         {}},
        {"nothing is traced through the outermost ring of cells",
         {"......", "######", "######", "######", "######", "######"},
         {},
         {}},
        {"a walk with no water vertex keeps nothing",
         {"......", "......", "..##..", "..##..", "......", "......"},
         {"xxxxxx", "xxxxxx", "xxxxxx", "xxxxxx", "xxxxxx", "xxxxxx"},
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Lake lake(c.depth, c.water);
        lake.Run(100, 200, 1000);
        EXPECT_EQ(Show(lake.Tracks()), Show(c.expected));
        for (const auto &t : lake.iso.trk.Items())
            EXPECT_EQ(t->name, "ISO 100 cm");
    }
}

TEST(MovingSquaresTest, PointsCarryTheViewPositionAndTheLevel) {
    Lake lake({"......", "......", "..##..", "..##..", "......", "......"});
    lake.Run(100, 200, 1000);
    ASSERT_EQ(lake.iso.trk.Count(), 1);
    const model::TGPXtrkseg &seg = *lake.iso.trk[0]->trkseg(0);
    ASSERT_EQ(seg.Count(), 5);
    EXPECT_EQ(seg[1]->Longitude, lake.view.XToLo(3));
    EXPECT_EQ(seg[1]->Latitude, lake.view.YToLa(4));
    for (const auto &p : seg.Items())
        EXPECT_EQ(p->HBdepth, 100.0);
}

// A basin deep enough for every level: one track per traced level, named after it.
TEST(MovingSquaresTest, LevelsRunFromStartByStepUpToGreatestDepthPlusOne) {
    struct Case {
        std::int32_t start, step, maxDepth;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {100, 100, 450, {"ISO 100 cm", "ISO 200 cm", "ISO 300 cm", "ISO 400 cm"}},
        {100, 100, 499, {"ISO 100 cm", "ISO 200 cm", "ISO 300 cm", "ISO 400 cm", "ISO 500 cm"}},
        {250, 150, 450, {"ISO 250 cm", "ISO 400 cm"}},
        {500, 100, 499, {"ISO 500 cm"}},
        {501, 100, 499, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.maxDepth);
        Lake lake(8, 8);
        Fill(lake.grid, 2, 4, 2, 4, 100.0f);
        lake.Run(c.start, c.maxDepth, c.step);
        EXPECT_EQ(lake.Names(), c.names);
    }
}

TEST(MovingSquaresTest, CellEqualToTheLevelIsNotDeeper) {
    Lake lake(8, 8);
    Fill(lake.grid, 2, 4, 2, 4, 0.5f); // 200 cm of 400
    lake.Run(199, 400, 1);             // 199 ... 401
    EXPECT_EQ(lake.Names(), std::vector<std::string>{"ISO 199 cm"});
}

// A round lake sloping to its centre at the size of a real view: every level is one
// closed ring, and ten levels stay fast.
TEST(MovingSquaresTest, BowlGivesOneClosedRingPerLevelQuickly) {
    const int W = 840, H = 600;
    Lake lake(W, H);
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
            double dx = (x - W / 2.0) / (W / 2.0 - 5), dy = (y - H / 2.0) / (H / 2.0 - 5);
            double r2 = dx * dx + dy * dy;
            lake.mask.MaskArray[x][y] = r2 < 1.0;
            lake.grid[x][y] = r2 < 1.0 ? static_cast<float>(1.0 - r2) : 0.0f;
        }
    auto t0 = std::chrono::steady_clock::now();
    lake.Run(50, 1000, 100); // 50, 150, ..., 950
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(seconds, 2.0); // about 0.02 s here; only a pathological slowdown fails

    ASSERT_EQ(lake.iso.trk.Count(), 10);
    for (int i = 0; i < 10; ++i) {
        const model::TGPXtrk &t = *lake.iso.trk[i];
        EXPECT_EQ(t.name, "ISO " + std::to_string(50 + 100 * i) + " cm");
        ASSERT_EQ(t.Count(), 1);
        const model::TGPXtrkseg &s = *t.trkseg(0);
        EXPECT_GT(s.Count(), 20);
        EXPECT_EQ(s.First()->Longitude, s.Last()->Longitude);
        EXPECT_EQ(s.First()->Latitude, s.Last()->Latitude);
    }
}

TEST(MovingSquaresTest, RefusesNoDepthAndNonPositiveStepBeforeTracing) {
    struct Case {
        std::int32_t maxDepth, step;
        const char *says;
    };
    for (const Case &c : std::vector<Case>{{0, 100, "0 cm"},
                                           {-5, 100, "0 cm"},
                                           {450, 0, "step"},
                                           {450, -100, "step"},
                                           {0, 0, "0 cm"}}) {
        SCOPED_TRACE(std::to_string(c.maxDepth) + " / " + std::to_string(c.step));
        Lake lake({"......", "......", "..##..", "..##..", "......", "......"});
        try {
            lake.Run(100, c.maxDepth, c.step);
            ADD_FAILURE() << "no error";
        } catch (const ContourBuildError &e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        EXPECT_EQ(lake.iso.trk.Count(), 0);
    }
}

// Whatever the grid holds, every walk ends, stays inside the grid and keeps only what the
// rules allow: boundary vertices, water after the first point, more than four points.
TEST(MovingSquaresTest, AnyGridEndsAndKeepsOnlyValidPieces) {
    auto check = [](Lake &lake, std::int32_t start, std::int32_t maxDepth, std::int32_t step) {
        lake.Run(start, maxDepth, step);
        const std::int32_t W = lake.W, H = lake.H;
        auto inRange = [&](int x, int y) { return x >= 1 && y >= 1 && x <= W - 2 && y <= H - 2; };
        for (const auto &t : lake.iso.trk.Items()) {
            const double level = t->First()->First()->HBdepth;
            EXPECT_EQ(t->name, "ISO " + std::to_string(static_cast<int>(level)) + " cm");
            auto deep = [&](int x, int y) {
                return inRange(x, y) && level / maxDepth < static_cast<double>(lake.grid[x][y]);
            };
            auto water = [&](int x, int y) { return inRange(x, y) && lake.mask.MaskArray[x][y]; };
            for (const auto &s : t->Items()) {
                EXPECT_GT(s->Count(), 4);
                for (int i = 0; i < s->Count(); ++i) {
                    const int x = lake.view.LoToX(s->Get(i)->Longitude);
                    const int y = lake.view.LaToY(s->Get(i)->Latitude);
                    ASSERT_TRUE(x >= 1 && y >= 1 && x <= W - 1 && y <= H - 1) << x << "," << y;
                    const int n = deep(x - 1, y - 1) + deep(x, y - 1) + deep(x - 1, y) + deep(x, y);
                    EXPECT_TRUE(n > 0 && n < 4) << "not a boundary vertex " << x << "," << y;
                    if (i > 0) {
                        EXPECT_TRUE(water(x - 1, y - 1) && water(x, y - 1) && water(x - 1, y) &&
                                    water(x, y));
                    }
                }
            }
        }
    };

    struct Degenerate {
        std::int32_t w, h;
        float value;
        bool water;
    };
    for (const Degenerate &d : std::vector<Degenerate>{{0, 0, 1, true},
                                                       {1, 5, 1, true},
                                                       {2, 5, 1, true},
                                                       {5, 1, 1, true},
                                                       {5, 2, 1, true},
                                                       {6, 6, 1, true},
                                                       {6, 6, kNaN, true},
                                                       {6, 6, kInf, true},
                                                       {6, 6, 0, true},
                                                       {6, 6, 1, false}}) {
        SCOPED_TRACE(std::to_string(d.w) + " x " + std::to_string(d.h) + " " +
                     std::to_string(d.value));
        Lake lake(d.w, d.h);
        lake.grid.Fill(d.value);
        lake.mask.MaskArray.Fill(d.water);
        check(lake, 100, 200, 100);
        EXPECT_EQ(lake.iso.trk.Count(), 0);
    }

    std::mt19937 rng(12345);
    const float values[] = {0.0f, 0.3f, 0.5f, 0.7f, 1.0f, 1.0f, kNaN, kInf, -kInf, -1.0f};
    int traced = 0;
    for (int round = 0; round < 400; ++round) {
        const int w = 1 + static_cast<int>(rng() % 14), h = 1 + static_cast<int>(rng() % 14);
        Lake lake(w, h);
        const bool blocky = round % 2 == 0; // larger patches make longer walks
        for (int x = 0; x < w; ++x)
            for (int y = 0; y < h; ++y) {
                lake.grid[x][y] = values[blocky ? ((x / 3 + y / 2 * 3 + round) % 10) : rng() % 10];
                lake.mask.MaskArray[x][y] = rng() % 8 != 0;
            }
        check(lake, 10, 100, 15);
        traced += lake.iso.trk.Count();
    }
    EXPECT_GT(traced, 0); // the random grids do produce lines to check
}

TEST(MovingSquaresTest, DebugRasterShowsTheWalkWithoutChangingTheLines) {
    const std::vector<std::string> basin = {"......", "......", "..##..",
                                            "..##..", "......", "......"};
    Lake plain(basin);
    plain.Run(100, 400, 1000);

    Lake lake(basin);

    QImage img(10, 10, QImage::Format_ARGB32);
    img.fill(0);
    std::vector<float> asked;
    TMovingSquares ms(lake.iso, lake.view, lake.grid, lake.mask.MaskArray);
    ms.DebugImage = &img;
    ms.DepthColor = [&](float f) {
        asked.push_back(f);
        return TColor32{0xFF00FF00};
    };
    ms.GenerateISO(100, 400, 1000);

    EXPECT_EQ(asked, std::vector<float>{0.25f});
    EXPECT_EQ(Show(lake.Tracks()), Show(plain.Tracks()));
    EXPECT_EQ(img.pixel(0, 0), 0xFFFF0000u); // frame around the entry vertex (2, 2)
    EXPECT_EQ(img.pixel(4, 0), 0xFFFF0000u);
    EXPECT_EQ(img.pixel(0, 4), 0xFFFF0000u);
    for (auto [x, y] :
         std::vector<std::pair<int, int>>{{2, 2}, {2, 3}, {2, 4}, {3, 4}, {4, 4}, {4, 2}})
        EXPECT_EQ(img.pixel(x, y), 0xFF00FF00u) << x << "," << y; // the walk
    EXPECT_EQ(img.pixel(3, 3), 0u);

    // A raster smaller than the grid is clipped, not overrun.
    QImage tiny(2, 2, QImage::Format_ARGB32);
    tiny.fill(0);
    model::TGPX other;
    TMovingSquares small(other, lake.view, lake.grid, lake.mask.MaskArray);
    small.DebugImage = &tiny;
    small.GenerateISO(100, 400, 1000);
    EXPECT_EQ(other.trk.Count(), 1);
}

namespace {

std::unique_ptr<model::TGPXtrkseg> Segment(std::int32_t maxdepth, int points, double lat) {
    auto s = std::make_unique<model::TGPXtrkseg>();
    s->maxdepth = maxdepth;
    for (int i = 0; i < points; ++i) {
        auto p = std::make_unique<model::TGPXwpt>();
        p->Latitude = lat;
        p->Longitude = i;
        s->Add(std::move(p));
    }
    return s;
}

struct Project {
    model::TGPX gpx;
    Project() {
        auto t1 = std::make_unique<model::TGPXtrk>();
        t1->name = "lake";
        t1->Add(Segment(0, 3, 1.0));
        t1->Add(Segment(300, 2, 2.0)); // soundings: not copied
        t1->Add(Segment(0, 4, 3.0));
        gpx.trk.Add(std::move(t1));
        auto t2 = std::make_unique<model::TGPXtrk>();
        t2->Add(Segment(0, 6, 4.0));
        gpx.trk.Add(std::move(t2));
    }
};

} // namespace

TEST(ContourBuilderTest, ShorelinesFirstThenLevelsAndCounts) {
    Project project;
    Lake lake({"......", "......", "..##..", "..##..", "......", "......"});
    lake.iso.trk.Add(std::make_unique<model::TGPXtrk>()); // an earlier build: emptied

    TContourSummary sum =
        BuildContours(lake.iso, project.gpx, lake.view, lake.grid, lake.mask, 400, "100", "100");
    ASSERT_EQ(lake.Names(), (std::vector<std::string>{"Shoreline", "Shoreline", "Shoreline",
                                                      "ISO 100 cm", "ISO 200 cm", "ISO 300 cm"}));
    const double lats[] = {1.0, 3.0, 4.0};
    const int counts[] = {3, 4, 6};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(lake.iso.trk[i]->Count(), 1);
        EXPECT_EQ(lake.iso.trk[i]->trkseg(0)->Count(), counts[i]);
        EXPECT_EQ(lake.iso.trk[i]->trkseg(0)->First()->Latitude, lats[i]);
    }
    EXPECT_EQ(sum.NumTracks, 6);
    EXPECT_EQ(sum.NumPoints, (3 + 3) + (4 + 3) + (6 + 3) + 3 * (5 + 3));
    EXPECT_EQ(sum.NumIsoTracksText(), "# Tracks: 6");
    EXPECT_EQ(sum.GeneratedPointsText(), "# Points: 46");
    EXPECT_EQ(CountPoints(lake.iso, 0), 3 + 4 + 6 + 3 * 5);

    // The numeric form used by the batch tool builds the same document.
    Lake again({"......", "......", "..##..", "..##..", "......", "......"});
    BuildContours(again.iso, project.gpx, again.view, again.grid, again.mask, 400, 100, 100);
    EXPECT_EQ(again.Names(), lake.Names());
}

TEST(ContourBuilderTest, LevelsInFeetLieAtExactMultiplesOf3048Millimetres) {
    Project project;
    Lake lake({"......", "......", "..##..", "..##..", "......", "......"});
    // The deep cells hold 1 x MaxDepth = 400 cm = 13.12 ft: levels 4, 8 and 12 ft.
    BuildContours(lake.iso, project.gpx, lake.view, lake.grid, lake.mask, 400, 4, 4, nullptr, {},
                  depth::TDepthUnit::Feet);
    ASSERT_EQ(lake.Names(), (std::vector<std::string>{"Shoreline", "Shoreline", "Shoreline",
                                                      "ISO 4 ft", "ISO 8 ft", "ISO 12 ft"}));
    const double cm[] = {121.92, 243.84, 365.76};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lake.iso.trk[3 + i]->trkseg(0)->First()->HBdepth, cm[i]) << i;
}

TEST(ContourBuilderTest, RefusedBuildLeavesOnlyTheShorelines) {
    struct Case {
        std::string start, step;
        std::int32_t maxDepth;
        const char *says;
    };
    const std::vector<Case> cases = {
        {"100", "abc", 400, "\"abc\" is not a valid integer value"},
        {"1e2", "100", 400, "\"1e2\" is not a valid integer value"},
        {"x", "y", 400, "\"y\""}, // the step box is read first
        {"100", "0", 400, "step"},
        {"100", "100", 0, "0 cm"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.says);
        Project project;
        Lake lake({"......", "......", "..##..", "..##..", "......", "......"});
        try {
            BuildContours(lake.iso, project.gpx, lake.view, lake.grid, lake.mask, c.maxDepth,
                          c.start, c.step);
            ADD_FAILURE() << "no error";
        } catch (const ContourBuildError &e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        EXPECT_EQ(lake.Names(), (std::vector<std::string>{"Shoreline", "Shoreline", "Shoreline"}));
    }

    // A mask of another size than the grid would be read out of bounds.
    Project project;
    Lake lake({"......", "......", "..##..", "..##..", "......", "......"});
    mapview::TMaskArray wrong(5, 6);
    EXPECT_THROW(BuildContours(lake.iso, project.gpx, lake.view, lake.grid, wrong, 400, 100, 100),
                 ContourBuildError);
}
