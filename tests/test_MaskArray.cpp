#include "mapview/MaskArray.h"

#include <gtest/gtest.h>

#include <random>

using namespace mapview;

namespace {
std::vector<std::pair<int, int>> TrueCells(const TMaskArray &m) {
    std::vector<std::pair<int, int>> cells;
    for (int x = 0; x < m.array_width; ++x)
        for (int y = 0; y < m.array_height; ++y)
            if (m.Get(x, y))
                cells.push_back({x, y});
    return cells;
}
const TArrayOfPoint kSquare = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
} // namespace

TEST(PointInPolygon, SquareOwnsItsRightAndBottomEdges) {
    TPtInRgn test(kSquare);
    for (int x = -1; x <= 11; ++x)
        for (int y = -1; y <= 11; ++y) {
            bool expected = x > 0 && x <= 10 && y > 0 && y <= 10;
            EXPECT_EQ(test.PtInRgn3(kSquare, {x, y}), expected) << x << "," << y;
            EXPECT_EQ(PointInPolygon(kSquare, {x, y}), expected) << x << "," << y;
        }
    EXPECT_FALSE(PointInPolygon({}, {0, 0}));
}

TEST(MaskArray, LinesUseTheErrorStartingAtBig) {
    TMaskArray m(20, 20);
    m.DrawLine(0, 0, 10, 5);
    std::vector<std::pair<int, int>> expected;
    int y = 0;
    for (int x = 0; x <= 10; ++x) {
        if (x > 0 && x % 2 == 0)
            ++y; // the minor steps fall at the end of each run
        expected.push_back({x, y});
    }
    EXPECT_EQ(TrueCells(m), expected);

    TMaskArray dot(10, 10);
    dot.DrawLine(3, 3, 3, 3);
    EXPECT_EQ(TrueCells(dot), (std::vector<std::pair<int, int>>{{3, 3}}));

    TMaskArray clipped(10, 10);
    clipped.DrawLine(-5, 0, 5, 0);
    EXPECT_EQ(TrueCells(clipped).size(), 6u);
    EXPECT_TRUE(clipped.Get(0, 0) && clipped.Get(5, 0));

    TMaskArray steep(10, 10);
    steep.DrawLine(9, 9, 7, 3); // y major, stepping down and left; ends exactly at the end
    EXPECT_TRUE(steep.Get(9, 9) && steep.Get(7, 3));
    EXPECT_EQ(TrueCells(steep).size(), 7u);
}

TEST(MaskArray, ResizeKeepsTheCommonCells) {
    TMaskArray m(100, 100);
    m.DrawLine(0, 0, 99, 99);
    m.Resize(50, 200);
    EXPECT_EQ(m.array_width, 50);
    EXPECT_EQ(m.array_height, 200);
    EXPECT_TRUE(m.Get(49, 49));
    EXPECT_FALSE(m.Get(49, 150));
    EXPECT_EQ(TrueCells(m).size(), 50u);
    m.Clear();
    EXPECT_TRUE(TrueCells(m).empty());
}

TEST(MaskArray, ShorelinesAndIslands) {
    const TArrayOfPoint outer = {{2, 2}, {40, 2}, {40, 30}, {2, 30}};
    const TArrayOfPoint island = {{10, 10}, {20, 10}, {20, 20}, {10, 20}};
    const TArrayOfPoint other = {{50, 2}, {60, 2}, {60, 10}};

    TMaskArray none(20, 10);
    none.DrawShorelineAndIslands({});
    EXPECT_EQ(TrueCells(none).size(), 19u * 9u); // all but column 0 and row 0
    EXPECT_FALSE(none.Get(0, 5) || none.Get(5, 0));

    TMaskArray a(64, 40), b(64, 40);
    a.DrawShorelineAndIslands({outer, island});
    b.DrawShorelineAndIslands({island, outer});
    EXPECT_EQ(TrueCells(a), TrueCells(b));
    EXPECT_TRUE(a.Get(5, 5));
    EXPECT_FALSE(a.Get(15, 15));
    EXPECT_FALSE(a.Get(45, 5));

    TMaskArray apart(64, 40);
    apart.DrawShorelineAndIslands({outer, other});
    EXPECT_TRUE(TrueCells(apart).empty());

    TMaskArray image(4, 3);
    image.DrawLine(1, 1, 2, 1);
    QImage img(3, 3, QImage::Format_ARGB32);
    image.MaskToImage(img);
    EXPECT_EQ(img.pixel(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(img.pixel(0, 0), 0xFF000000u);
}

TEST(MaskArray, RowFillGivesExactlyThePerCellCells) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        const int w = 40 + static_cast<int>(rng() % 60), h = 30 + static_cast<int>(rng() % 60);
        std::uniform_int_distribution<int> px(-20, w + 20), py(-20, h + 20);
        TArrayOfPoint poly(3 + rng() % 40);
        for (TPoint &p : poly)
            p = {px(rng), py(rng)};
        if (round % 3 == 0) // axis-aligned runs and repeated vertices
            for (std::size_t i = 1; i < poly.size(); i += 2)
                poly[i].Y = poly[i - 1].Y;
        bool invert = round % 5 == 0;
        TMaskArray fast(w, h), slow(w, h);
        if (invert) {
            fast.DrawShorelineAndIslands({});
            slow.DrawShorelineAndIslands({});
        }
        fast.DrawFilledPolygon(poly, invert);
        slow.DrawFilledPolygonPerCell(poly, invert);
        ASSERT_EQ(TrueCells(fast), TrueCells(slow)) << "round " << round;
    }
}
