#include "mapview/BandRaster.h"
#include "mapview/GPXDraw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace mapview;

namespace {

model::TGPXtrkseg *AddSegment(model::TGPX &doc, std::vector<std::array<double, 3>> points,
                              std::int32_t maxdepth = 0) {
    if (doc.trk.Empty())
        doc.trk.Add(std::make_unique<model::TGPXtrk>());
    auto seg = std::make_unique<model::TGPXtrkseg>();
    for (const auto &p : points) {
        auto w = std::make_unique<model::TGPXwpt>();
        w->Latitude = p[0];
        w->Longitude = p[1];
        w->HBdepth = p[2];
        seg->Add(std::move(w));
    }
    seg->maxdepth = maxdepth;
    return doc.trk.First()->Add(std::move(seg));
}

struct View {
    model::TGPX doc;
    TImageControl image;
    TMaskArray mask{0, 0}, shore{0, 0};
    TGPXDraw view;
    View(int w, int h) : image(w, h), mask(w, h), shore(w, h) {
        view.GPXd = &doc;
        view.Image = &image;
        view.MaskArray = &mask;
        view.ShoreArray = &shore;
        view.SetWidth(w);
        view.SetHeight(h);
    }
};

} // namespace

TEST(GPXDrawViewport, FitScaleAndCentring) {
    View v(1000, 500);
    AddSegment(v.doc, {{50.00, 10.00, 0}, {50.05, 10.10, 0}});
    v.view.ResetBBox(false, false);
    EXPECT_NEAR(v.view.BBox.Rx, 10000, 1e-6);
    EXPECT_NEAR(v.view.BBox.Ry, 10000, 1e-6);
    EXPECT_NEAR(v.view.BBox.Rm, 10000, 1e-6);
    EXPECT_EQ(v.view.LoToX(10.10), 655);
    EXPECT_EQ(v.view.LaToY(50.05), 0);
    const double rm = v.view.BBox.Rm;

    v.view.ResetBBox(true, false);
    EXPECT_EQ(v.view.LoToX(10.00), 172);
    EXPECT_EQ(v.view.LaToY(50.00), 500);
    EXPECT_TRUE(v.view.BBox.Complete);

    v.view.ResetBBox(true, true);
    EXPECT_DOUBLE_EQ(v.view.BBox.Rm * 1.01, rm);

    model::TPoint4D2 corner;
    corner.Longitude = v.view.XToLo(1000);
    corner.Latitude = v.view.YToLa(500);
    EXPECT_TRUE(v.view.IsOnScreen(corner)); // column W and row H count
    corner.Longitude = v.view.XToLo(-1);
    corner.Latitude = v.view.YToLa(0);
    EXPECT_FALSE(v.view.IsOnScreen(corner));
}

TEST(GPXDrawViewport, DegenerateDocumentsKeepNoScale) {
    View v(100, 100);
    AddSegment(v.doc, {{50, 10, 0}, {50, 11, 0}}); // one parallel
    v.view.ResetBBox(true, true);
    EXPECT_EQ(v.view.BBox.Rm, 0);
    EXPECT_EQ(v.view.XToLo(50), 0);
    EXPECT_EQ(v.view.LoToX(10.5), 0);
    EXPECT_EQ(v.view.LaToY(50), 100);
    EXPECT_FALSE(v.view.ZoomIn());
}

TEST(GPXDrawViewport, ZoomPanAndRounding) {
    View v(1000, 500);
    AddSegment(v.doc, {{50.00, 10.00, 0}, {50.05, 10.10, 0}});
    v.view.ResetBBox(false, false);
    model::TBBox before = v.view.BBox;
    ASSERT_TRUE(v.view.ZoomIn());
    // 37 rows off the top and the bottom of 500: the height decides the new scale
    EXPECT_NEAR(v.view.BBox.Rm, before.Rm * 500.0 / 426.0, 1e-6 * before.Rm);
    ASSERT_TRUE(v.view.ZoomOut());
    EXPECT_NE(v.view.BBox.Rm, before.Rm); // the steps do not cancel exactly

    v.view.ResetBBox(false, false);
    v.view.MouseX = 0, v.view.MouseY = 0;
    v.view.MoveMouseTo(100, 100); // no anchor: only sets it
    EXPECT_EQ(v.view.BBox.O, before.O);
    EXPECT_EQ(v.view.MouseX, 100);
    v.view.MoveMouseTo(110, 95);
    EXPECT_EQ(v.view.LoToX(10.00), 10); // the map follows the mouse
    EXPECT_EQ(v.view.LaToY(50.00), 495);
    EXPECT_NEAR(v.view.BBox.Rm, before.Rm, 1e-9 * before.Rm);

    v.view.MouseX = 10, v.view.MouseY = 10;
    model::TBBox kept = v.view.BBox;
    EXPECT_FALSE(v.view.ZoomMouseTo(10, 200)); // no width
    EXPECT_EQ(v.view.BBox.N, kept.N);
    EXPECT_TRUE(v.view.ZoomMouseTo(110, 60));

    // Half a pixel past a column rounds to the even one.
    View r(100, 100);
    AddSegment(r.doc, {{0.5, 0.5, 0}, {1.5, 1.5, 0}});
    r.view.ResetBBox(false, false);
    const double rmK = r.view.BBox.Rm * static_cast<double>(TGPXDraw::k);
    EXPECT_EQ(r.view.LoToX(0.5 + 2.5 / rmK), 2);
    EXPECT_EQ(r.view.LoToX(0.5 + 3.5 / rmK), 4);
}

TEST(GPXDrawViewport, ZoomAtKeepsThePositionUnderThePointer) {
    View v(1000, 500);
    AddSegment(v.doc, {{50.00, 10.00, 0}, {50.05, 10.10, 0}});
    v.view.ResetBBox(true, true);
    // In and out, about corners, the centre and an off-centre pixel; each step keeps the
    // anchor on its pixel and scales by the factor asked for.
    const struct {
        int x, y;
        double factor;
    } steps[] = {{0, 0, 1.25},    {999, 499, 1.25},   {500, 250, 0.8},
                 {137, 421, 3.0}, {811, 37, 1 / 3.0}, {1, 498, 1.1}};
    for (const auto &s : steps) {
        const double lo = v.view.XToLo(s.x), la = v.view.YToLa(s.y), rm = v.view.BBox.Rm;
        ASSERT_TRUE(v.view.ZoomAt(s.x, s.y, s.factor)) << s.x << "," << s.y;
        EXPECT_NEAR(v.view.BBox.Rm, rm * s.factor, 1e-9 * rm);
        EXPECT_EQ(v.view.LoToX(lo), s.x);
        EXPECT_EQ(v.view.LaToY(la), s.y);
        EXPECT_NEAR(v.view.XToLo(s.x), lo, 1e-12);
        EXPECT_NEAR(v.view.YToLa(s.y), la, 1e-12);
    }
    // The frame's own scale agrees with the one set: a later pan or box zoom starts from it.
    const double rm = v.view.BBox.Rm;
    v.view.MoveFromTo(10, 10, 20, 20);
    EXPECT_NEAR(v.view.BBox.Rm, rm, 1e-6 * rm);

    // Beyond the scales the map can show, and without a frame, nothing moves.
    const model::TBBox kept = v.view.BBox;
    EXPECT_FALSE(v.view.ZoomAt(500, 250, 1e12));
    EXPECT_FALSE(v.view.ZoomAt(500, 250, 1e-9));
    EXPECT_FALSE(v.view.ZoomAt(500, 250, 0));
    EXPECT_FALSE(v.view.ZoomAt(500, 250, std::nan("")));
    EXPECT_EQ(v.view.BBox.N, kept.N);
    EXPECT_EQ(v.view.BBox.O, kept.O);
    EXPECT_EQ(v.view.BBox.Rm, kept.Rm);
    View empty(100, 100);
    EXPECT_FALSE(empty.view.ZoomAt(50, 50, 2));
}

TEST(GPXDrawRender, PiecesTakeTheirLookFromTheFirstPoint) {
    View v(200, 100);
    v.view.ShadowMapEnabled = true;
    v.view.SetWidth(200);
    v.view.SetHeight(100);
    v.view.Options.BackGroundColor = 0xFF000000;
    v.view.DepthColorShallow = 0xFF00FF00;
    v.view.MaxDepth = 1000;
    v.view.DepthColor = [](float offset) { return offset >= 0.5f ? 0xFF0000FFu : 0xFFFF0000u; };
    v.view.ShadowMapTrackWidth = 10;
    // left half: from depth 0 to 500; right half: from 500 to 0
    AddSegment(v.doc, {{50.0, 10.0, 0}, {50.0, 10.1, 500}, {50.0, 10.2, 0}});
    // a route around them: the view fits it, but routes are not drawn
    auto frame = std::make_unique<model::TGPXrte>();
    for (auto [lat, lon] : {std::pair{49.9, 9.9}, std::pair{50.2, 10.3}}) {
        auto w = std::make_unique<model::TGPXwpt>();
        w->Latitude = lat, w->Longitude = lon;
        frame->Add(std::move(w));
    }
    v.doc.rte.Add(std::move(frame));
    AddSegment(v.doc, {{50.1, 10.0, 0}, {50.1, 10.2, 0}});
    AddSegment(v.doc, {{49.9, 10.1, 600}}); // one point: nothing to draw
    AddSegment(v.doc, {{50.15, 10.25, 300}});
    v.view.ResetBBox(true, true);
    v.view.Redraw(true);
    const int yRow = v.view.LaToY(50.0);
    const int xLeft = (v.view.LoToX(10.0) + v.view.LoToX(10.1)) / 2;
    const int xRight = (v.view.LoToX(10.1) + v.view.LoToX(10.2)) / 2;
    EXPECT_EQ(v.image.Bitmap.pixel(xLeft, yRow), 0xFF00FF00u);
    EXPECT_EQ(v.image.Bitmap.pixel(xRight, yRow), 0xFF0000FFu);
    EXPECT_EQ(v.view.ShadowMap.pixel(xLeft, yRow), 0xFFFFFFFFu);  // no depth: no band
    EXPECT_NE(v.view.ShadowMap.pixel(xRight, yRow), 0xFFFFFFFFu); // band along soundings
    EXPECT_NE(v.view.ShadowMap.pixel(xRight, yRow - 4), 0xFFFFFFFFu);
    EXPECT_EQ(v.view.ShadowMap.pixel(xRight, yRow - 8), 0xFFFFFFFFu);
    // A lone sounding is not drawn, but the band holds a disc of its width around it.
    const int xLone = v.view.LoToX(10.25), yLone = v.view.LaToY(50.15);
    EXPECT_EQ(v.image.Bitmap.pixel(xLone, yLone), 0xFF000000u);
    EXPECT_NE(v.view.ShadowMap.pixel(xLone + 3, yLone - 3), 0xFFFFFFFFu);
    EXPECT_EQ(v.view.ShadowMap.pixel(xLone + 4, yLone - 4), 0xFFFFFFFFu);

    // Disabled segments are not drawn; a selected one is drawn wider on top.
    v.doc.trk.First()->Get(0)->SetEnabled(false);
    v.doc.Selection.Add(v.doc.trk.First()->Get(1));
    v.view.Options.SelectedColor = 0xFFFF00FF;
    v.view.Redraw(true);
    EXPECT_EQ(v.image.Bitmap.pixel(xRight, yRow), 0xFF000000u);
    EXPECT_EQ(v.view.ShadowMap.pixel(xRight, yRow), 0xFFFFFFFFu);
    const int ySel = v.view.LaToY(50.1);
    EXPECT_EQ(v.image.Bitmap.pixel(xLeft, ySel), 0xFFFF00FFu);
    EXPECT_EQ(v.image.Bitmap.pixel(xLeft, ySel + 1), 0xFFFF00FFu); // width 4

    model::TGPXtrkseg single;
    single.Add(std::make_unique<model::TGPXwpt>());
    EXPECT_TRUE(v.view.DrawPointList(single, false, false));
}

TEST(GPXDrawRender, CrossMarkerIsClipped) {
    View v(50, 50);
    AddSegment(v.doc, {{0, 0, 0}, {1, 1, 0}});
    v.view.ResetBBox(false, false);
    v.image.Bitmap.fill(0xFF000000);
    model::TPoint4D2 p;
    p.Longitude = v.view.XToLo(5);
    p.Latitude = v.view.YToLa(5);
    ASSERT_TRUE(v.view.DrawPoint4D(&p, 0xFFFF0000, 2, ""));
    EXPECT_EQ(v.image.Bitmap.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(v.image.Bitmap.pixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(v.image.Bitmap.pixel(10, 5), 0xFF000000u);
    EXPECT_FALSE(v.view.DrawPoint4D(nullptr, 0xFFFF0000, 2, ""));
}

TEST(GPXDrawPicking, CutterRemovesPointsAndEmptiedLists) {
    View v(100, 100);
    auto rte = std::make_unique<model::TGPXrte>();
    for (double d : {0.2, 0.3}) {
        auto w = std::make_unique<model::TGPXwpt>();
        w->Latitude = 50 + d, w->Longitude = 10 + d;
        rte->Add(std::move(w));
    }
    v.doc.rte.Add(std::move(rte));
    AddSegment(v.doc, {{50.1, 10.1, 0}, {50.9, 10.9, 0}});
    AddSegment(v.doc, {{50.4, 10.4, 0}});
    auto w = std::make_unique<model::TGPXwpt>();
    w->Latitude = 50.25, w->Longitude = 10.25;
    v.doc.wpt.Add(std::move(w));
    v.view.ResetBBox(false, false);
    // The box from (0.15 .. 0.5) in both directions; the segment's first point stays outside.
    const int left = v.view.LoToX(10.15), right = v.view.LoToX(10.5);
    const int top = v.view.LaToY(50.5), bottom = v.view.LaToY(50.15);
    v.view.MouseX = left, v.view.MouseY = top;
    v.view.CutterMouseTo(right, bottom);
    EXPECT_EQ(v.doc.wpt.Count(), 0);
    EXPECT_EQ(v.doc.rte.Count(), 0);
    ASSERT_EQ(v.doc.trk.Count(), 1);
    ASSERT_EQ(v.doc.trk[0]->Count(), 1);
    EXPECT_EQ(v.doc.trk[0]->First()->Count(), 2);

    // Points on the border survive; a track emptied of all its segments goes.
    model::TGPX &doc = v.doc;
    doc.trk.FreeAll();
    AddSegment(doc, {{50.5, 10.5, 0}});
    v.view.CutterTo({v.view.LoToX(10.5), 100 - v.view.LaToY(50.5), 100, 0});
    EXPECT_EQ(doc.trk.Count(), 1);
    v.view.CutterTo({0, 100, 100, 0});
    EXPECT_EQ(doc.trk.Count(), 0);
}

TEST(GPXDrawPicking, SelectForCutPicksTheEarlierOfEquallyNearPoints) {
    View v(100, 100);
    model::TGPXtrkseg *seg = AddSegment(v.doc, {{50, 10, 0}, {50, 10.2, 0}, {50, 10.1, 0}});
    model::TPoint4D2 where;
    where.Latitude = 50.05, where.Longitude = 10.1;
    v.view.SelectForCutSelected(where);
    EXPECT_EQ(v.view.wptSelection, nullptr); // nothing selected
    v.doc.Selection.Add(seg);
    v.view.SelectForCutSelected(where);
    EXPECT_EQ(v.view.wptSelection, seg->Get(2));
    where.Longitude = 10.15; // halfway between the second and the third point
    v.view.SelectForCutSelected(where);
    EXPECT_EQ(v.view.wptSelection, seg->Get(1));
    v.doc.Selection.Add(v.doc.wpt.Count() ? v.doc.wpt[0] : seg->Get(0));
    v.view.SelectForCutSelected(where); // two entries: unchanged
    EXPECT_EQ(v.view.wptSelection, seg->Get(1));
}

TEST(GPXDrawShoreline, PolygonsShoreCellsAndMask) {
    View v(100, 100);
    AddSegment(v.doc, {{50.0, 10.0, 0},
                       {50.0, 10.0, 0},
                       {50.0, 10.5, 0},
                       {50.5, 10.5, 0},
                       {50.5, 10.0, 0},
                       {50.0, 10.0, 0}});
    AddSegment(v.doc, {{50.2, 10.2, 0}, {50.2, 10.3, 0}, {50.3, 10.3, 0}, {50.3, 10.2, 0}});
    AddSegment(v.doc, {{50.4, 10.4, 0}}); // one point: two equal vertices, cuts out nothing
    AddSegment(v.doc, {{50.1, 10.1, 300}, {50.2, 10.2, 400}}, 400); // soundings: not shore
    v.view.ResetBBox(true, true);
    v.view.GenerateAllShorelinePolygons();
    ASSERT_EQ(v.view.PolygonCount(), 3);
    ASSERT_EQ(v.view.ShorelinePolygons[0].size(), 5u); // the repeated first pixel collapses
    ASSERT_EQ(v.view.ShorelinePolygons[2].size(), 2u);
    EXPECT_EQ(v.view.ShorelinePolygons[2][0], v.view.ShorelinePolygons[2][1]);
    EXPECT_EQ(v.view.ShorelinePolygonsFloat[0][2].X, v.view.ShorelinePolygons[0][2].X);
    const TPoint dot = v.view.ShorelinePolygons[2][0];
    EXPECT_TRUE(v.shore.Get(dot.X, dot.Y));
    const TPoint corner = v.view.ShorelinePolygons[0][2]; // the north-east corner
    EXPECT_TRUE(v.shore.Get(corner.X, corner.Y));
    // Inside the outer shore is water, the island is cut out.
    EXPECT_TRUE(v.mask.Get(v.view.LoToX(10.1), v.view.LaToY(50.4)));
    EXPECT_FALSE(v.mask.Get(v.view.LoToX(10.27), v.view.LaToY(50.23)));
    EXPECT_FALSE(v.mask.Get(0, 0));
}

// A survey of many pieces is banded on several threads; its band must be the union of the
// bands of its segments taken one at a time, whatever way the rows are shared out.
TEST(Band, ManyPiecesGiveTheUnionOfTheirSegmentsBands) {
    View v(400, 300);
    std::mt19937 random(3);
    std::uniform_real_distribution<double> step(-2e-5, 2e-5);
    std::vector<model::TGPXtrkseg *> segments;
    for (int s = 0; s < 50; ++s) {
        std::vector<std::array<double, 3>> points;
        double lat = 47 + s * 1e-4, lon = 8;
        for (int i = 0; i < 1000; ++i) {
            lat += step(random), lon += 1e-5 + step(random);
            points.push_back({lat, lon, i % 50 == 0 ? 0.0 : 300.0}); // some outline pieces
        }
        segments.push_back(AddSegment(v.doc, points, 300));
    }
    v.view.ResetBBox(true, true);
    const TBooleanArray whole = ComputeBand(v.doc, v.view.Viewport(), 24);

    TBooleanArray parts;
    parts.SetSize(400, 300);
    for (model::TGPXtrkseg *s : segments) {
        model::TGPX one;
        AddSegment(one, {})->CopyFrom(*s);
        const TBooleanArray band = ComputeBand(one, v.view.Viewport(), 24);
        for (int x = 0; x < 400; ++x)
            for (int y = 0; y < 300; ++y)
                parts[x][y] |= band[x][y];
    }
    int cells = 0;
    for (int x = 0; x < 400; ++x)
        for (int y = 0; y < 300; ++y) {
            ASSERT_EQ(whole[x][y], parts[x][y]) << x << "," << y;
            cells += whole[x][y] != 0;
        }
    EXPECT_GT(cells, 1000);
}
