#include "depth/ProjectLoader.h"

#include "SonarFixtures.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <deque>

using depth::TProjectLoader;
using testutil::TempDir;

namespace {

std::string Point(double lat, double lon, double depth) {
    return "<trkpt lat='" + std::to_string(lat) + "' lon='" + std::to_string(lon) +
           "'><extensions><h:depth>" + std::to_string(depth) + "</h:depth></extensions></trkpt>";
}

// A project whose loader answers depths and offsets from queues and notes each question
// as the desktop program words it.
struct Project {
    model::TGPX doc;
    std::vector<std::string> log, prompts;
    std::deque<std::int32_t> depths, offsets;
    TProjectLoader loader{doc, [this](const std::string &l) { log.push_back(l); }};
    void AnswerDepths(std::deque<std::int32_t> answers) {
        depths = std::move(answers);
        loader.Options.DepthFor = [this](const std::string &what) {
            return Take(depths, what + " Depth [cm]:");
        };
    }
    void AnswerOffsets(std::deque<std::int32_t> answers) {
        offsets = std::move(answers);
        loader.Options.OffsetFor = [this](const std::string &what) {
            return Take(offsets, what + " Add Depth [cm]:");
        };
    }
    std::int32_t Take(std::deque<std::int32_t> &answers, const std::string &prompt) {
        prompts.push_back(prompt);
        const std::int32_t v = answers.empty() ? 0 : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return v;
    }
};

} // namespace

TEST(ProjectLoader, GpxSegmentsAreShorelinesOrSoundings) {
    TempDir dir;
    std::string gpx =
        dir.File("lake.gpx", "<gpx><trk><name>T</name><trkseg>" + Point(47, 8, 0) +
                                 Point(47.1, 8.1, 350.7) + Point(47.2, 8.2, 0) +
                                 "</trkseg><trkseg>" + Point(47, 8, 0) + Point(47, 8.1, 0) +
                                 "</trkseg></trk>"
                                 "<wpt lat='1' lon='1'/></gpx>");
    Project p;
    ASSERT_EQ(p.loader.LoadFile(gpx), 0);
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
    q.AnswerDepths({-5});
    q.AnswerOffsets({-20, 0});
    ASSERT_EQ(q.loader.LoadFile(gpx), 0);
    EXPECT_EQ(q.prompts, (std::vector<std::string>{
                             "lake.gpxTrack: T Add Depth [cm]:", "lake.gpxTrack: T Depth [cm]:",
                             "lake.gpxTrack: T Add Depth [cm]:"}));
    EXPECT_EQ(q.doc.trk[0]->Get(0)->maxdepth, 330);
    EXPECT_EQ(q.doc.trk[0]->Get(1)->maxdepth, 0); // -5 becomes 0
    EXPECT_EQ(q.doc.trk[0]->Get(1)->Get(0)->HBdepth, 0);
}

TEST(ProjectLoader, OffsetsCanTurnShorelinesIntoSoundings) {
    TempDir dir;
    std::string kml =
        dir.File("shore.kml", "<kml><Folder><name>Shore</name><Placemark>"
                              "<LineString><coordinates>8,47 8.1,47 8.1,47.1"
                              "</coordinates></LineString></Placemark></Folder></kml>");
    Project p;
    ASSERT_EQ(p.loader.LoadFile(kml), 0);
    EXPECT_EQ(p.doc.trk[0]->Get(0)->maxdepth, 0);
    EXPECT_FALSE(p.loader.InterpolatorEnabled);

    std::string gpx = dir.File("s.gpx", "<gpx><trk><trkseg>" + Point(47, 8, 0) + Point(47, 9, 0) +
                                            "</trkseg></trk></gpx>");
    Project q;
    q.AnswerOffsets({-20});
    q.loader.LoadFile(gpx);
    EXPECT_EQ(q.doc.trk[0]->Get(0)->maxdepth, -20);
    EXPECT_EQ(q.doc.trk[0]->Get(0)->Get(1)->HBdepth, -20);
}

TEST(ProjectLoader, FailuresAddNothing) {
    TempDir dir;
    Project p;
    EXPECT_EQ(p.loader.LoadFile((dir.path / "missing.gpx").string()), -1);
    EXPECT_EQ(p.loader.LoadFile((dir.path / "missing.shp").string()), -1);
    EXPECT_THROW(p.loader.LoadFile(dir.File("notes.DOC", "x")), depth::UnsupportedExtension);
    // A file that is not GPX is an error the user sees, not a silent success.
    EXPECT_THROW(p.loader.LoadFile(dir.File("broken.GPX", "<gpx><trk>")), std::runtime_error);
    std::string gpx = dir.File("s.gpx", "<gpx><trk><trkseg>" + Point(47, 8, 0) + Point(47, 9, 0) +
                                            "</trkseg></trk></gpx>");
    // An answer that is not a number fails the file.
    p.loader.Options.DepthFor = [](const std::string &) -> std::int32_t {
        throw std::runtime_error("\"deep\" is not a valid integer value");
    };
    EXPECT_THROW(p.loader.LoadFile(gpx), std::runtime_error);
    EXPECT_EQ(p.doc.trk.Count(), 0);
}

TEST(ProjectLoader, SonarRecordingsAreSoundings) {
    TempDir dir;
    std::vector<sonarfix::Frame> frames(3);
    for (std::uint32_t i = 0; i < 3; ++i) {
        frames[i].index = i;
        frames[i].depthFeet = 10.0f + static_cast<float>(i);
    }
    const sonarfix::Log log = sonarfix::WriteLog(frames);
    Project p;
    ASSERT_EQ(p.loader.LoadFile(dir.File("Sonar0001.SL2", log.bytes)), 0);
    ASSERT_EQ(p.doc.trk.Count(), 1);
    EXPECT_EQ(p.doc.trk[0]->Get(0)->Count(), 3);
    EXPECT_EQ(p.doc.trk[0]->Get(0)->maxdepth, 365);
    EXPECT_EQ(p.loader.MaxDepth, 365);
    EXPECT_TRUE(p.loader.InterpolatorEnabled);
    EXPECT_NE(std::find(p.log.begin(), p.log.end(), "LoadSonarFile: 3 soundings in 1 segment"),
              p.log.end());

    // Cut off: what was read is added, and the user is told where reading stopped.
    Project cut;
    cut.AnswerOffsets({-50});
    ASSERT_EQ(cut.loader.LoadFile(
                  dir.File("cut.sl3", sonarfix::WriteLog(frames, 3).bytes.substr(0, 400))),
              0);
    ASSERT_EQ(cut.loader.Warnings.size(), 1u);
    EXPECT_EQ(cut.loader.Warnings[0].rfind("cut.sl3: ", 0), 0u);
    EXPECT_NE(cut.loader.Warnings[0].find("is cut off"), std::string::npos);
    EXPECT_EQ(cut.doc.trk[0]->Get(0)->Count(), 1);
    EXPECT_EQ(cut.doc.trk[0]->Get(0)->maxdepth, 254); // 304.8 cm less the offset
    EXPECT_EQ(cut.prompts, std::vector<std::string>{"cut.sl3Track: cut Add Depth [cm]:"});

    // A read cancelled from its progress report adds nothing: the project stays as it was.
    Project cancelled;
    int reports = 0;
    cancelled.loader.Options.Read.Progress = [&](std::uint64_t, std::uint64_t) {
        return ++reports < 1;
    };
    EXPECT_THROW(cancelled.loader.LoadFile(dir.File("Sonar0002.sl2", log.bytes)),
                 std::runtime_error);
    EXPECT_GT(reports, 0);
    EXPECT_EQ(cancelled.doc.trk.Count(), 0);
    EXPECT_EQ(cancelled.loader.MaxDepth, 0);

    // A Humminbird recording: the .DAT with its folder.
    const std::string dat = dir.File("R00007.DAT", sonarfix::WriteDat(1382657324));
    std::filesystem::create_directory(dir.path / "R00007");
    testutil::WriteBytes(dir.path / "R00007" / "B001.SON", sonarfix::WriteBeam({{}, {}}).son);
    Project h;
    ASSERT_EQ(h.loader.LoadFile(dat), 0);
    EXPECT_EQ(h.doc.trk[0]->Get(0)->Count(), 2);
    EXPECT_EQ(h.loader.MaxDepth, 250);

    // Refused files throw with the reader's words and add nothing.
    Project q;
    auto thrown = [&](const std::string &path) -> std::string {
        try {
            q.loader.LoadFile(path);
        } catch (const std::runtime_error &e) {
            return e.what();
        }
        return "nothing thrown";
    };
    EXPECT_NE(thrown(dir.File("old.slg", log.bytes)).find("not supported"), std::string::npos);
    EXPECT_NE(thrown(dir.File("data.dat", "x")).find("not a Humminbird"), std::string::npos);
    std::filesystem::remove_all(dir.path / "R00007");
    EXPECT_NE(thrown(dat).find("R00007 with its sonar files"), std::string::npos);
    EXPECT_EQ(q.doc.trk.Count(), 0);
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
    std::string gpx =
        dir.File("s.gpx", "<gpx><trk><trkseg>" + point(47, 420, false) + point(47.1, 2900, true) +
                              point(47.2, 430, false) + "</trkseg><trkseg>" +
                              point(47.3, 800, true) + "</trkseg></trk></gpx>");
    Project p;
    ASSERT_EQ(p.loader.LoadFile(gpx), 0);
    const model::TGPXtrk &t = *p.doc.trk[0];
    ASSERT_EQ(t[0]->Count(), 3);
    EXPECT_TRUE(t[0]->Get(1)->Flagged);
    EXPECT_EQ(p.loader.MaxDepth, 430);
    // A segment's maxdepth counts every reading: one of flagged soundings is no shoreline.
    EXPECT_EQ(t[0]->maxdepth, 2900);
    EXPECT_EQ(t[1]->maxdepth, 800);
    EXPECT_EQ(depth::GetMaxDepth(p.doc), 2900);
}
