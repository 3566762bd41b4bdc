#include "model/GPS.h"
#include "model/OwnedList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace model;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6378137.0;
constexpr double kMetresPerDegree = kEarthRadius * kPi / 180.0; // about 111319.49 m

std::unique_ptr<TPoint4D2> Pt(double lat, double lon, bool enabled = true) {
    auto p = std::make_unique<TPoint4D2>();
    p->Latitude = lat;
    p->Longitude = lon;
    p->enabled = enabled;
    return p;
}

TPoint4D2 At(double lat, double lon) {
    TPoint4D2 p;
    p.Latitude = lat;
    p.Longitude = lon;
    return p;
}

// Haversine on the same sphere: an independent reference for the law of cosines,
// and well conditioned where the law of cosines is not.
double Haversine(double lat1, double lon1, double lat2, double lon2) {
    const double k = kPi / 180.0;
    const double dphi = (lat2 - lat1) * k, dlambda = (lon2 - lon1) * k;
    const double a =
        std::sin(dphi / 2) * std::sin(dphi / 2) +
        std::cos(lat1 * k) * std::cos(lat2 * k) * std::sin(dlambda / 2) * std::sin(dlambda / 2);
    return 2 * std::asin(std::min(1.0, std::sqrt(a))) * kEarthRadius;
}

void SetBounds(TBBox &b, double n, double s, double e, double o) {
    b.N = n, b.S = s, b.E = e, b.O = o;
}

void ExpectBounds(const TBBox &b, double n, double s, double e, double o) {
    EXPECT_DOUBLE_EQ(b.N, n);
    EXPECT_DOUBLE_EQ(b.S, s);
    EXPECT_DOUBLE_EQ(b.E, e);
    EXPECT_DOUBLE_EQ(b.O, o);
}

// A list of the given (lat, lon) points, all enabled.
void Fill(TPointList2 &list, std::initializer_list<std::pair<double, double>> pts) {
    for (auto [lat, lon] : pts)
        list.Add(Pt(lat, lon));
}

} // namespace

// ---------------------------------------------------------------- TPoint4D2

TEST(Point4D2, CreatedZeroedAndEnabled) {
    TPoint4D2 p;
    EXPECT_EQ(p.Latitude, 0);
    EXPECT_EQ(p.Longitude, 0);
    EXPECT_EQ(p.Altitude, 0);
    EXPECT_EQ(p.HBdepth, 0);
    EXPECT_EQ(p.DateTime, 0);
    EXPECT_EQ(p.Level, 0);
    EXPECT_TRUE(p.enabled);
    EXPECT_FALSE(p.Flagged);
}

TEST(Point4D2, CopyFromTakesTheFixButKeepsLevelAndEnabled) {
    TPoint4D2 src;
    src.Latitude = 47.5;
    src.Longitude = -3.25;
    src.Altitude = 412.0;
    src.HBdepth = 1234.5;
    src.Flagged = true;
    src.DateTime = 45000.75;
    src.Level = 9;
    src.enabled = true;

    TPoint4D2 dst;
    dst.Level = 3;
    dst.enabled = false;
    dst.CopyFrom(src);

    EXPECT_EQ(dst.Latitude, 47.5);
    EXPECT_EQ(dst.Longitude, -3.25);
    EXPECT_EQ(dst.Altitude, 412.0);
    EXPECT_EQ(dst.HBdepth, 1234.5);
    EXPECT_TRUE(dst.Flagged); // the flag belongs to the depth reading
    EXPECT_EQ(dst.DateTime, 45000.75);
    EXPECT_EQ(dst.Level, 3);
    EXPECT_FALSE(dst.enabled);
}

TEST(Point4D2Distance, IdenticalPositionsAreExactlyZero) {
    const TPoint4D2 cases[] = {At(0, 0), At(52.520008, 13.404954), At(-89.999999, 179.5), At(90, 0),
                               At(-33.3, -70.7)};
    for (const TPoint4D2 &p : cases)
        for (bool almost : {false, true}) {
            SCOPED_TRACE(p.Coord());
            EXPECT_EQ(p.WGS84Distance(p.Longitude, p.Latitude, almost), 0.0);
            TPoint4D2 q = At(p.Latitude, p.Longitude);
            EXPECT_EQ(p.WGS84Distance(q, almost), 0.0);
        }
}

TEST(Point4D2Distance, MatchesGreatCircleOnTheWgs84Sphere) {
    struct Case {
        double lat1, lon1, lat2, lon2;
    } const cases[] = {
        {0, 0, 1, 0},   // one degree along a meridian
        {45, 7, 46, 7}, // same, away from the equator
        {0, 0, 0, 1},   // one degree along the equator
        {60, 0, 60, 1}, // a degree of longitude shrinks with latitude
        {52.52, 13.40, 48.14, 11.58},
        {-33.9, 18.4, -34.1, 18.9},
        {10, -170, -10, 170},
        {0, 0, 0, 180}, // antipodes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.lat1 << "," << c.lon1 << " -> " << c.lat2 << "," << c.lon2);
        TPoint4D2 a = At(c.lat1, c.lon1), b = At(c.lat2, c.lon2);
        const double expected = Haversine(c.lat1, c.lon1, c.lat2, c.lon2);
        EXPECT_NEAR(a.WGS84Distance(b, false), expected, 1e-3);
        EXPECT_NEAR(b.WGS84Distance(a, false), expected, 1e-3);
        EXPECT_NEAR(a.WGS84Distance(c.lon2, c.lat2, false), expected, 1e-3);
    }
    EXPECT_NEAR(At(0, 0).WGS84Distance(At(1, 0), false), kMetresPerDegree, 1e-3);
    EXPECT_NEAR(At(0, 0).WGS84Distance(At(1, 0), false), 111319.49, 0.01);
}

TEST(Point4D2Distance, LongitudeComesFirst) {
    TPoint4D2 p = At(60, 0);
    // (lon 1, lat 60) is a short hop east; (lat 1, lon 60) would be thousands of km away.
    EXPECT_NEAR(p.WGS84Distance(1.0, 60.0, false), Haversine(60, 0, 60, 1), 1e-3);
    EXPECT_LT(p.WGS84Distance(1.0, 60.0, false), 60000.0);
}

TEST(Point4D2Distance, NearlyCoincidentPointsGiveSmallFiniteDistance) {
    // Pairs a hair apart; several of them round the cosine term just past 1.
    struct Case {
        double lat1, lon1, lat2, lon2;
    } const cases[] = {
        {-79.97, 8.25, -79.97, 8.25000001},
        {-79.84, 8.25, -79.84, 8.25000001},
        {-78.60, 8.25, -78.60, 8.25000001},
        {-61.13, 8.25, -61.13, 8.25 + 1e-12},
        {45.0, 7.0, 45.0 + 1e-9, 7.0},
        {0.0, 0.0, 1e-10, 1e-10},
        {89.9999999, 10.0, 89.9999999, 10.0000001},
    };
    for (const Case &c : cases)
        for (bool almost : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.lat1 << "," << c.lon1 << " almost=" << almost);
            TPoint4D2 a = At(c.lat1, c.lon1), b = At(c.lat2, c.lon2);
            const double d = a.WGS84Distance(b, almost);
            EXPECT_TRUE(std::isfinite(d)) << d;
            EXPECT_GE(d, 0.0);
            // The law of cosines is noisy this close (a few centimetres), never more.
            EXPECT_LT(d, 1.0);
            const double back = b.WGS84Distance(a, almost);
            EXPECT_TRUE(std::isfinite(back)) << back;
            EXPECT_GE(back, 0.0);
        }
}

TEST(Point4D2Distance, AlmostnulCountsPointsWithinAbout638mAsCoincident) {
    struct Case {
        double metres;
        bool zeroWhenAlmost;
    } const cases[] = {{100, true},  {500, true},   {600, true},
                       {700, false}, {1000, false}, {5000, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.metres);
        TPoint4D2 a = At(10, 20), b = At(10 + c.metres / kMetresPerDegree, 20);
        EXPECT_NEAR(a.WGS84Distance(b, false), c.metres, 0.5);
        if (c.zeroWhenAlmost)
            EXPECT_EQ(a.WGS84Distance(b, true), 0.0);
        else // the distance itself comes from the unrounded cosine
            EXPECT_DOUBLE_EQ(a.WGS84Distance(b, true), a.WGS84Distance(b, false));
    }
}

TEST(Point4D2, IsInBoxIsStrictAndIgnoresBoundOrder) {
    struct Case {
        double lat, lon;
        bool inside;
    } const cases[] = {
        {3.5, 1.5, true},    {3.001, 1.999, true}, {3.0, 1.5, false}, {4.0, 1.5, false},
        {3.5, 1.0, false},   {3.5, 2.0, false},    {3.0, 1.0, false}, {5.0, 1.5, false},
        {3.5, 0.0, false},   {1.5, 3.5, false}, // latitude and longitude swapped
        {-3.5, -1.5, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << "," << c.lon);
        TPoint4D2 p = At(c.lat, c.lon);
        // IsInBox(E, O, S, N): longitudes 1..2, latitudes 3..4, in every order.
        EXPECT_EQ(p.IsInBox(1, 2, 3, 4), c.inside);
        EXPECT_EQ(p.IsInBox(2, 1, 4, 3), c.inside);
        EXPECT_EQ(p.IsInBox(2, 1, 3, 4), c.inside);
        EXPECT_EQ(p.IsInBox(1, 2, 4, 3), c.inside);
    }
}

TEST(Point4D2, CoordinateTexts) {
    struct Case {
        double lat, lon;
        const char *latStr, *lonStr;
    } const cases[] = {
        {0, 0, "0.000000° N", "0.000000° E"},
        {-0.0, -0.0, "0.000000° N", "0.000000° E"}, // negative zero is still "0 or more"
        {-12.5, 8.25, "12.500000° S", "8.250000° E"},
        {47.123456789, -122.987654321, "47.123457° N", "122.987654° W"},
        {-0.0000001, -0.0000001, "0.000000° S", "0.000000° W"},
        {89.9999996, -179.9999999, "90.000000° N", "180.000000° W"},
        {1234.5, 0.0000005000001, "1234.500000° N", "0.000001° E"}, // no thousands separator
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << "," << c.lon);
        TPoint4D2 p = At(c.lat, c.lon);
        EXPECT_EQ(p.LatitudeStr(), c.latStr);
        EXPECT_EQ(p.LongitudeStr(), c.lonStr);
        EXPECT_EQ(p.Coord(), std::string(c.latStr) + ", " + c.lonStr);
    }
    EXPECT_EQ(At(-12.5, 8.25).Coord(), "12.500000° S, 8.250000° E");
}

// ---------------------------------------------------------------- TBBox

TEST(BBox, CreatedZeroedAndIncomplete) {
    TBBox b;
    ExpectBounds(b, 0, 0, 0, 0);
    EXPECT_EQ(b.Rm, 0);
    EXPECT_EQ(b.Rx, 0);
    EXPECT_EQ(b.Ry, 0);
    EXPECT_FALSE(b.Complete);
}

TEST(BBox, ClearKeepsRmAndCopyKeepsComplete) {
    TBBox b;
    SetBounds(b, 4, 3, 2, 1);
    b.Rm = 5, b.Rx = 6, b.Ry = 7;
    b.Complete = true;
    b.Clear();
    ExpectBounds(b, 0, 0, 0, 0);
    EXPECT_EQ(b.Rx, 0);
    EXPECT_EQ(b.Ry, 0);
    EXPECT_EQ(b.Rm, 5); // the view's scale survives
    EXPECT_FALSE(b.Complete);

    TBBox src;
    SetBounds(src, 14, 13, 12, 11);
    src.Rm = 15, src.Rx = 16, src.Ry = 17;
    src.Complete = true;
    TBBox dst;
    dst.Copy(src);
    ExpectBounds(dst, 14, 13, 12, 11);
    EXPECT_EQ(dst.Rm, 15);
    EXPECT_EQ(dst.Rx, 16);
    EXPECT_EQ(dst.Ry, 17);
    EXPECT_FALSE(dst.Complete);

    TBBox done;
    done.Complete = true;
    src.Complete = false;
    done.Copy(src);
    EXPECT_TRUE(done.Complete);
}

TEST(BBox, AddToIncompleteBoxTakesTheOtherWhole) {
    TBBox other;
    SetBounds(other, 50, 40, 10, 5);
    other.Rm = 1.5, other.Rx = 2.5, other.Ry = 3.5;
    other.Complete = false; // Add does not look at it

    TBBox b;
    SetBounds(b, 90, -90, 180, -180); // an incomplete box is replaced, not widened
    b.Add(other);
    ExpectBounds(b, 50, 40, 10, 5);
    EXPECT_EQ(b.Rm, 1.5);
    EXPECT_EQ(b.Rx, 2.5);
    EXPECT_EQ(b.Ry, 3.5);
    EXPECT_TRUE(b.Complete);
}

TEST(BBox, AddToCompleteBoxWidensAndKeepsScale) {
    TBBox b;
    SetBounds(b, 50, 40, 10, 5);
    b.Rm = 1, b.Rx = 2, b.Ry = 3;
    b.Complete = true;

    TBBox inner;
    SetBounds(inner, 45, 42, 8, 6);
    inner.Rm = 9, inner.Rx = 9, inner.Ry = 9;
    b.Add(inner);
    ExpectBounds(b, 50, 40, 10, 5); // never shrinks

    TBBox outer;
    SetBounds(outer, 55, -20, 30, -7);
    b.Add(outer);
    ExpectBounds(b, 55, -20, 30, -7);

    TBBox partly;
    SetBounds(partly, 60, 41, 9, -8);
    b.Add(partly);
    ExpectBounds(b, 60, -20, 30, -8);
    EXPECT_EQ(b.Rm, 1);
    EXPECT_EQ(b.Rx, 2);
    EXPECT_EQ(b.Ry, 3);
    EXPECT_TRUE(b.Complete);
}

TEST(BBox, BoundExactlyOnEquatorOrPrimeMeridianNeverCompletes) {
    struct Case {
        double n, s, e, o;
    } const cases[] = {{0, -5, 3, 1}, {5, 0, 3, 1}, {5, 4, 0, -1}, {5, 4, 3, 0}, {0, 0, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " " << c.s << " " << c.e << " " << c.o);
        TBBox other;
        SetBounds(other, c.n, c.s, c.e, c.o);
        other.Complete = true;
        TBBox b;
        b.Add(other);
        ExpectBounds(b, c.n, c.s, c.e, c.o);
        EXPECT_FALSE(b.Complete);
        b.Add(other);
        EXPECT_FALSE(b.Complete);
    }

    // Widening a complete box onto 0 keeps it complete: Add never clears the flag.
    TBBox b;
    SetBounds(b, -1, -2, 3, 1);
    b.Complete = true;
    TBBox other;
    SetBounds(other, 0, -2, 3, 1);
    b.Add(other);
    EXPECT_EQ(b.N, 0);
    EXPECT_TRUE(b.Complete);
}

// ---------------------------------------------------------------- TPointList2

TEST(PointList, CreatedEmptyDisabledWithClearedBox) {
    TPointList2 list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.Enabled());
    EXPECT_FALSE(list.filled);
    ExpectBounds(list.BBox, 0, 0, 0, 0);
    EXPECT_FALSE(list.BBox.Complete);
    EXPECT_EQ(list.FindClosestIndex(1, 1), -1);
    EXPECT_EQ(list.FindClosestPoint(1, 1), nullptr);
}

TEST(PointList, OutOfRangeIndexThrowsAndChangesNothing) {
    TPointList2 list;
    Fill(list, {{1, 1}, {2, 2}, {3, 3}});
    const std::vector<TPoint4D2 *> before = {list.GetPoint(0), list.GetPoint(1), list.GetPoint(2)};

    for (int index : {-1, 3, 4, 1000, -1000}) {
        SCOPED_TRACE(index);
        EXPECT_THROW(list.GetPoint(index), std::out_of_range);
        EXPECT_THROW(list.Points(index), std::out_of_range);
        EXPECT_THROW(list.FreeAndDelete(index), std::out_of_range);
        EXPECT_THROW(list.Extract(index), std::out_of_range);
        ASSERT_EQ(list.Count(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(list.GetPoint(i), before[static_cast<std::size_t>(i)]);
        EXPECT_EQ(list.GetPoint(2)->Latitude, 3);
    }
    EXPECT_THROW(list.Insert(-1, Pt(9, 9)), std::out_of_range);
    EXPECT_THROW(list.Insert(4, Pt(9, 9)), std::out_of_range);
    EXPECT_EQ(list.Count(), 3);

    TPointList2 empty;
    EXPECT_THROW(empty.GetPoint(0), std::out_of_range);
    EXPECT_THROW(empty.FreeAndDelete(0), std::out_of_range);
}

TEST(PointList, CalcBBoxCoversEnabledPointsOnly) {
    TPointList2 list;
    list.Add(Pt(80, 170, false)); // a disabled first point must not seed the box
    list.Add(Pt(10.5, -3.0));
    list.Add(Pt(-2.25, 4.0));
    list.Add(Pt(-60, -100, false));
    list.Add(Pt(7.0, 12.75));
    list.BBox.Rm = 1, list.BBox.Rx = 2, list.BBox.Ry = 3;

    list.CalcBBox(true);
    EXPECT_TRUE(list.BBox.Complete);
    ExpectBounds(list.BBox, 10.5, -2.25, 12.75, -3.0);
    EXPECT_EQ(list.BBox.Rm, 1);
    EXPECT_EQ(list.BBox.Rx, 2);
    EXPECT_EQ(list.BBox.Ry, 3);

    // A box on the equator still counts as computed here; only Add looks at zeros.
    TPointList2 equator;
    Fill(equator, {{0, 0}, {0, 5}});
    equator.CalcBBox(true);
    EXPECT_TRUE(equator.BBox.Complete);
    ExpectBounds(equator.BBox, 0, 0, 5, 0);
}

TEST(PointList, CalcBBoxWithoutABoxLeavesOldBoundsAndIncomplete) {
    struct Case {
        const char *name;
        std::vector<std::pair<double, bool>> lats; // latitude, enabled
    } const cases[] = {
        {"empty", {}},
        {"one point", {{5, true}}},
        {"all disabled", {{5, false}, {6, false}, {7, false}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TPointList2 list;
        for (auto [lat, en] : c.lats)
            list.Add(Pt(lat, lat, en));
        SetBounds(list.BBox, 40, 30, 20, 10);
        list.BBox.Complete = true;
        list.CalcBBox(true);
        EXPECT_FALSE(list.BBox.Complete);
        ExpectBounds(list.BBox, 40, 30, 20, 10);
    }
}

TEST(PointList, CalcBBoxFromToCoversOnlyTheRange) {
    TPointList2 list;
    Fill(list, {{50, 50}, {1, 2}, {3, -4}, {-5, 6}, {-50, -50}});
    list.CalcBBoxFromTo(1, 3, true);
    EXPECT_TRUE(list.BBox.Complete);
    ExpectBounds(list.BBox, 3, -5, 6, -4);

    list.CalcBBoxFromTo(2, 2, true); // a single index of a longer list is a degenerate box
    EXPECT_TRUE(list.BBox.Complete);
    ExpectBounds(list.BBox, 3, 3, -4, -4);
}

TEST(PointList, CalcBBoxWithoutResetStartsFromTheOldBounds) {
    TPointList2 list;
    Fill(list, {{1, 1}, {2, 3}, {-1, 2}});

    SetBounds(list.BBox, 10, 5, 10, 5); // old box lies entirely north-east of the points
    list.CalcBBox(false);
    EXPECT_TRUE(list.BBox.Complete);
    ExpectBounds(list.BBox, 10, -1, 10, 1);

    SetBounds(list.BBox, 0.5, 0.5, 0.5, 0.5);
    list.CalcBBoxFromTo(0, 1, false);
    ExpectBounds(list.BBox, 2, 0.5, 3, 0.5);

    // An enclosing old box is kept as it is.
    SetBounds(list.BBox, 20, -20, 20, -20);
    list.CalcBBox(false);
    ExpectBounds(list.BBox, 20, -20, 20, -20);
    EXPECT_TRUE(list.BBox.Complete);

    // Disabled points do not widen it either.
    list.Add(Pt(80, 80, false));
    list.CalcBBox(false);
    ExpectBounds(list.BBox, 20, -20, 20, -20);
}

TEST(PointList, CalcBBoxFromToWithBadIndexThrowsAndLeavesBoxIncomplete) {
    struct Case {
        int from, to;
    } const cases[] = {{-1, 1}, {0, 3}, {1, 10}, {-5, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << ".." << c.to);
        TPointList2 list;
        Fill(list, {{1, 1}, {2, 3}, {-1, 2}});
        list.CalcBBox(true);
        ASSERT_TRUE(list.BBox.Complete);
        EXPECT_THROW(list.CalcBBoxFromTo(c.from, c.to, true), std::out_of_range);
        EXPECT_FALSE(list.BBox.Complete);
        ExpectBounds(list.BBox, 2, -1, 3, 1);
        EXPECT_EQ(list.Count(), 3);
    }
}

TEST(PointList, FindClosestPicksNearestAndFirstOfTies) {
    TPointList2 list;
    list.Add(Pt(10, 10));
    list.Add(Pt(0.01, 0.02, false)); // disabled points are candidates too
    list.Add(Pt(0.5, 0.5));
    EXPECT_EQ(list.FindClosestIndex(0, 0), 1);
    EXPECT_EQ(list.FindClosestPoint(0, 0), list.GetPoint(1));
    EXPECT_EQ(list.FindClosestIndex(9, 9), 0);
    EXPECT_EQ(list.FindClosestIndex(0.5, 0.5), 2); // exactly on a point
    // Longitude comes first: a query of (10, 20) is latitude 20, longitude 10.
    list.Add(Pt(20, 10));
    EXPECT_EQ(list.FindClosestIndex(20, 10), 0);
    EXPECT_EQ(list.FindClosestIndex(10, 20), 3);

    struct Case {
        const char *name;
        std::vector<std::pair<double, double>> pts;
        int expected;
    } const ties[] = {
        {"mirrored east and west", {{5, 5}, {0, 1}, {0, -1}}, 1},
        {"mirrored west and east", {{5, 5}, {0, -1}, {0, 1}}, 1},
        {"duplicates", {{3, 3}, {3, 3}, {3, 3}}, 0},
        {"duplicates after a farther point", {{9, 9}, {0, 2}, {0, 2}}, 1},
    };
    for (const Case &c : ties) {
        SCOPED_TRACE(c.name);
        TPointList2 l;
        for (auto [lat, lon] : c.pts)
            l.Add(Pt(lat, lon));
        EXPECT_EQ(l.FindClosestIndex(0, 0), c.expected);
    }
}

TEST(PointList, EnabledSetsThePointsPresentAtThatMoment) {
    TPointList2 list;
    list.Add(Pt(1, 1, true));
    list.Add(Pt(2, 2, false));
    list.SetEnabled(false);
    EXPECT_FALSE(list.Enabled());
    EXPECT_FALSE(list.GetPoint(0)->enabled);
    EXPECT_FALSE(list.GetPoint(1)->enabled);

    list.Add(Pt(3, 3, true)); // added later: keeps its own flag
    list.Add(Pt(4, 4, false));
    EXPECT_TRUE(list.GetPoint(2)->enabled);
    EXPECT_FALSE(list.Enabled());

    list.SetEnabled(true);
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_TRUE(list.GetPoint(i)->enabled) << i;
    list.Add(Pt(5, 5, false));
    EXPECT_FALSE(list.GetPoint(4)->enabled);
    EXPECT_TRUE(list.Enabled());
}

// ---------------------------------------------------------------- ownership

namespace {

// A point that logs its release, to see who frees what and in which order.
struct TrackedPoint : TPoint4D2 {
    TrackedPoint(int id, std::vector<int> *log) : id(id), log(log) {}
    ~TrackedPoint() { log->push_back(id); }
    int id;
    std::vector<int> *log;
};

using TrackedList = TPointListT<TrackedPoint>;

void FillTracked(TrackedList &list, std::vector<int> *log, int n) {
    for (int i = 0; i < n; ++i)
        list.Add(std::make_unique<TrackedPoint>(i, log));
}

} // namespace

TEST(OwnedList, ReleasesItemsFromLastToFirst) {
    std::vector<int> log;
    {
        TrackedList list;
        FillTracked(list, &log, 4);
    }
    EXPECT_EQ(log, (std::vector<int>{3, 2, 1, 0}));

    log.clear();
    TrackedList list;
    FillTracked(list, &log, 3);
    list.ClearPointList();
    EXPECT_EQ(log, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.Empty());

    log.clear();
    FillTracked(list, &log, 3);
    list.FreeAll();
    EXPECT_EQ(log, (std::vector<int>{2, 1, 0}));
}

TEST(OwnedList, ExtractMovesWithoutReleasingAndFreeAndDeleteReleasesOne) {
    std::vector<int> log;
    TrackedList a, b;
    FillTracked(a, &log, 4);
    TrackedPoint *second = a.GetPoint(1);

    b.Add(a.Extract(1));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(a.IndexOf(second), -1);
    EXPECT_EQ(b.IndexOf(second), 0);
    EXPECT_EQ(b.GetPoint(0)->id, 1);

    a.FreeAndDelete(1); // now the point with id 2
    EXPECT_EQ(log, (std::vector<int>{2}));
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a.GetPoint(0)->id, 0);
    EXPECT_EQ(a.GetPoint(1)->id, 3);

    auto all = a.ExtractAll();
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(all.size(), 2u);
    EXPECT_EQ(log.size(), 1u);
}

TEST(OwnedList, InsertIndexOfAndStableSort) {
    TPointList2 list;
    Fill(list, {{3, 0}, {1, 1}, {2, 2}});
    TPoint4D2 *front = list.Insert(0, Pt(1, 3));
    TPoint4D2 *back = list.Insert(list.Count(), Pt(2, 4));
    EXPECT_EQ(list.IndexOf(front), 0);
    EXPECT_EQ(list.IndexOf(back), 4);
    TPoint4D2 stranger;
    EXPECT_EQ(list.IndexOf(&stranger), -1);

    list.Sort([](const TPoint4D2 &x, const TPoint4D2 &y) { return x.Latitude < y.Latitude; });
    // Equal latitudes keep their order (longitude shows the original order).
    const double lons[] = {3, 1, 2, 4, 0};
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list.GetPoint(i)->Longitude, lons[i]) << i;
}
