#include "formats/HumminbirdRecording.h"
#include "formats/IndexRuns.h"
#include "formats/LowranceLog.h"

#include "SonarFixtures.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <set>

namespace fs = std::filesystem;
using formats::ReadResult;
using sonarfix::Frame;
using sonarfix::Ping;
using testutil::TempDir;

namespace {

constexpr std::uint32_t kStart = 1382657324;   // 2013-10-24 23:28:44 UTC
constexpr double kStartDays = 41571.978287037; // the same in days since 1899-12-30

// Counts and depths of what a reader put into the document.
struct Read {
    std::unique_ptr<model::TGPX> doc = std::make_unique<model::TGPX>();
    ReadResult r;

    std::vector<int> SegmentSizes() const {
        std::vector<int> sizes;
        for (const auto &t : doc->trk.Items())
            for (const auto &s : t->Items())
                sizes.push_back(s->Count());
        return sizes;
    }
    std::vector<const model::TGPXwpt *> Points() const {
        std::vector<const model::TGPXwpt *> points;
        for (const auto &t : doc->trk.Items())
            for (const auto &s : t->Items())
                for (const auto &p : s->Items())
                    points.push_back(p.get());
        return points;
    }
    std::vector<double> Depths() const {
        std::vector<double> d;
        for (const auto *p : Points())
            d.push_back(p->HBdepth);
        return d;
    }
    bool Logged(const std::string &part) const {
        return std::any_of(r.log.begin(), r.log.end(),
                           [&](const std::string &l) { return l.find(part) != std::string::npos; });
    }
    std::string LogText() const {
        std::string all;
        for (const auto &l : r.log)
            all += l + "\n";
        return all;
    }
};

Read ReadLog(const std::string &bytes, const std::string &name = "log.sl2",
             const formats::ReadProgress &progress = {}) {
    Read out;
    out.r = formats::ReadLowranceLogBytes(bytes, name, *out.doc, progress);
    return out;
}

// Five pings on one channel, one foot deeper each, 1 s apart.
std::vector<Frame> FivePings() {
    std::vector<Frame> frames;
    for (std::uint32_t i = 0; i < 5; ++i) {
        Frame f;
        f.index = i;
        f.depthFeet = 10.0f + static_cast<float>(i);
        f.ms = 1000 * i;
        f.lat = 59.1 + 0.001 * i;
        frames.push_back(f);
    }
    return frames;
}

} // namespace

TEST(SonarProjection, KnownPositions) {
    // The fixes of two published recordings, as their own tools decode them.
    EXPECT_NEAR(formats::LowranceLatitude(8179735), 59.124073, 1e-6);
    EXPECT_NEAR(formats::LowranceLongitude(1372428), 12.370205, 1e-6);
    EXPECT_NEAR(formats::HumminbirdLatitude(4396652), 36.87881, 1e-5);
    EXPECT_NEAR(formats::HumminbirdLongitude(-12414199), -111.51426, 1e-5);
    EXPECT_EQ(formats::LowranceLatitude(0), 0);
    EXPECT_NEAR(formats::HumminbirdLatitude(sonarfix::HumminbirdNorthing(-45.5)), -45.5, 1e-6);
}

// The kept pings' set answers as a plain set does, in order or not, at the ends of the range.
TEST(IndexRuns, AnswersAsASetWhateverTheOrder) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::mt19937 random(7);
    const std::vector<std::vector<std::uint32_t>> cases = {
        {0, 1, 2, 4, 5, 3},            // a gap filled last joins two runs
        {10, 8, 9, 9, 7, 12, 11},      // backwards, repeated
        {kMax - 1, kMax, 0, kMax - 2}, // the top of the range
    };
    auto check = [](const std::vector<std::uint32_t> &order) {
        formats::TIndexRuns runs;
        std::set<std::uint32_t> plain;
        for (std::uint32_t i : order) {
            runs.Insert(i);
            plain.insert(i);
        }
        for (std::uint32_t probe : order)
            for (std::uint32_t q : {probe - 1, probe, probe + 1})
                ASSERT_EQ(runs.Contains(q), plain.count(q) == 1) << q;
        std::size_t gaps = 0;
        for (auto it = plain.begin(); it != plain.end(); ++it)
            gaps += std::next(it) != plain.end() && *std::next(it) != *it + 1;
        EXPECT_EQ(runs.Runs(), plain.empty() ? 0 : gaps + 1);
    };
    for (const auto &order : cases)
        check(order);
    std::vector<std::uint32_t> shuffled(2000);
    for (std::uint32_t &i : shuffled)
        i = random() % 3000;
    check(shuffled);
}

TEST(LowranceLog, OneSoundingPerPingWhateverTheChannels) {
    for (int format : {2, 3}) {
        SCOPED_TRACE(format);
        std::vector<Frame> frames;
        auto add = [&](std::uint32_t index, std::uint16_t channel, float feet, bool valid) {
            Frame f;
            f.index = index;
            f.channel = channel;
            f.depthFeet = feet;
            f.positionValid = valid;
            f.lat = 59 + index * 0.001;
            frames.push_back(f);
        };
        add(0, 2, 0, true); // no bottom on this channel: the next one counts
        add(0, 5, 5, true); // the sounding of ping 0
        add(0, 0, 6, true); // the same ping again
        add(1, 2, 4.009f, false);
        add(1, 9, 7, true); // a 3D channel (short SL3 header) holds ping 1
        add(2, 0, 0, true); // ping 2: no bottom anywhere
        add(2, 1, 0, true);
        add(3, 0, 8, false); // ping 3: no position: the track breaks
        add(3, 1, 8, false);
        add(4, 0, 4.009f, true);
        add(4, 1, 9, true);
        add(0, 1, 9, true); // a late channel of ping 0, already kept
        add(2, 3, 3, true); // a late channel of ping 2 with a bottom after all
        const Read r =
            ReadLog(sonarfix::WriteLog(frames, format).bytes, format == 2 ? "a.sl2" : "a.SL3");
        ASSERT_TRUE(r.r.loaded) << r.LogText();
        EXPECT_FALSE(r.r.error);
        EXPECT_EQ(r.Depths(), (std::vector<double>{152.4, 213.4, 122.2, 91.4}));
        EXPECT_EQ(r.SegmentSizes(), (std::vector<int>{2, 2}));
        EXPECT_TRUE(r.Logged("0 pings without depth, 1 without position")) << r.LogText();
        EXPECT_NEAR(r.Points()[1]->Latitude, 59.001, 1e-5);
        EXPECT_NEAR(r.Points()[1]->Longitude, 12.3, 1e-5);
        EXPECT_EQ(r.doc->trk[0]->name, "a");
        EXPECT_EQ(r.doc->trk[0]->Get(0)->maxdepth, 213);
    }
}

TEST(LowranceLog, TimeWhenTheLogHasOne) {
    struct Case {
        std::uint32_t start;
        int format;
        double expected; // days of the second ping (2.5 s after the start); 0 = none
        const char *logged;
    };
    const Case cases[] = {
        {kStart, 2, kStartDays + 2.5 / 86400, nullptr},
        {kStart, 3, kStartDays + 2.5 / 86400, nullptr},
        {0xFFFFFFFF, 2, 0, "no GPS time"},
        {12345, 3, 0, "is not a time"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        std::vector<Frame> frames = FivePings();
        frames[1].ms = 2500;
        for (Frame &f : frames)
            f.startTime = &f == &frames[0] ? c.start : 0; // only the first frame holds it
        const Read r =
            ReadLog(sonarfix::WriteLog(frames, c.format).bytes, c.format == 2 ? "t.sl2" : "t.sl3");
        ASSERT_EQ(r.Points().size(), 5u);
        EXPECT_NEAR(r.Points()[1]->DateTime, c.expected, 1e-9);
        if (c.logged) {
            EXPECT_TRUE(r.Logged(c.logged)) << r.LogText();
        }
    }
}

// Damage of every kind keeps what was read; the reader says where it skipped or stopped.
TEST(LowranceLog, DamageIsSkippedOrStopsWithWhatWasRead) {
    struct Case {
        const char *name;
        std::function<void(sonarfix::Log &)> damage;
        std::vector<double> depths;
        std::vector<int> segments;
        bool stopped;       // an error saying where reading stopped
        int stoppedAtFrame; // where, as a frame number
        const char *logged;
    };
    auto sizeOf = [](sonarfix::Log &l, int frame, std::uint16_t size) {
        sonarfix::PutLE(l.bytes, l.frames[static_cast<std::size_t>(frame)] + 28, size, 2);
    };
    const std::vector<double> all{304.8, 335.3, 365.8, 396.2, 426.7};
    const Case cases[] = {
        {"last frame cut in its echo data",
         [](sonarfix::Log &l) { l.bytes.resize(l.bytes.size() - 10); },
         {304.8, 335.3, 365.8, 396.2},
         {4},
         true,
         4,
         "is cut off"},
        {"last frame cut in its header",
         [](sonarfix::Log &l) { l.bytes.resize(l.frames[4] + 100); },
         {304.8, 335.3, 365.8, 396.2},
         {4},
         true,
         4,
         "is cut off"},
        {"bytes after the last frame",
         [](sonarfix::Log &l) { l.bytes += "\x01\x02"; },
         all,
         {5},
         false,
         0,
         "2 bytes after the last frame ignored"},
        {"damaged stretch",
         [](sonarfix::Log &l) {
             std::fill(l.bytes.begin() + static_cast<long>(l.frames[2]),
                       l.bytes.begin() + static_cast<long>(l.frames[2]) + 50, '\x77');
         },
         {304.8, 335.3, 396.2, 426.7},
         {2, 2},
         false,
         0,
         "skipped"},
        {"frame size 0",
         [&](sonarfix::Log &l) { sizeOf(l, 1, 0); },
         {304.8, 365.8, 396.2, 426.7},
         {1, 3},
         false,
         0,
         "a frame of size 0 at byte"},
        {"frame size smaller than its header",
         [&](sonarfix::Log &l) { sizeOf(l, 1, 100); },
         {304.8, 365.8, 396.2, 426.7},
         {1, 3},
         false,
         0,
         "smaller than its header"},
        {"frame size beyond the file in the middle",
         [&](sonarfix::Log &l) { sizeOf(l, 2, 65535); },
         {304.8, 335.3, 396.2, 426.7},
         {2, 2},
         false,
         0,
         "beyond the end of the file"},
        {"frame size beyond the file at the end",
         [&](sonarfix::Log &l) { sizeOf(l, 4, 65535); },
         {304.8, 335.3, 365.8, 396.2},
         {4},
         true,
         4,
         "is cut off"},
        {"garbage to the end",
         [](sonarfix::Log &l) {
             std::fill(l.bytes.begin() + static_cast<long>(l.frames[3]), l.bytes.end(), '\x33');
         },
         {304.8, 335.3, 365.8},
         {3},
         true,
         3,
         "to the end, no frame found"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sonarfix::Log log = sonarfix::WriteLog(FivePings());
        c.damage(log);
        const Read r = ReadLog(log.bytes);
        ASSERT_TRUE(r.r.loaded) << r.LogText();
        EXPECT_EQ(r.Depths(), c.depths);
        EXPECT_EQ(r.SegmentSizes(), c.segments);
        EXPECT_TRUE(r.Logged(c.logged)) << r.LogText();
        ASSERT_EQ(r.r.error.has_value(), c.stopped) << r.LogText();
        if (c.stopped) {
            EXPECT_EQ(r.r.error->where, log.frames[static_cast<std::size_t>(c.stoppedAtFrame)]);
            EXPECT_NE(r.r.error->text.find("log.sl2: "), std::string::npos);
        }
    }
}

TEST(LowranceLog, AbsurdValuesAreLeftOutAndCounted) {
    std::vector<Frame> frames = FivePings();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float values[] = {-3.0f, nan, 3300.0f /* 1005.8 m */, 0.001f /* 0.3 mm: none */};
    for (float v : values) {
        Frame f = frames.back();
        f.index += 1;
        f.depthFeet = v;
        frames.push_back(f);
    }
    Frame far = frames.back();
    far.index += 1;
    far.lat = 86; // beyond the Mercator's useful range
    frames.push_back(far);
    Frame deepest = frames.back();
    deepest.index += 1;
    deepest.lat = 59;
    deepest.depthFeet = 3280; // 999.7 m
    frames.push_back(deepest);
    const Read r = ReadLog(sonarfix::WriteLog(frames).bytes);
    ASSERT_TRUE(r.r.loaded);
    EXPECT_EQ(r.Points().size(), 6u);
    EXPECT_DOUBLE_EQ(r.Depths().back(), 99974.4);
    EXPECT_TRUE(r.Logged("3 pings with a depth below 0, above 1000 m or not a number"))
        << r.LogText();
    EXPECT_TRUE(r.Logged("1 ping with a position beyond 85°")) << r.LogText();
    EXPECT_TRUE(r.Logged("1 pings without depth, 0 without position")) << r.LogText();
    // A ping without a usable position breaks the track.
    EXPECT_EQ(r.SegmentSizes(), (std::vector<int>{5, 1}));
}

TEST(LowranceLog, FilesThatAreNoLogAddNothing) {
    sonarfix::Log sl3 = sonarfix::WriteLog(FivePings(), 3);
    std::string slg = sl3.bytes;
    slg[0] = 1;
    std::string noFrames = sl3.bytes.substr(0, 8) + std::string(500, '\x11');
    struct Case {
        std::string name, bytes, error;
    };
    const Case cases[] = {
        {"notes.sl2", "<gpx>not a log</gpx>", "notes.sl2: not an SL2 file"},
        {"short.sl3", "\x03", "short.sl3: not an SL3 file"},
        {"frameless.sl3", noFrames, "frameless.sl3: not an SL3 file"},
        {"old.sl2", slg, "old.sl2: SLG logs (.slg) are not supported"},
        {"old.slg", sl3.bytes, "old.slg: SLG logs (.slg) are not supported"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Read r = ReadLog(c.bytes, c.name);
        EXPECT_FALSE(r.r.loaded);
        ASSERT_TRUE(r.r.error);
        EXPECT_EQ(r.r.error->text.rfind(c.error, 0), 0u) << r.r.error->text;
        EXPECT_TRUE(r.doc->trk.Empty());
    }
    // An SL3 log named .sl2 is read by what its header says, and the log tells so.
    const Read named = ReadLog(sl3.bytes, "named.sl2");
    EXPECT_TRUE(named.r.loaded);
    EXPECT_EQ(named.Points().size(), 5u);
    EXPECT_TRUE(named.Logged("the header says SL3"));
    // The file reader refuses .slg by its name and reports a file it cannot open.
    TempDir dir;
    model::TGPX doc;
    EXPECT_FALSE(formats::ReadLowranceLog(dir.File("x.SLG", sl3.bytes), doc).loaded);
    const ReadResult missing = formats::ReadLowranceLog(dir.Path("missing.sl2"), doc);
    EXPECT_FALSE(missing.loaded);
    EXPECT_TRUE(missing.error);
    EXPECT_TRUE(doc.trk.Empty());
}

TEST(LowranceLog, ProgressCanCancelAndThenNothingIsAdded) {
    sonarfix::Log log = sonarfix::WriteLog(FivePings());
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    const Read done = ReadLog(log.bytes, "p.sl2", [&](std::uint64_t at, std::uint64_t total) {
        calls.emplace_back(at, total);
        return true;
    });
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(),
              std::make_pair(std::uint64_t{log.bytes.size()}, std::uint64_t{log.bytes.size()}));
    EXPECT_EQ(done.Points().size(), 5u);

    const Read cancelled =
        ReadLog(log.bytes, "p.sl2", [](std::uint64_t, std::uint64_t) { return false; });
    EXPECT_FALSE(cancelled.r.loaded);
    ASSERT_TRUE(cancelled.r.error);
    EXPECT_EQ(cancelled.r.error->text, "p.sl2: reading cancelled");
    EXPECT_TRUE(cancelled.doc->trk.Empty());

    // Cancelled at the last report, after every frame was read: still nothing.
    const Read late = ReadLog(log.bytes, "p.sl2",
                              [&](std::uint64_t at, std::uint64_t total) { return at < total; });
    EXPECT_FALSE(late.r.loaded);
    EXPECT_TRUE(late.doc->trk.Empty());
}

// ------------------------------------------------------------------ Humminbird

namespace {

// A recording in a folder of its own: R00001.DAT and R00001/ with the beams asked for.
struct Recording {
    TempDir dir;
    std::string dat;
    fs::path folder;

    explicit Recording(std::uint32_t start = kStart) {
        dat = dir.File("R00001.DAT", sonarfix::WriteDat(start));
        folder = dir.path / "R00001";
        fs::create_directory(folder);
    }
    void Put(const std::string &name, const std::string &bytes) const {
        testutil::WriteBytes(folder / name, bytes);
    }
    void PutBeam(const std::string &beam, const sonarfix::Beam &b, bool withIndex = true) const {
        Put(beam + ".SON", b.son);
        if (withIndex)
            Put(beam + ".IDX", b.idx);
    }
    Read Load(const formats::ReadProgress &progress = {}) const {
        Read out;
        out.r = formats::ReadHumminbirdRecording(dat, *out.doc, progress);
        return out;
    }
};

std::vector<Ping> FourPings() {
    std::vector<Ping> pings;
    for (std::uint32_t i = 0; i < 4; ++i) {
        Ping p;
        p.depthDecimetres = 18 + i;
        p.ms = 100 * i;
        p.lat = 36.88 + 0.0001 * i;
        p.samples = 20 + 7 * i;
        pings.push_back(p);
    }
    return pings;
}

} // namespace

TEST(HumminbirdRecording, ReadsOneBeamThroughItsIndexOrRecordByRecord) {
    const sonarfix::Beam b001 = sonarfix::WriteBeam(FourPings());
    std::vector<Ping> other = FourPings();
    for (Ping &p : other)
        p.depthDecimetres += 100;
    const sonarfix::Beam b000 = sonarfix::WriteBeam(other, 0);
    std::vector<Ping> uncounted = FourPings();
    for (Ping &p : uncounted)
        p.count = false;
    const sonarfix::Beam noCount = sonarfix::WriteBeam(uncounted);
    const std::vector<double> depths{180, 190, 200, 210};
    const std::vector<double> depthsB000{1180, 1190, 1200, 1210};

    struct Case {
        const char *name;
        std::function<void(const Recording &)> setUp;
        std::vector<double> depths;
        const char *logged;
    };
    auto idxWith = [&](std::size_t entry, std::uint32_t offset) {
        std::string idx = b001.idx;
        for (int i = 0; i < 4; ++i)
            idx[entry * 8 + 4 + static_cast<std::size_t>(i)] =
                static_cast<char>(offset >> (24 - 8 * i));
        return idx;
    };
    const Case cases[] = {
        {"both beams: B001 is read",
         [&](const Recording &r) { r.PutBeam("B001", b001), r.PutBeam("B000", b000); }, depths,
         "Beam B001"},
        {"only B000", [&](const Recording &r) { r.PutBeam("B000", b000); }, depthsB000,
         "Beam B000"},
        {"no index", [&](const Recording &r) { r.PutBeam("B001", b001, false); }, depths,
         "B001.IDX is missing: B001.SON is read record by record"},
        {"index entry inside a record",
         [&](const Recording &r) {
             r.PutBeam("B001", b001, false);
             r.Put("B001.IDX", idxWith(2, static_cast<std::uint32_t>(b001.records[2] + 3)));
         },
         depths, "B001.IDX is damaged: entry 2 (byte 16)"},
        {"index entry beyond the file",
         [&](const Recording &r) {
             r.PutBeam("B001", b001, false);
             r.Put("B001.IDX", idxWith(1, 0xFFFFFFF0u));
         },
         depths, "B001.IDX is damaged: entry 1"},
        {"index shorter than the recording",
         [&](const Recording &r) {
             r.PutBeam("B001", b001, false);
             r.Put("B001.IDX", b001.idx.substr(0, 16) + "\x01\x02\x03");
         },
         depths, "2 records beyond those of B001.IDX read"},
        {"no sample counts, through the index",
         [&](const Recording &r) { r.PutBeam("B001", noCount); }, depths, "Beam B001"},
        {"no sample counts, record by record",
         [&](const Recording &r) { r.PutBeam("B001", noCount, false); }, depths, "Beam B001"},
        {"lower-case file names",
         [&](const Recording &r) {
             r.Put("b001.son", b001.son);
             r.Put("b001.idx", b001.idx);
         },
         depths, "Beam B001"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Recording rec;
        c.setUp(rec);
        const Read r = rec.Load();
        ASSERT_TRUE(r.r.loaded) << r.LogText();
        EXPECT_FALSE(r.r.error) << r.r.error->text;
        EXPECT_EQ(r.Depths(), c.depths);
        EXPECT_TRUE(r.Logged(c.logged)) << r.LogText();
        EXPECT_EQ(r.doc->trk[0]->name, "R00001");
        EXPECT_NEAR(r.Points()[3]->Latitude, 36.8803, 1e-5);
        EXPECT_NEAR(r.Points()[3]->Longitude, -111.51, 1e-5);
        EXPECT_NEAR(r.Points()[3]->DateTime, kStartDays + 0.3 / 86400, 1e-9);
    }
}

TEST(HumminbirdRecording, DamageAndMissingValues) {
    struct Case {
        const char *name;
        std::function<void(std::vector<Ping> &)> pings;
        std::function<void(sonarfix::Beam &)> damage;
        std::vector<double> depths;
        std::vector<int> segments;
        bool stopped;
        const char *logged;
    };
    auto none = [](auto &) {};
    const Case cases[] = {
        {"last record cut off",
         none,
         [](sonarfix::Beam &b) { b.son.resize(b.son.size() - 5); },
         {180, 190, 200},
         {3},
         true,
         "the last record, at byte"},
        {"damaged stretch",
         none,
         [](sonarfix::Beam &b) { b.son.replace(b.records[1], 10, 10, '\x00'); },
         {180, 200, 210},
         {1, 2},
         false,
         "Damaged: no record at byte"},
        {"sample count beyond the file",
         none,
         [](sonarfix::Beam &b) { b.son.replace(b.records[1] + 42, 4, "\x7F\xFF\xFF\xFF"); },
         {180, 200, 210},
         {1, 2},
         false,
         "a record reaching beyond the end of the file"},
        {"garbage at the end",
         none,
         [](sonarfix::Beam &b) { b.son += std::string(70, 'x'); },
         {180, 190, 200, 210},
         {4},
         true,
         "to the end, no record found"},
        {"no depth, no position, absurd values",
         [](std::vector<Ping> &p) {
             p[0].depthDecimetres = 0;
             p[1].position = false;
             p[2].depthDecimetres = 10001; // 1000.1 m
             p.push_back(p[3]);
             p.back().depthDecimetres = 0xFFFFFFF6; // -1 m
             p.push_back(p[3]);
             p.back().lat = -85.5;
         },
         none,
         {210},
         {1},
         false,
         "1 pings without depth, 1 without position"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Ping> pings = FourPings();
        c.pings(pings);
        sonarfix::Beam beam = sonarfix::WriteBeam(pings);
        c.damage(beam);
        for (bool withIndex : {true, false}) {
            SCOPED_TRACE(withIndex ? "with index" : "without index");
            Recording rec;
            rec.PutBeam("B001", beam, withIndex);
            const Read r = rec.Load();
            ASSERT_TRUE(r.r.loaded) << r.LogText();
            EXPECT_EQ(r.Depths(), c.depths);
            EXPECT_EQ(r.SegmentSizes(), c.segments);
            EXPECT_TRUE(r.Logged(c.logged)) << r.LogText();
            EXPECT_EQ(r.r.error.has_value(), c.stopped) << r.LogText();
        }
    }
    // The absurd values are counted too.
    std::vector<Ping> pings = FourPings();
    pings[0].depthDecimetres = 10001;
    pings[1].lat = 88;
    Recording rec;
    rec.PutBeam("B001", sonarfix::WriteBeam(pings));
    const Read r = rec.Load();
    EXPECT_TRUE(r.Logged("1 ping with a depth below 0, above 1000 m or not a number"))
        << r.LogText();
    EXPECT_TRUE(r.Logged("1 ping with a position beyond 85°")) << r.LogText();
}

TEST(HumminbirdRecording, WhatIsNotARecordAddsNothing) {
    const sonarfix::Beam beam = sonarfix::WriteBeam(FourPings());
    {
        Recording rec;
        fs::remove(rec.folder);
        const Read r = rec.Load();
        EXPECT_FALSE(r.r.loaded);
        ASSERT_TRUE(r.r.error);
        EXPECT_NE(r.r.error->text.find((rec.dir.path / "R00001").string()), std::string::npos)
            << r.r.error->text;
        EXPECT_NE(r.r.error->text.find("is missing"), std::string::npos);
    }
    {
        Recording rec;
        rec.Put("B002.SON", beam.son); // side imaging only
        const Read r = rec.Load();
        EXPECT_FALSE(r.r.loaded);
        EXPECT_NE(r.r.error->text.find("no B001.SON or B000.SON"), std::string::npos);
    }
    {
        Recording rec;
        rec.PutBeam("B001", beam);
        testutil::WriteBytes(rec.dat, "not a recording");
        const Read r = rec.Load();
        EXPECT_FALSE(r.r.loaded);
        EXPECT_EQ(r.r.error->text, rec.dat + ": not a Humminbird recording (.DAT) file");
        EXPECT_TRUE(r.doc->trk.Empty());
    }
    {
        Recording rec;
        rec.Put("B001.SON", std::string(3000, '\x42'));
        const Read r = rec.Load();
        EXPECT_FALSE(r.r.loaded);
        EXPECT_NE(r.r.error->text.find("not a Humminbird sonar file"), std::string::npos);
        EXPECT_TRUE(r.doc->trk.Empty());
    }
    {
        // Cut off inside its first record: a recording with nothing readable in it.
        Recording rec;
        rec.Put("B001.SON", beam.son.substr(0, 30));
        const Read r = rec.Load();
        EXPECT_TRUE(r.r.loaded);
        ASSERT_TRUE(r.r.error);
        EXPECT_NE(r.r.error->text.find("the last record, at byte 0, is cut off"),
                  std::string::npos);
        EXPECT_TRUE(r.doc->trk.Empty());
    }
    {
        // A start time that is none: soundings without time.
        Recording rec(0);
        rec.PutBeam("B001", beam);
        const Read r = rec.Load();
        ASSERT_EQ(r.Points().size(), 4u);
        EXPECT_EQ(r.Points()[2]->DateTime, 0);
        EXPECT_TRUE(r.Logged("no start time"));
    }
    {
        Recording rec;
        rec.PutBeam("B001", beam);
        const Read r = rec.Load([](std::uint64_t, std::uint64_t) { return false; });
        EXPECT_FALSE(r.r.loaded);
        EXPECT_TRUE(r.doc->trk.Empty());
    }
}
