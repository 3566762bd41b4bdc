#include "formats/KMLFile.h"

#include <gtest/gtest.h>

#include <chrono>

using formats::TKMLFile;

namespace {
struct Read {
    model::TGPX doc;
    std::vector<std::string> log;
    bool loaded;
    explicit Read(const std::string &text) {
        TKMLFile k;
        k.GPXd = &doc;
        k.ImportKMLText(text);
        log = k.mLog;
        loaded = k.Loaded;
    }
};
} // namespace

TEST(KMLFile, LineStringsBecomeTracksNamedAfterTheirFolder) {
    Read r(R"(<?xml version="1.0"?><kml xmlns="http://www.opengis.net/kml/2.2"><Document>
      <Folder><name>Shore</name>
        <Placemark><name>own name</name><LineString><coordinates>
          8.1,47.1,0 8.2,47.2,0	8.3,47.3,5
          8.4,47.4
        </coordinates></LineString></Placemark>
        <Placemark><LineString><coordinates>9,48,0</coordinates></LineString></Placemark>
        <Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>1,2 3,4 5,6</coordinates>
        </LinearRing></outerBoundaryIs></Polygon></Placemark>
        <Placemark><LineString><coordinates>   </coordinates></LineString></Placemark>
      </Folder></Document></kml>)");
    ASSERT_TRUE(r.loaded);
    ASSERT_EQ(r.doc.trk.Count(), 1);
    const model::TGPXtrk &t = *r.doc.trk[0];
    EXPECT_EQ(t.name, "Shore");
    ASSERT_EQ(t.First()->Count(), 4); // tuples split at any white space
    EXPECT_EQ(t.First()->Get(2)->Altitude, 5);
    EXPECT_EQ(t.First()->Get(3)->Latitude, 47.4);
    EXPECT_EQ(t.First()->Get(3)->HBdepth, 0);
    ASSERT_EQ(r.doc.wpt.Count(), 1); // the single-tuple line string
    EXPECT_EQ(r.doc.wpt[0]->name, "Shore");
    EXPECT_EQ(r.doc.wpt[0]->Longitude, 9);
}

TEST(KMLFile, PointPlacemarks) {
    Read r(R"(<kml><Placemark><name>Buoy</name><Snippet><![CDATA[a<BR/>b]]></Snippet>
      <TimeStamp><when>2014-06-01T12:00:00Z</when></TimeStamp>
      <Point><coordinates> 8.5 , 47.25 </coordinates></Point></Placemark>
      <Placemark><Point><coordinates>1,2,3,4</coordinates></Point></Placemark>
      <Placemark><Point><coordinates>12</coordinates></Point></Placemark>
      <Placemark><name>bad time</name><TimeStamp><when>2014-02-30T00:00:00Z</when></TimeStamp>
      <Point><coordinates>x,2</coordinates></Point></Placemark></kml>)");
    ASSERT_EQ(r.doc.wpt.Count(), 3); // a placemark directly under the root counts
    const model::TGPXwpt &w = *r.doc.wpt[0];
    EXPECT_EQ(w.Longitude, 8.5);
    EXPECT_EQ(w.Latitude, 47.25);
    EXPECT_EQ(w.Altitude, 0);
    EXPECT_EQ(w.desc, "a\r\nb");
    EXPECT_DOUBLE_EQ(w.DateTime, TKMLFile::ISO8601ToDateTime("2014-06-01T12:00:00Z"));
    EXPECT_EQ(r.doc.wpt[1]->Altitude, 0); // "3,4" is not a number
    EXPECT_EQ(r.doc.wpt[2]->Longitude, 0);
    EXPECT_EQ(r.doc.wpt[2]->DateTime, 0);
    ASSERT_EQ(r.log.size(), 1u);
    EXPECT_EQ(r.log[0].rfind("ImportKML: bad time: ", 0), 0u);
}

// Some producers qualify every element with a prefix of the KML namespace.
TEST(KMLFile, PrefixedElementsReadAsPlainOnes) {
    Read r(R"(<?xml version="1.0"?><kml:kml xmlns:kml="http://earth.google.com/kml/2.1">
      <kml:Folder><kml:name>Shore</kml:name><kml:Placemark><kml:LineString>
        <kml:coordinates>8.1,47.1 8.2,47.2</kml:coordinates></kml:LineString></kml:Placemark>
      </kml:Folder>
      <kml:Placemark><kml:name>Buoy</kml:name><kml:Point><kml:coordinates>2,49,0</kml:coordinates>
      </kml:Point></kml:Placemark></kml:kml>)");
    ASSERT_TRUE(r.loaded);
    ASSERT_EQ(r.doc.trk.Count(), 1);
    EXPECT_EQ(r.doc.trk[0]->name, "Shore");
    EXPECT_EQ(r.doc.trk[0]->First()->Count(), 2);
    ASSERT_EQ(r.doc.wpt.Count(), 1);
    EXPECT_EQ(r.doc.wpt[0]->name, "Buoy");
    EXPECT_EQ(r.doc.wpt[0]->Latitude, 49);
}

TEST(KMLFile, LongRunsWithoutCommasTakeLinearTime) {
    // A million tuples without a comma before two real ones: a search for a comma from
    // every tuple would take far longer than the bound.
    std::string coordinates;
    for (int i = 0; i < 1'000'000; ++i)
        coordinates += "x ";
    coordinates += "8.1,47.1 8.2,47.2";
    const auto start = std::chrono::steady_clock::now();
    Read r("<kml><Placemark><LineString><coordinates>" + coordinates +
           "</coordinates></LineString></Placemark></kml>");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(r.doc.trk.Count(), 1);
    ASSERT_EQ(r.doc.trk[0]->First()->Count(), 2);
    EXPECT_EQ(r.doc.trk[0]->First()->Get(1)->Latitude, 47.2);
    EXPECT_LT(took.count(), 3.0);
}

TEST(KMLFile, FilesThatAreNotKML) {
    Read broken("<kml><Document><Placemark><LineString><coordinates>1,2 3,4");
    EXPECT_FALSE(broken.loaded);
    ASSERT_EQ(broken.log.size(), 1u);
    EXPECT_NE(broken.log[0].find("Unexpected end of file"), std::string::npos);
    EXPECT_EQ(broken.log[0].back(), '.');
    EXPECT_EQ(broken.doc.trk.Count(), 0);

    Read gpx("<gpx><wpt lat='1' lon='2'/></gpx>");
    EXPECT_EQ(gpx.log, std::vector<std::string>{"File not loaded"});
    EXPECT_EQ(gpx.doc.wpt.Count(), 0);

    TKMLFile k;
    model::TGPX doc;
    k.GPXd = &doc;
    k.ImportKML("/no/such/file.kml");
    ASSERT_EQ(k.mLog.size(), 1u);
    EXPECT_NE(k.mLog[0].find("(0)."), std::string::npos);
}
