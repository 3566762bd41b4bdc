#include "formats/CsvSoundings.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using formats::ReadCsvSoundings;
using formats::ReadCsvSoundingsBytes;
using formats::ReadResult;

namespace {

struct Sounding {
    double lon, lat, depthCm;
    bool operator==(const Sounding &o) const {
        return lon == o.lon && lat == o.lat && std::abs(depthCm - o.depthCm) < 1e-9;
    }
};

void PrintTo(const Sounding &s, std::ostream *os) {
    *os << "{" << s.lon << ", " << s.lat << ", " << s.depthCm << "}";
}

struct Read {
    model::TGPX doc;
    ReadResult r;
    explicit Read(const std::string &text, const std::string &path = "/data/survey.csv") {
        r = ReadCsvSoundingsBytes(text, path, doc);
    }
    std::vector<Sounding> Soundings() const {
        std::vector<Sounding> out;
        for (const auto &t : doc.trk.Items())
            for (const auto &s : t->Items())
                for (const auto &p : s->Items())
                    out.push_back({p->Longitude, p->Latitude, p->HBdepth});
        return out;
    }
    bool Logged(const std::string &part) const {
        return std::any_of(r.log.begin(), r.log.end(),
                           [&](const std::string &l) { return l.find(part) != std::string::npos; });
    }
};

} // namespace

// Each case: the file's text and the soundings it gives (longitude, latitude, depth in cm).
TEST(CsvSoundings, SeparatorsHeadersAndUnits) {
    struct Case {
        const char *name;
        std::string text;
        std::vector<Sounding> soundings;
    };
    const Case cases[] = {
        {"CommasWithHeader",
         "lat,lon,depth\n47.1,8.1,3.5\n47.2,8.2,4\n",
         {{8.1, 47.1, 350}, {8.2, 47.2, 400}}},
        {"SemicolonsAndDecimalCommas",
         "Latitude;Longitude;Depth_cm\r\n47,1;8,1;350\r\n47.2;8.2;4,5\r\n",
         {{8.1, 47.1, 350}, {8.2, 47.2, 4.5}}},
        {"TabsAndFeet", "x\ty\tDEPTH_FT\n8.1\t47.1\t10\n", {{8.1, 47.1, 304.8}}},
        {"BlanksWithoutHeader",
         "8.1 47.1 3.5\n  8.2\t  47.2  4.25 \n\n   \n8.3 47.3 0.001\n",
         {{8.1, 47.1, 350}, {8.2, 47.2, 425}, {8.3, 47.3, 0.1}}},
        {"CommasWithoutHeader", "8.1,47.1,3.5,extra,columns\n", {{8.1, 47.1, 350}}},
        {"ColumnsInAnyOrderAmongOthers",
         "id,name,time,depth_m,Lng,LAT\n1,\"Smith, J\",12:00,2.5,8.1,47.1\n2,\"a \"\"b\"\", "
         "c\",,3,8.2,47.2\n",
         {{8.1, 47.1, 250}, {8.2, 47.2, 300}}},
        {"QuotedNamesAndNumbers",
         "\"long\",\"latitude\",\"z\"\n\"8.1\", \"47.1\" ,\"+3\"\n",
         {{8.1, 47.1, 300}}},
        {"TitleLineBeforeTheHeader",
         "Survey of 2014-06-01\nlon;lat;depth\n8.1;47.1;1e1\n",
         {{8.1, 47.1, 1000}}},
        {"ByteOrderMarkAndLoneCarriageReturns",
         "\xEF\xBB\xBFlon lat depth\r8.1 47.1 1\r8.2 47.2 2",
         {{8.1, 47.1, 100}, {8.2, 47.2, 200}}},
        {"AllBelowZeroAreElevations",
         "8.1 47.1 -3.5\n8.2 47.2 -4\n",
         {{8.1, 47.1, 350}, {8.2, 47.2, 400}}},
        {"BelowZeroAmongDepthsIsAboveTheWater",
         "8.1 47.1 -1\n8.2 47.2 4\n8.3 47.3 0\n",
         {{8.1, 47.1, 0}, {8.2, 47.2, 400}, {8.3, 47.3, 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Read r(c.text);
        EXPECT_TRUE(r.r.loaded);
        EXPECT_FALSE(r.r.error) << r.r.error->text;
        EXPECT_EQ(r.Soundings(), c.soundings);
        ASSERT_EQ(r.doc.trk.Count(), 1);
        EXPECT_EQ(r.doc.trk[0]->name, "survey");
        ASSERT_EQ(r.doc.trk[0]->Count(), 1); // one segment, in the file's order
        EXPECT_EQ(
            r.doc.trk[0]->First()->maxdepth,
            static_cast<std::int32_t>(std::max_element(c.soundings.begin(), c.soundings.end(),
                                                       [](const Sounding &a, const Sounding &b) {
                                                           return a.depthCm < b.depthCm;
                                                       })
                                          ->depthCm));
        EXPECT_TRUE(r.doc.trk.filled);
    }
}

TEST(CsvSoundings, LinesThatAreNoSoundingsAreSkippedAndCounted) {
    Read r("lat,lon,depth\n"
           "47.1,8.1,3\n"
           "# a comment\n"
           "47.2,8.2\n"       // no depth
           "47.3,8.3,n/a\n"   // not a number
           "47.35,8.35,inf\n" // no number either
           "95,8.4,3\n"       // no latitude
           "47.5,-181,3\n"    // no longitude
           "47.6,8.6,20000\n" // deeper than any sea
           "47.7,8.7,4\n"
           "lat,lon,depth\n"); // a second header is a line like any other
    EXPECT_TRUE(r.r.loaded);
    EXPECT_EQ(r.Soundings(), (std::vector<Sounding>{{8.1, 47.1, 300}, {8.7, 47.7, 400}}));
    EXPECT_TRUE(r.Logged("5 lines that are not numbers skipped (the first is line 3)"));
    EXPECT_TRUE(r.Logged("2 lines with a position beyond 90° of latitude or 180° of longitude "
                         "skipped (the first is line 7)"));
    EXPECT_TRUE(r.Logged("1 line with a depth beyond 12000 m skipped (the first is line 9)"));
    EXPECT_TRUE(r.Logged("2 soundings in 1 segment"));
    EXPECT_TRUE(r.Logged("commas between the values; columns named in the header, longitude in "
                         "column 2, latitude in 1, depth in 3"));
}

// Whatever is refused adds nothing and says why.
TEST(CsvSoundings, FilesThatGiveNoSoundings) {
    struct Case {
        const char *name;
        std::string text, error; // error empty: loaded without soundings
    };
    const Case cases[] = {
        {"Binary", std::string("\x03\x00\x01\x02lat,lon,depth\n", 18), "/d/a.csv: not a CSV file"},
        {"Empty", "", "/d/a.csv: not a CSV file"},
        {"OnlyBlankLines", "\n  \r\n", "/d/a.csv: not a CSV file"},
        {"ProseText", "This is not a table.\nNor is this, really.\n", "/d/a.csv: not a CSV file"},
        {"GPX", "<?xml version=\"1.0\"?>\n<gpx><trk/></gpx>\n", "/d/a.csv: not a CSV file"},
        {"HeaderWithoutDepth", "lat,lon,name\n47,8,x\n",
         "/d/a.csv: the header names no depth column (depth, depth_m, depth_cm, depth_ft or z)"},
        {"HeaderWithoutLatitude", "lon;depth\n8;3\n",
         "/d/a.csv: the header names no latitude column (lat, latitude or y)"},
        {"ProjectedCoordinates", "x,y,z\n512345.5,5212345.5,3\n",
         "/d/a.csv: no line holds a sounding: positions must be longitude and latitude in "
         "degrees, depths at most 12000 m"},
        {"HeaderOnly", "lat,lon,depth\r\n", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Read r(c.text, "/d/a.csv");
        EXPECT_EQ(r.doc.trk.Count(), 0);
        EXPECT_FALSE(r.doc.trk.filled);
        if (c.error.empty()) {
            EXPECT_TRUE(r.r.loaded);
            EXPECT_FALSE(r.r.error);
            EXPECT_TRUE(r.Logged("0 soundings in no segment"));
            continue;
        }
        EXPECT_FALSE(r.r.loaded);
        ASSERT_TRUE(r.r.error);
        EXPECT_EQ(r.r.error->text, c.error);
        EXPECT_EQ(r.r.log.front(), c.error);
    }
    Read projected("x,y,z\n512345.5,5212345.5,3\n", "/d/a.csv");
    EXPECT_TRUE(projected.Logged("1 line with a position beyond 90°"));
}

TEST(CsvSoundings, ReadsTheFileAndCanBeCancelled) {
    testutil::TempDir dir;
    std::string text = "lon lat depth\n";
    for (int i = 0; i < 1000; ++i)
        text += "8." + std::to_string(i) + " 47.5 " + std::to_string(i % 50 + 1) + "\n";
    const std::string path = dir.File("lake.xyz", text);
    model::TGPX doc;
    ReadResult r = ReadCsvSoundings(path, doc);
    ASSERT_TRUE(r.loaded);
    ASSERT_EQ(doc.trk.Count(), 1);
    EXPECT_EQ(doc.trk[0]->name, "lake");
    ASSERT_EQ(doc.trk[0]->First()->Count(), 1000);
    EXPECT_EQ(doc.trk[0]->First()->Get(999)->Longitude, 8.999);
    EXPECT_EQ(doc.trk[0]->First()->maxdepth, 5000);

    model::TGPX cancelled;
    ReadResult c =
        ReadCsvSoundings(path, cancelled, [](std::uint64_t, std::uint64_t) { return false; });
    EXPECT_FALSE(c.loaded);
    ASSERT_TRUE(c.error);
    EXPECT_EQ(c.error->text, path + ": reading cancelled");
    EXPECT_EQ(cancelled.trk.Count(), 0);

    model::TGPX none;
    ReadResult missing = ReadCsvSoundings(dir.Path("no-such.csv"), none);
    EXPECT_FALSE(missing.loaded);
    ASSERT_TRUE(missing.error);
    EXPECT_NE(missing.error->text.find("no-such.csv"), std::string::npos) << missing.error->text;
}
