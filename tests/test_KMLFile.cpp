#include "formats/KMLFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

using formats::TKMLFile;

namespace {
using Shape = std::vector<std::vector<std::pair<double, double>>>; // per segment: lon, lat

Shape ShapeOf(const model::TGPXtrk &t) {
    Shape out;
    for (const auto &s : t.Items()) {
        out.emplace_back();
        for (const auto &p : s->Items())
            out.back().emplace_back(p->Longitude, p->Latitude);
    }
    return out;
}

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
    EXPECT_EQ(r.doc.wpt[0]->Details().name, "Shore");
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
    EXPECT_EQ(w.Details().desc, "a\r\nb");
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
    EXPECT_EQ(r.doc.wpt[0]->Details().name, "Buoy");
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

// A polygon with islands as ogr2ogr writes it (one LinearRing per innerBoundaryIs), and a
// multi-polygon: the rings are the segments a GPX track of the same rings gives.
TEST(KMLFile, PolygonRingsReadLikeTheSameRingsInGPX) {
    Read kml(R"(<?xml version="1.0" encoding="utf-8" ?>
<kml xmlns="http://www.opengis.net/kml/2.2">
<Document id="root_doc">
<Folder><name>lake</name>
  <Placemark>
	<name>Lake</name>
	<Style><LineStyle><color>ff0000ff</color></LineStyle><PolyStyle><fill>0</fill></PolyStyle></Style>
      <Polygon><outerBoundaryIs><LinearRing><coordinates>8,47 8.1,47.0 8.1,47.1 8.0,47.1 8,47</coordinates></LinearRing></outerBoundaryIs><innerBoundaryIs><LinearRing><coordinates>8.02,47.02 8.03,47.02 8.03,47.03 8.02,47.02</coordinates></LinearRing></innerBoundaryIs><innerBoundaryIs><LinearRing><coordinates>8.06,47.06 8.07,47.06 8.07,47.07 8.06,47.06</coordinates></LinearRing></innerBoundaryIs></Polygon>
  </Placemark>
  <Placemark>
	<name>Two</name>
      <MultiGeometry><Polygon><outerBoundaryIs><LinearRing><coordinates>9,47 9.1,47.0 9.1,47.1 9,47</coordinates></LinearRing></outerBoundaryIs></Polygon><Polygon><outerBoundaryIs><LinearRing><coordinates>9.5,47.0 9.6,47.0 9.6,47.1 9.5,47.0</coordinates></LinearRing></outerBoundaryIs></Polygon></MultiGeometry>
  </Placemark>
</Folder>
</Document></kml>)");
    testutil::TempDir dir;
    const std::string gpxPath = dir.File("lake.gpx", R"(<?xml version="1.0"?>
<gpx version="1.1" creator="GDAL 3.6.2" xmlns="http://www.topografix.com/GPX/1/1">
<trk><name>Lake</name>
  <trkseg><trkpt lat="47.0" lon="8.0"/><trkpt lat="47.0" lon="8.1"/><trkpt lat="47.1" lon="8.1"/>
    <trkpt lat="47.1" lon="8.0"/><trkpt lat="47.0" lon="8.0"/></trkseg>
  <trkseg><trkpt lat="47.02" lon="8.02"/><trkpt lat="47.02" lon="8.03"/><trkpt lat="47.03" lon="8.03"/>
    <trkpt lat="47.02" lon="8.02"/></trkseg>
  <trkseg><trkpt lat="47.06" lon="8.06"/><trkpt lat="47.06" lon="8.07"/><trkpt lat="47.07" lon="8.07"/>
    <trkpt lat="47.06" lon="8.06"/></trkseg>
</trk>
<trk><name>Two</name>
  <trkseg><trkpt lat="47.0" lon="9.0"/><trkpt lat="47.0" lon="9.1"/><trkpt lat="47.1" lon="9.1"/>
    <trkpt lat="47.0" lon="9.0"/></trkseg>
  <trkseg><trkpt lat="47.0" lon="9.5"/><trkpt lat="47.0" lon="9.6"/><trkpt lat="47.1" lon="9.6"/>
    <trkpt lat="47.0" lon="9.5"/></trkseg>
</trk></gpx>)");
    model::TGPX gpx;
    formats::TGPXFile reader;
    reader.GPXd = &gpx;
    reader.ImportGPXFile(gpxPath);
    ASSERT_TRUE(reader.Loaded);

    ASSERT_TRUE(kml.loaded);
    EXPECT_TRUE(kml.log.empty());
    ASSERT_EQ(kml.doc.trk.Count(), 2);
    ASSERT_EQ(gpx.trk.Count(), 2);
    for (int t = 0; t < 2; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(kml.doc.trk[t]->name, "lake"); // named after the folder, as line strings are
        EXPECT_EQ(ShapeOf(*kml.doc.trk[t]), ShapeOf(*gpx.trk[t]));
        for (const auto &s : kml.doc.trk[t]->Items())
            EXPECT_EQ(s->First()->HBdepth, 0);
    }
    EXPECT_EQ(kml.doc.wpt.Count(), 0);
}

// Each case: the placemark's geometry, the points of each segment of its track (none:
// no track), and the waypoints it leaves.
TEST(KMLFile, GeometriesAndTheSegmentsTheyGive) {
    struct Case {
        const char *name, *geometry;
        std::vector<int> segments;
        int waypoints;
    };
    const Case cases[] = {
        {"RingClosedWhenItIsNot",
         "<Polygon><outerBoundaryIs><LinearRing><coordinates>0,0 1,0 1,1</coordinates></LinearRing>"
         "</outerBoundaryIs></Polygon>",
         {4},
         0},
        {"SeveralRingsInOneInnerBoundary",
         "<Polygon><outerBoundaryIs><LinearRing><coordinates>0,0 9,0 9,9 0,0</coordinates>"
         "</LinearRing></outerBoundaryIs><innerBoundaryIs><LinearRing><coordinates>1,1 2,1 2,2"
         "</coordinates></LinearRing><LinearRing><coordinates>5,5 6,5 6,6 5,5</coordinates>"
         "</LinearRing></innerBoundaryIs></Polygon>",
         {4, 4, 4},
         0},
        {"MultiGeometryOfEveryKind",
         "<MultiGeometry><Point><coordinates>3,3</coordinates></Point>"
         "<LineString><coordinates>0,0 1,1</coordinates></LineString>"
         "<MultiGeometry><LineString><coordinates>2,2 3,3 4,4</coordinates></LineString>"
         "<Polygon><outerBoundaryIs><LinearRing><coordinates>0,0 1,0 1,1 0,0</coordinates>"
         "</LinearRing></outerBoundaryIs></Polygon></MultiGeometry></MultiGeometry>",
         {2, 3, 4},
         1},
        {"LoneLinePointInAMultiGeometryIsAWaypoint",
         "<MultiGeometry><LineString><coordinates>0,0</coordinates></LineString>"
         "<LineString><coordinates>0,0 1,1</coordinates></LineString></MultiGeometry>",
         {2},
         1},
        {"LinearRingOnItsOwn",
         "<LinearRing><coordinates>0,0 1,0 1,1</coordinates></LinearRing>",
         {4},
         0},
        {"NotConformantMultiPolygon",
         "<MultiPolygon><Polygon><outerBoundaryIs><LinearRing><coordinates>0,0 0,1 1,1 0,0"
         "</coordinates></LinearRing></outerBoundaryIs></Polygon></MultiPolygon>",
         {4},
         0},
        {"EmptyPolygon",
         "<Polygon><outerBoundaryIs><LinearRing><coordinates> </coordinates>"
         "</LinearRing></outerBoundaryIs></Polygon>",
         {},
         0},
        {"Model", "<Model><Location><longitude>1</longitude></Location></Model>", {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Read r(std::string("<kml><Folder><name>F</name><Placemark><name>P</name>") + c.geometry +
               "</Placemark></Folder></kml>");
        ASSERT_TRUE(r.loaded);
        EXPECT_EQ(r.doc.wpt.Count(), c.waypoints);
        if (c.segments.empty()) {
            EXPECT_EQ(r.doc.trk.Count(), 0);
            continue;
        }
        ASSERT_EQ(r.doc.trk.Count(), 1);
        EXPECT_EQ(r.doc.trk[0]->name, "F");
        std::vector<int> counts;
        for (const auto &s : r.doc.trk[0]->Items())
            counts.push_back(s->Count());
        EXPECT_EQ(counts, c.segments);
        // Every ring ends where it begins.
        for (const auto &s : r.doc.trk[0]->Items())
            if (s->Count() == 4) {
                EXPECT_EQ(s->First()->Longitude, s->Get(3)->Longitude);
                EXPECT_EQ(s->First()->Latitude, s->Get(3)->Latitude);
            }
    }
}

TEST(KMLFile, RecordedTracksKeepTheirTimes) {
    Read r(R"(<kml xmlns:gx="http://www.google.com/kml/ext/2.2"><Document><name>Trip</name>
      <Placemark><name>Track</name><gx:Track><altitudeMode>absolute</altitudeMode>
        <when>2014-05-25T18:30:59Z</when><when>2014-05-25T18:31:11Z</when>
        <when>2014-05-25T18:32:12Z</when>
        <gx:coord>8.5 47.25 402.5</gx:coord><gx:coord/><gx:coord>8.6	47.3</gx:coord>
        <gx:angles>0 0 0</gx:angles></gx:Track></Placemark>
      <Placemark><gx:MultiTrack><gx:interpolate>0</gx:interpolate>
        <gx:Track><when>2014-02-30T00:00:00Z</when><when>2014-02-31T00:00:00Z</when>
          <gx:coord>1 2 3</gx:coord><gx:coord>1.5 2.5 3</gx:coord></gx:Track>
        <gx:Track><gx:coord>4 5</gx:coord><gx:coord>6 7</gx:coord><gx:coord>x 7</gx:coord>
        </gx:Track></gx:MultiTrack></Placemark>
      </Document></kml>)");
    ASSERT_TRUE(r.loaded);
    ASSERT_EQ(r.doc.trk.Count(), 2);
    const model::TGPXtrk &one = *r.doc.trk[0];
    EXPECT_EQ(one.name, "Trip");
    ASSERT_EQ(one.Count(), 1);
    const model::TGPXtrkseg &s = *one.First();
    ASSERT_EQ(s.Count(), 2); // the empty coord is left out with its time
    EXPECT_EQ(s.Get(0)->Longitude, 8.5);
    EXPECT_EQ(s.Get(0)->Latitude, 47.25);
    EXPECT_EQ(s.Get(0)->Altitude, 402.5);
    EXPECT_DOUBLE_EQ(s.Get(0)->DateTime, TKMLFile::ISO8601ToDateTime("2014-05-25T18:30:59Z"));
    EXPECT_EQ(s.Get(1)->Latitude, 47.3);
    EXPECT_EQ(s.Get(1)->Altitude, 0);
    EXPECT_DOUBLE_EQ(s.Get(1)->DateTime, TKMLFile::ISO8601ToDateTime("2014-05-25T18:32:12Z"));
    EXPECT_EQ(s.Get(1)->HBdepth, 0);

    const model::TGPXtrk &multi = *r.doc.trk[1];
    ASSERT_EQ(multi.Count(), 2);
    EXPECT_EQ(multi.Get(0)->Count(), 2);
    EXPECT_EQ(multi.Get(0)->Get(1)->DateTime, 0); // not a date: no time, logged once
    EXPECT_EQ(multi.Get(1)->Count(), 2);          // "x 7" is no position
    EXPECT_EQ(multi.Get(1)->Get(1)->Longitude, 6);
    EXPECT_EQ(multi.Get(1)->Get(1)->DateTime, 0);
    ASSERT_EQ(r.log.size(), 1u);
    EXPECT_EQ(r.log[0].rfind("ImportKML: Trip: ", 0), 0u) << r.log[0];

    // KML 2.3 names the same elements without the extension prefix.
    Read plain(R"(<kml xmlns="http://www.opengis.net/kml/2.2" version="2.3"><Placemark><Track>
      <when>2010-05-28T02:02:09Z</when><when>2010-05-28T02:02:35Z</when>
      <coord>-122.207881 37.371915 156.000000</coord><coord>-122.205712 37.373288 152.0</coord>
      </Track></Placemark></kml>)");
    ASSERT_EQ(plain.doc.trk.Count(), 1);
    ASSERT_EQ(plain.doc.trk[0]->First()->Count(), 2);
    EXPECT_EQ(plain.doc.trk[0]->First()->Get(1)->Longitude, -122.205712);
    EXPECT_DOUBLE_EQ(plain.doc.trk[0]->First()->Get(1)->DateTime,
                     TKMLFile::ISO8601ToDateTime("2010-05-28T02:02:35Z"));
}
