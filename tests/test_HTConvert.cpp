#include "formats/HTConvert.h"
#include "support/AtomicFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;
using formats::THTConvert;
using testutil::S32;
using testutil::TempDir;
using testutil::U16;

namespace {

// One track per entry, one segment per inner vector of (lat, lon, depth).
using Seg = std::vector<std::array<double, 3>>;
void AddTrack(model::TGPX &doc, const std::vector<Seg> &segments) {
    auto trk = std::make_unique<model::TGPXtrk>();
    for (const Seg &s : segments) {
        auto seg = std::make_unique<model::TGPXtrkseg>();
        for (const auto &p : s) {
            auto w = std::make_unique<model::TGPXwpt>();
            w->Latitude = p[0];
            w->Longitude = p[1];
            w->HBdepth = p[2];
            seg->Add(std::move(w));
        }
        trk->Add(std::move(seg));
    }
    doc.trk.Add(std::move(trk));
}

std::int16_t Delta(const std::string &b, std::size_t record, int field) {
    return static_cast<std::int16_t>(U16(b, 68 + record * 6 + static_cast<std::size_t>(field) * 2));
}

std::string Written(model::TGPX &doc, const std::string &path, const std::string &name = "Lake") {
    THTConvert c(&doc, name, path);
    c.Now = [] { return 1401626096u; };
    EXPECT_TRUE(c.ConvertToHT());
    return support::ReadWholeFile(path);
}

} // namespace

TEST(HTProjection, KnownPositions) {
    EXPECT_EQ(THTConvert::LongitudeToEasting(10), 1113239);
    EXPECT_EQ(THTConvert::LatitudeToNorthing(50), 6413635);
    EXPECT_NEAR(THTConvert::NorthingToLatitude(6413635), 49.9999976, 1e-7);
    EXPECT_NEAR(THTConvert::EastingToLongitude(1113239), 10.0000025, 1e-7);
    EXPECT_EQ(THTConvert::LongitudeToEasting(0), 0);
    EXPECT_EQ(THTConvert::LatitudeToNorthing(0), 0);
    EXPECT_EQ(THTConvert::LongitudeToEasting(-10), -1113239);
    EXPECT_EQ(THTConvert::LatitudeToNorthing(-50), -6413635);
}

TEST(HTWrite, LayoutOfOneSegment) {
    TempDir dir;
    model::TGPX doc;
    AddTrack(doc, {{{50, 10, 100},
                    {50.0001, 10.0001, 200.9},
                    {50.0002, 10.0002, 300},
                    {50.0003, 10.0003, 400},
                    {50.0004, 10.0004, 500}}});
    std::string b = Written(doc, dir.Path("a.ht"), "A track name of more than twenty");
    ASSERT_EQ(b.size(), THTConvert::kFileSize);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[1], 3);
    EXPECT_EQ(U16(b, 8), 8u); // 5 points + the separator
    EXPECT_EQ(static_cast<std::uint32_t>(S32(b, 12)), 1401626096u);
    EXPECT_EQ(S32(b, 16), 1113239);
    EXPECT_EQ(S32(b, 20), 6413635);
    EXPECT_EQ(S32(b, 24), THTConvert::LongitudeToEasting(10.0004));
    EXPECT_EQ(S32(b, 32), 1113239); // western bound
    EXPECT_EQ(b.substr(48, 20), "A track name of more");
    EXPECT_EQ(U16(b, 68 + 4), 200u); // depth truncated
    EXPECT_EQ(Delta(b, 0, 0), THTConvert::LongitudeToEasting(10.0001) - 1113239);
    // records 4..6 are the separator
    EXPECT_EQ(U16(b, 68 + 4 * 6), 0x7FFFu);
    EXPECT_EQ(U16(b, 68 + 5 * 6), 0x8000u);
    EXPECT_EQ(U16(b, 68 + 6 * 6), 0u);
    EXPECT_EQ(b.find_first_not_of('\0', 68 + 7 * 6), std::string::npos);
}

TEST(HTWrite, SegmentsTracksAndCounts) {
    TempDir dir;
    model::TGPX doc;
    AddTrack(doc, {{{50, 10, 1}, {50.001, 10.001, 2}}});
    AddTrack(doc, {{{50.002, 10.002, 3}, {50.003, 10.003, 4}}, {}});
    std::string b = Written(doc, dir.Path("b.ht"), "x");
    EXPECT_EQ(U16(b, 8), 10u);
    // the first record of the second segment is relative to the last point of the first
    EXPECT_EQ(Delta(b, 4, 0),
              THTConvert::LongitudeToEasting(10.002) - THTConvert::LongitudeToEasting(10.001));
    EXPECT_EQ(b.substr(48, 2), std::string("x\0", 2));
    EXPECT_EQ(doc.trk[0]->Count(), 3); // all segments gathered into the first track
    EXPECT_EQ(doc.trk[1]->Count(), 0);

    // West of Greenwich and south of the equator, as units in the Americas record.
    model::TGPX south;
    AddTrack(south, {{{-33.5, -70.25, 5}, {-33.5001, -70.2501, 6}}});
    std::string s = Written(south, dir.Path("s.ht"));
    EXPECT_EQ(S32(s, 16), THTConvert::LongitudeToEasting(-70.25));
    EXPECT_LT(S32(s, 20), 0);
}

TEST(HTWrite, WhatCannotBeWrittenWritesNothing) {
    TempDir dir;
    model::TGPX empty;
    AddTrack(empty, {{}});
    THTConvert none(&empty, "x", dir.Path("none.ht"));
    EXPECT_FALSE(none.ConvertToHT());
    EXPECT_EQ(none.ErrorText, ""); // nothing to write is no error

    model::TGPX big;
    Seg many;
    for (int i = 0; i < 19997; ++i)
        many.push_back({50 + i * 1e-6, 10, 100});
    AddTrack(big, {many, {{50.1, 10, 1}}}); // 19998 points + 6 separator records
    std::vector<std::string> log;
    THTConvert tooMany(&big, "x", dir.Path("big.ht"),
                       [&](const std::string &l) { log.push_back(l); });
    EXPECT_FALSE(tooMany.ConvertToHT());
    EXPECT_EQ(log, std::vector<std::string>{"HTCOnvert: number of points to write: 20004"});
    EXPECT_EQ(tooMany.ErrorText, "Too much points to write.");

    model::TGPX apart;
    AddTrack(apart, {{{50, 10, 1}}, {{51, 10, 1}}});
    THTConvert far(&apart, "x", dir.Path("far.ht"));
    EXPECT_FALSE(far.ConvertToHT());
    // The limit in the file's own units: on the ground it shrinks toward the poles.
    EXPECT_EQ(far.ErrorText,
              "Tracks more than 32000 Mercator units (about 32 km at the equator, less toward "
              "the poles) apart cannot be written into one HT file.");
    EXPECT_FALSE(
        THTConvert::SegmentsJoin(*apart.trk[0]->First()->Last(), *apart.trk[0]->Last()->First()));
    EXPECT_FALSE(fs::exists(dir.Path("none.ht")) || fs::exists(dir.Path("big.ht")) ||
                 fs::exists(dir.Path("far.ht")));
}

TEST(HTWrite, SegmentsJoinWithinOneRecordsReach) {
    auto at = [](double lat, double lon) {
        model::TGPXwpt w;
        w.Latitude = lat;
        w.Longitude = lon;
        return w;
    };
    auto eastingLon = [](double units) { return units * 180 / 20038297.0; };
    const model::TGPXwpt origin = at(47, 0);
    struct Case {
        model::TGPXwpt to;
        bool joins;
    } cases[] = {
        {at(47, 0), true},
        {at(47, eastingLon(32000)), true},
        {at(47, eastingLon(-32000)), true},
        {at(47, eastingLon(32001)), false},
        {at(47.19, 0), true}, // 21.1 km north on the ground, 30972 units
        {at(47.2, 0), false}, // 22.2 km north on the ground, but 32605 units
        {at(47, 1e5), true},  // no file holds it; the writer says so itself
    };
    for (const Case &c : cases) {
        EXPECT_EQ(THTConvert::SegmentsJoin(origin, c.to), c.joins)
            << c.to.Latitude << " " << c.to.Longitude;
        EXPECT_EQ(THTConvert::SegmentsJoin(c.to, origin), c.joins);
    }
}

TEST(HTWrite, LongStepsInsideASegmentAreSplit) {
    TempDir dir;
    model::TGPX doc;
    AddTrack(doc, {{{50, 10, 100}, {50.5, 10.5, 300}}}); // about 55 km in each direction
    std::string b = Written(doc, dir.Path("long.ht"));
    const unsigned n = U16(b, 8);
    EXPECT_GT(n, 5u);
    for (unsigned r = 0; r + 3 < n - 1; ++r) {
        EXPECT_LE(std::abs(Delta(b, r, 0)), 32000);
        EXPECT_LE(std::abs(Delta(b, r, 1)), 32000);
    }
    model::TGPX back;
    THTConvert reader(&back, "", dir.Path("long.ht"));
    ASSERT_TRUE(reader.ReadHT());
    const model::TGPXtrkseg &s = *back.trk[0]->First();
    EXPECT_NEAR(s.Last()->Latitude, 50.5, 1e-4);
    EXPECT_NEAR(s.Last()->Longitude, 10.5, 1e-4);
    EXPECT_EQ(s.Last()->HBdepth, 300);
}

TEST(HTRead, RoundTripGivesTheSegmentsBack) {
    TempDir dir;
    model::TGPX doc;
    AddTrack(doc, {{{47.1, 8.1, 350.7}, {47.1001, 8.1002, 351.2}, {47.1003, 8.1001, 0}},
                   {{47.2, 8.2, 12}}});
    Written(doc, dir.Path("rt.ht"), "Survey");
    model::TGPX back;
    THTConvert reader(&back, "Name: ", dir.Path("rt.ht"));
    ASSERT_TRUE(reader.ReadHT());
    EXPECT_EQ(reader.sTrackName, "Name: Survey");
    ASSERT_EQ(back.trk.Count(), 1);
    const model::TGPXtrk &t = *back.trk[0];
    EXPECT_EQ(t.name, "Name: Survey");
    ASSERT_EQ(t.Count(), 2);
    ASSERT_EQ(t[0]->Count(), 3);
    ASSERT_EQ(t[1]->Count(), 1);
    EXPECT_NEAR(t[0]->Get(0)->Latitude, 47.1, 1e-5);
    EXPECT_EQ(t[0]->Get(0)->HBdepth, 0); // the first position carries no depth
    EXPECT_EQ(t[0]->Get(1)->HBdepth, 351);
    EXPECT_NEAR(t[0]->Get(2)->Longitude, 8.1001, 1e-5);
    EXPECT_NEAR(t[1]->Get(0)->Latitude, 47.2, 1e-5);
    EXPECT_EQ(t[1]->Get(0)->HBdepth, 12);
    EXPECT_TRUE(back.trk.filled);
}

TEST(HTRead, HeadersThatAreNotHTFiles) {
    std::string valid(THTConvert::kFileSize, '\0');
    valid[0] = 1;
    valid[1] = 3;
    auto withCount = [&](unsigned n) {
        std::string b = valid;
        b[8] = static_cast<char>(n >> 8);
        b[9] = static_cast<char>(n & 0xFF);
        return b;
    };
    struct Case {
        std::string bytes;
        const char *message; // nullptr: reads
        int points;
    } cases[] = {
        {valid.substr(1), "f.ht: wrong file size.", 0},
        {"", "f.ht: wrong file size.", 0},
        {std::string(THTConvert::kFileSize, '\0'), "f.ht: error in file header.", 0},
        {withCount(65535), "f.ht: error in file header.", 0},
        {withCount(0), nullptr, 0},
        {withCount(1), nullptr, 1},
        {withCount(21836), nullptr, 21836}, // every record the file can hold
    };
    for (const Case &c : cases) {
        model::TGPX doc;
        THTConvert reader(&doc, "", "f.ht");
        bool ok = reader.ReadHTBytes(c.bytes);
        EXPECT_EQ(ok, c.message == nullptr);
        if (c.message) {
            EXPECT_EQ(reader.ErrorText, c.message);
            EXPECT_EQ(doc.trk.Count(), 0);
        } else {
            ASSERT_EQ(doc.trk.Count(), 1);
            ASSERT_EQ(doc.trk[0]->Count(), 1);
            EXPECT_EQ(doc.trk[0]->First()->Count(), c.points);
        }
    }
}
