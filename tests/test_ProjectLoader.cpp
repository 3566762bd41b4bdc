#include "depth/ProjectLoader.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

using depth::TProjectLoader;
using testutil::TempDir;

namespace {

std::string Point(double lat, double lon, double depth) {
    return "<trkpt lat='" + std::to_string(lat) + "' lon='" + std::to_string(lon) +
           "'><extensions><h:depth>" + std::to_string(depth) + "</h:depth></extensions></trkpt>";
}

struct Project {
    model::TGPX doc;
    support::ScriptedDialogs dialogs;
    std::vector<std::string> log;
    TProjectLoader loader{doc, dialogs, [this](const std::string &l) { log.push_back(l); }};
};

} // namespace

TEST(ProjectLoader, GpxSegmentsAreShorelinesOrSoundings) {
    TempDir dir;
    std::string gpx = dir.File("lake.gpx", "<gpx><trk><name>T</name><trkseg>" + Point(47, 8, 0) +
                                               Point(47.1, 8.1, 350.7) + Point(47.2, 8.2, 0) +
                                               "</trkseg><trkseg>" + Point(47, 8, 0) +
                                               Point(47, 8.1, 0) + "</trkseg></trk>"
                                               "<wpt lat='1' lon='1'/></gpx>");
    Project p;
    ASSERT_EQ(p.loader.LoadGPXFile(gpx), 0);
    ASSERT_EQ(p.doc.trk.Count(), 1);
    const model::TGPXtrk &t = *p.doc.trk[0];
    ASSERT_EQ(t[0]->Count(), 1); // only the reading that is not 0
    EXPECT_EQ(t[0]->maxdepth, 350);
    EXPECT_EQ(t[1]->Count(), 2);
    EXPECT_EQ(t[1]->maxdepth, 0);
    EXPECT_EQ(p.doc.wpt.Count(), 0); // only tracks are taken over
    EXPECT_EQ(p.loader.MaxDepth, 350);
    EXPECT_TRUE(p.loader.InterpolatorEnabled);
    EXPECT_EQ(p.log.front(), "LoadGPXFile: Trying to open " + gpx);
    EXPECT_EQ(p.log[1], "LoadGPXFile: Examining Track T");
    EXPECT_EQ(p.log[2], "LoadGPXFile: GetMaxDepth is 350");

    // Both boxes checked: a depth for the segment without depth, an offset for each.
    Project q;
    q.loader.AddDepth = q.loader.AddOffset = true;
    q.dialogs.inputAnswers = {std::string("-20"), std::string("-5"), std::nullopt};
    ASSERT_EQ(q.loader.LoadGPXFile(gpx), 0);
    EXPECT_EQ(q.dialogs.prompts, (std::vector<std::string>{"lake.gpxTrack: T Add Depth [cm]:",
                                                           "lake.gpxTrack: T Depth [cm]:",
                                                           "lake.gpxTrack: T Add Depth [cm]:"}));
    EXPECT_EQ(q.doc.trk[0]->Get(0)->maxdepth, 330);
    EXPECT_EQ(q.doc.trk[0]->Get(1)->maxdepth, 0); // -5 becomes 0, a cancelled offset is 0
    EXPECT_EQ(q.doc.trk[0]->Get(1)->Get(0)->HBdepth, 0);
}

TEST(ProjectLoader, OffsetsCanTurnShorelinesIntoSoundings) {
    TempDir dir;
    std::string kml = dir.File("shore.kml", "<kml><Folder><name>Shore</name><Placemark>"
                                            "<LineString><coordinates>8,47 8.1,47 8.1,47.1"
                                            "</coordinates></LineString></Placemark></Folder></kml>");
    Project p;
    ASSERT_EQ(p.loader.LoadKMLFile(kml), 0);
    EXPECT_EQ(p.doc.trk[0]->Get(0)->maxdepth, 0);
    EXPECT_FALSE(p.loader.InterpolatorEnabled);

    std::string gpx = dir.File("s.gpx", "<gpx><trk><trkseg>" + Point(47, 8, 0) + Point(47, 9, 0) +
                                            "</trkseg></trk></gpx>");
    Project q;
    q.loader.AddOffset = true;
    q.dialogs.inputAnswers = {std::string("-20")};
    q.loader.LoadGPXFile(gpx);
    EXPECT_EQ(q.doc.trk[0]->Get(0)->maxdepth, -20);
    EXPECT_EQ(q.doc.trk[0]->Get(0)->Get(1)->HBdepth, -20);
}

TEST(ProjectLoader, FailuresAddNothing) {
    TempDir dir;
    Project p;
    EXPECT_EQ(p.loader.LoadGPXFile((dir.path / "missing.gpx").string()), -1);
    EXPECT_EQ(p.loader.LoadSHPFile((dir.path / "missing.shp").string()), -1);
    EXPECT_THROW(p.loader.LoadFile(dir.File("notes.TXT", "x")), depth::UnsupportedExtension);
    // A file that is not GPX is an error the user sees, not a silent success.
    EXPECT_THROW(p.loader.LoadFile(dir.File("broken.GPX", "<gpx><trk>")), std::runtime_error);
    std::string gpx = dir.File("s.gpx", "<gpx><trk><trkseg>" + Point(47, 8, 0) + Point(47, 9, 0) +
                                            "</trkseg></trk></gpx>");
    p.loader.AddDepth = true;
    p.dialogs.inputAnswers = {std::string("deep")};
    EXPECT_THROW(p.loader.LoadGPXFile(gpx), std::runtime_error);
    EXPECT_EQ(p.doc.trk.Count(), 0);
}

TEST(ProjectLoader, DocumentHelpers) {
    model::TGPX doc;
    doc.trk.Add(std::make_unique<model::TGPXtrk>());
    auto *seg = doc.trk[0]->Add(std::make_unique<model::TGPXtrkseg>());
    for (double d : {0.9, -4.0, 0.0}) {
        auto w = std::make_unique<model::TGPXwpt>();
        w->HBdepth = d;
        seg->Add(std::move(w));
    }
    EXPECT_EQ(depth::GetMaxDepth(*seg), 0); // below 1 cm, negative and 0 all count as none
    EXPECT_TRUE(depth::CoordinatesInRange(doc));
    seg->Get(0)->Latitude = 90.5;
    EXPECT_FALSE(depth::CoordinatesInRange(doc));
    depth::RemoveZeroReadings(doc);
    EXPECT_EQ(seg->Count(), 2);
    EXPECT_EQ(depth::LowerExtension("/a.b/LAKE.GPX"), ".gpx");
    EXPECT_EQ(depth::LowerExtension("/a.b/lake"), "");
}

TEST(ProjectLoader, FlaggedSoundingsStayButDoNotSetTheGreatestDepth) {
    TempDir dir;
    auto point = [](double lat, double depth, bool flagged) {
        return "<trkpt lat='" + std::to_string(lat) + "' lon='8'><extensions><h:depth>" +
               std::to_string(depth) + "</h:depth>" + (flagged ? "<h:flag>spike</h:flag>" : "") +
               "</extensions></trkpt>";
    };
    std::string gpx = dir.File("s.gpx", "<gpx><trk><trkseg>" + point(47, 420, false) +
                                            point(47.1, 2900, true) + point(47.2, 430, false) +
                                            "</trkseg><trkseg>" + point(47.3, 800, true) +
                                            "</trkseg></trk></gpx>");
    Project p;
    ASSERT_EQ(p.loader.LoadGPXFile(gpx), 0);
    const model::TGPXtrk &t = *p.doc.trk[0];
    ASSERT_EQ(t[0]->Count(), 3);
    EXPECT_TRUE(t[0]->Get(1)->Flagged);
    EXPECT_EQ(p.loader.MaxDepth, 430);
    // A segment's maxdepth counts every reading: one of flagged soundings is no shoreline.
    EXPECT_EQ(t[0]->maxdepth, 2900);
    EXPECT_EQ(t[1]->maxdepth, 800);
    EXPECT_EQ(depth::GetMaxDepth(p.doc), 2900);
}
