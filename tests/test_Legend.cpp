#include "depth/Legend.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdint>

using namespace depth;

namespace {

// A chart with every pixel different, so that a moved or repainted pixel shows.
QImage Chart(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, 0xFF000000u | static_cast<std::uint32_t>(x * 977 + y * 131));
    return img;
}

mapview::TViewport Frame(int w, int h) {
    mapview::TViewport v;
    v.Width = w;
    v.Height = h;
    v.BBox.O = 10.0;
    v.BBox.S = 50.0;
    v.BBox.Rm = 20000.0; // about 5.5 m per pixel
    return v;
}

TColor32Gradient Gradient() {
    TColor32Gradient g;
    g.AddColorStop(0, 0xFF00FF00);
    g.AddColorStop(0.5, 0xFFFFFF00);
    g.AddColorStop(1, 0xFF0000FF);
    return g;
}

int InkIn(const QImage &img, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += img.pixel(x, y) != 0xFFFFFFFFu;
    return n;
}

} // namespace

TEST(Legend, AddsAStripAndKeepsTheChart) {
    struct Case {
        int w, h;
    };
    for (const Case c : {Case{200, 100}, Case{240, 700}}) {
        const QImage chart = Chart(c.w, c.h);
        const QImage out =
            AddLegend(chart, Gradient(), 1234, Frame(c.w, c.h), TDepthUnit::Metres, "2024-05-01");
        ASSERT_EQ(out.width(), c.w + kLegendWidth);
        ASSERT_EQ(out.height(), std::max(c.h, kLegendMinHeight));
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                ASSERT_EQ(out.pixel(x, y), chart.pixel(x, y)) << x << "," << y;
        // Below a short chart the canvas is white.
        EXPECT_EQ(InkIn(out, 0, c.h, c.w, out.height()), 0);
        // The bar runs from the colour of depth 0 at the top to that of MaxDepth below.
        EXPECT_EQ(out.pixel(c.w + 20, 34), 0xFF00FF00u);
        int bottom = 34;
        while (out.pixel(c.w + 20, bottom + 1) != 0xFF000000u) // down to the frame line
            ++bottom;
        EXPECT_EQ(out.pixel(c.w + 20, bottom), 0xFF0000FFu);
        // Labels beside the bar, the arrow, the scale bar and the date below it.
        EXPECT_GT(InkIn(out, c.w + 40, 30, out.width(), bottom), 100);
        EXPECT_GT(InkIn(out, c.w, bottom + 10, out.width(), out.height()), 200);
    }
}

TEST(Legend, UnitAndDateShowInTheStrip) {
    const QImage chart = Chart(100, 400);
    const auto frame = Frame(100, 400);
    const QImage metres = AddLegend(chart, Gradient(), 1234, frame, TDepthUnit::Metres, "");
    const QImage feet = AddLegend(chart, Gradient(), 1234, frame, TDepthUnit::Feet, "");
    const QImage dated =
        AddLegend(chart, Gradient(), 1234, frame, TDepthUnit::Metres, "2024-05-01");
    auto differing = [](const QImage &a, const QImage &b, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 100; x < a.width(); ++x)
                n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    };
    EXPECT_GT(differing(metres, feet, 0, 400), 50); // labels and scale in feet
    EXPECT_EQ(differing(metres, dated, 0, 380), 0); // the date only at the bottom
    EXPECT_GT(differing(metres, dated, 380, 400), 20);
}

TEST(Legend, ScaleBarLengthIsANiceNumberThatFits) {
    struct Case {
        double metresPerPixel;
        TDepthUnit unit;
        int maxPixels;
        double length;
    };
    const Case cases[] = {
        {1.0, TDepthUnit::Metres, 136, 100}, {5.5, TDepthUnit::Metres, 136, 500},
        {0.01, TDepthUnit::Metres, 136, 1},  {3.0, TDepthUnit::Metres, 136, 200},
        {1.0, TDepthUnit::Feet, 136, 200},   {0.3048, TDepthUnit::Feet, 100, 100},
        {0.0, TDepthUnit::Metres, 136, 0},   {1.0, TDepthUnit::Metres, 0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ScaleBarLength(c.metresPerPixel, c.unit, c.maxPixels), c.length)
            << c.metresPerPixel << " m/px";
    // 1/20000 degree of latitude is about 5.56 m; across, cos(50 deg) / k of that.
    EXPECT_NEAR(MetresPerPixel(Frame(100, 100)), 5.5660 * 0.6428 / (36.0 / 55.0), 0.01);
}
