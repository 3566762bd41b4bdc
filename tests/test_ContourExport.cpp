#include "depth/ContourExport.h"

#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "support/AtomicFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <filesystem>
#include <numeric>

namespace fs = std::filesystem;
using depth::kNewFileMarker;
using depth::TChangeSaveOrder;
using depth::THTExport;
using formats::THTConvert;
using testutil::S32;
using testutil::TempDir;
using testutil::U16;

namespace {

// Point i of a line lies about a metre from the one before and has depth i, so that the
// depth of every record tells which point it is.
double Lon(int i) {
    return 10 + i * 1e-5;
}
double Lat(int i) {
    return 50 + i * 1e-5;
}

// Appends a track of segments with the given point counts, numbering points from `first`.
model::TGPXtrk &AddTrack(model::TGPX &doc, const std::string &name, std::vector<int> counts,
                         int first = 0, double depth = -1) {
    auto trk = std::make_unique<model::TGPXtrk>();
    trk->name = name;
    int i = first;
    for (int count : counts) {
        auto seg = std::make_unique<model::TGPXtrkseg>();
        for (int k = 0; k < count; ++k, ++i) {
            auto w = std::make_unique<model::TGPXwpt>();
            w->Longitude = Lon(i);
            w->Latitude = Lat(i);
            w->HBdepth = depth < 0 ? i : depth;
            seg->Add(std::move(w));
        }
        trk->Add(std::move(seg));
    }
    return *doc.trk.Add(std::move(trk));
}

// An HT file decoded: positions without the separators; the first has no depth (-1).
struct HTFile {
    std::size_t size = 0;
    unsigned n = 0;
    std::string name;
    int segments = 0;
    struct Pos {
        std::int32_t E, N;
        int depth;
    };
    std::vector<Pos> pos;
    std::vector<int> Depths() const {
        std::vector<int> d;
        for (std::size_t i = 1; i < pos.size(); ++i)
            d.push_back(pos[i].depth);
        return d;
    }
};

HTFile ReadHTFile(const std::string &path) {
    const std::string b = support::ReadWholeFile(path);
    HTFile f;
    f.size = b.size();
    f.n = U16(b, 8);
    for (std::size_t i = 48; i < 68 && b[i]; ++i)
        f.name += b[i];
    std::int32_t E = S32(b, 16), N = S32(b, 20);
    f.pos.push_back({E, N, -1});
    for (unsigned r = 0; r + 1 < f.n; ++r) {
        const std::size_t at = 68 + r * 6;
        const auto dE = static_cast<std::int16_t>(U16(b, at));
        const auto dN = static_cast<std::int16_t>(U16(b, at + 2));
        if (dE == 0x7FFF && dN == 0x7FFF) { // separator: three records
            ++f.segments;
            r += 2;
            continue;
        }
        E += dE;
        N += dN;
        f.pos.push_back({E, N, static_cast<int>(U16(b, at + 4))});
    }
    return f;
}

std::int32_t EastingOf(int i) {
    return THTConvert::LongitudeToEasting(Lon(i));
}

// The point whose easting this is (eastings grow with the index).
int IndexOfEasting(std::int32_t E, int count) {
    for (int i = 0; i < count; ++i)
        if (EastingOf(i) == E)
            return i;
    return -1;
}

std::vector<int> Range(int from, int to) { // from .. to, both included
    std::vector<int> v;
    for (int i = from; i <= to; ++i)
        v.push_back(i);
    return v;
}

bool Contains(const std::vector<std::string> &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// An export writing into a folder of its own, with the log kept.
struct Folder {
    TempDir dir;
    support::ScriptedDialogs dialogs;
    std::vector<std::string> log;
    THTExport ex{dialogs, [this](const std::string &l) { log.push_back(l); }};
    Folder() {
        ex.Folder = dir.path.string();
        ex.Now = [] { return 1401626096u; };
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir.path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace

// ---------------------------------------------------------------------------------------

TEST(CreateHTExport, FiftyThousandPointsSplitIntoThreeFilesSharingPoints) {
    Folder f;
    model::TGPX doc;
    AddTrack(doc, "ISO 100 cm", {50000});

    EXPECT_EQ(f.ex.CreateHT(doc, 0), 3);
    EXPECT_EQ(f.Files(), (std::vector<std::string>{"000.ht", "001.ht", "002.ht"}));
    EXPECT_TRUE(f.dialogs.shown.empty());

    const HTFile a = ReadHTFile(f.dir.Path("000.ht"));
    const HTFile b = ReadHTFile(f.dir.Path("001.ht"));
    const HTFile c = ReadHTFile(f.dir.Path("002.ht"));
    // Points 0..19995, 19995..39990, 39990..49999: each file starts with the last point
    // of the one before.
    const std::array<std::pair<int, int>, 3> spans{{{0, 19995}, {19995, 39990}, {39990, 49999}}};
    const std::array<const HTFile *, 3> files{&a, &b, &c};
    const std::array<unsigned, 3> n{19999, 19999, 10013};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const HTFile &h = *files[k];
        EXPECT_EQ(h.size, THTConvert::kFileSize);
        EXPECT_EQ(h.n, n[k]);
        EXPECT_EQ(h.segments, 1);
        EXPECT_EQ(h.name, "NewTrack00" + std::to_string(k));
        EXPECT_EQ(h.pos.front().E, EastingOf(spans[k].first));
        EXPECT_EQ(h.pos.back().E, EastingOf(spans[k].second));
        EXPECT_EQ(h.Depths(), Range(spans[k].first + 1, spans[k].second));
    }
    EXPECT_EQ(a.pos.size(), 19996u);
    EXPECT_EQ(c.pos.size(), 10010u);
    EXPECT_EQ(f.ex.PointsWritten, 19996 + 19996 + 10010); // the shared points in both files

    EXPECT_TRUE(Contains(f.log, "CreateHT: splitting dataset"));
    EXPECT_TRUE(Contains(f.log, "CreateHT: #Points (total): 50000"));
    EXPECT_TRUE(Contains(f.log, "Save Track: ISO 100 cm"));
    EXPECT_TRUE(Contains(f.log, "CreateHT: iterate ===== 002 ======"));
    EXPECT_TRUE(Contains(f.log, "CreateHT: n_wpt_total is 19999"));
    EXPECT_TRUE(Contains(f.log, "CreateHT: n of IsoDataWrite 10010"));
    EXPECT_TRUE(Contains(f.log, "WriteHTFile" + f.dir.Path("001.ht")));
    // The document itself is left as it was.
    ASSERT_EQ(doc.trk.Count(), 1);
    EXPECT_EQ(doc.trk[0]->First()->Count(), 50000);
}

TEST(CreateHTExport, BudgetCases) {
    struct Case {
        const char *what;
        std::vector<std::vector<int>> tracks; // point counts of the segments of each track
        std::vector<unsigned> n;              // positions of every file written
    };
    const std::vector<Case> cases = {
        {"fits", {{19995}}, {19998}},
        {"budget ends at the last point: one more file with that point", {{19996}}, {19999, 4}},
        {"across tracks, ending at the last point", {{10000}, {9993}}, {19999, 4}},
        {"several segments", {{100, 200}, {300}}, {609}},
        // A new segment whose separator would not fit starts the next file; written as
        // one, the file would hold 20001 positions and be refused.
        {"segment that would overfill the file", {{19994, 5}}, {19997, 8}},
        {"segment whose first point would pass the budget", {{19993, 5}}, {19996, 8}},
        {"segment whose first point just fits", {{19992, 4}}, {19999, 7}},
        {"empty segment only", {{0}}, {}},
        {"no tracks", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Folder f;
        model::TGPX doc;
        int first = 0;
        for (const auto &counts : c.tracks) {
            AddTrack(doc, "T", counts, first);
            for (int k : counts)
                first += k;
        }
        EXPECT_EQ(f.ex.CreateHT(doc, 5), 5 + static_cast<int>(c.n.size()));
        EXPECT_EQ(f.ex.Written.size(), c.n.size());
        EXPECT_TRUE(f.dialogs.shown.empty()) << f.dialogs.shown.front().text;
        std::vector<unsigned> n;
        std::vector<int> seen; // point indexes in file order
        for (std::size_t k = 0; k < c.n.size(); ++k) {
            const HTFile h =
                ReadHTFile(f.dir.Path(depth::HTDefaultFileName(5 + static_cast<int>(k))));
            n.push_back(h.n);
            seen.push_back(IndexOfEasting(h.pos.front().E, first));
            const std::vector<int> d = h.Depths();
            seen.insert(seen.end(), d.begin(), d.end());
        }
        EXPECT_EQ(n, c.n);
        // Every point reaches a file, in order; only a shared point appears twice.
        seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
        EXPECT_EQ(seen, Range(0, first - 1));
    }
}

TEST(CreateHTExport, TrackAndFileNames) {
    struct Case {
        std::string base;
        int number;
        std::string name;
    };
    const std::string s17 = "ABCDEFGHIJKLMNOPQ";
    const std::vector<Case> cases = {
        {"NewTrack", 0, "NewTrack000"},
        {"NewTrack", 12, "NewTrack012"},
        {s17, 1, s17 + "001"},
        // Longer than the field allows: cut so that the number survives.
        {s17 + "RST", 2, s17 + "002"},
        {"", 7, "007"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(depth::HTTrackName(c.base, c.number), c.name) << c.base;
    // Characters, not bytes: each is one byte in the file.
    std::string accents;
    for (int i = 0; i < 18; ++i)
        accents += "\xC3\xA9";
    EXPECT_EQ(depth::HTTrackName(accents, 3), accents.substr(0, 34) + "003");
    EXPECT_EQ(depth::HTDefaultFileName(0), "000.ht");
    EXPECT_EQ(depth::HTDefaultFileName(42), "042.ht");

    // A 17-character base plus the number fills the 20-byte field exactly.
    Folder f;
    f.ex.TrackName = s17;
    model::TGPX doc;
    AddTrack(doc, "T", {3});
    EXPECT_EQ(f.ex.CreateHT(doc, 4), 5);
    EXPECT_EQ(ReadHTFile(f.dir.Path("004.ht")).name, s17 + "004");
}

// The file choices of the desktop program: one save dialog per file.
struct Chosen {
    TempDir dir;
    support::ScriptedDialogs dialogs;
    std::vector<std::string> log;
    THTExport ex{dialogs, [this](const std::string &l) { log.push_back(l); }};
    model::TGPX doc; // two files: 19996 and 5005 points
    Chosen() { AddTrack(doc, "ISO 100 cm", {25000}); }
    void Answer(std::initializer_list<std::optional<std::string>> paths) {
        for (const auto &p : paths)
            dialogs.saveAnswers.push_back(p ? std::optional(dir.Path(*p)) : std::nullopt);
    }
    void Existing(const std::string &name) { dir.File(name, "keep"); }
    std::string Content(const std::string &name) { return support::ReadWholeFile(dir.Path(name)); }
};
struct ChosenHT : ::testing::Test, Chosen {};

TEST_F(ChosenHT, EveryFileGoesWhereTheUserSays) {
    Answer({"a.ht", "b.ht"});
    EXPECT_EQ(ex.CreateHT(doc, 0), 2);
    EXPECT_EQ(ex.Written, (std::vector<std::string>{dir.Path("a.ht"), dir.Path("b.ht")}));
    EXPECT_EQ(ReadHTFile(dir.Path("b.ht")).name, "NewTrack001");
    EXPECT_TRUE(Contains(log, "WriteHTFile" + dir.Path("a.ht")));
    EXPECT_TRUE(dialogs.questions.empty());

    // The desktop's own dialog is offered the default name.
    std::vector<std::string> proposed;
    ex.SaveFileAs = [&](const std::string &title, const std::string &filter, const std::string &ext,
                        const std::string &name) {
        EXPECT_EQ(title, "Save ISO Lines as HT Track");
        EXPECT_EQ(filter, "HT-Track|*.ht");
        EXPECT_EQ(ext, "ht");
        proposed.push_back(name);
        return std::optional(dir.Path("c" + fs::path(name).filename().string()));
    };
    EXPECT_EQ(ex.CreateHT(doc, 7), 9);
    // In the folder of the files before, as the same action goes on.
    EXPECT_EQ(proposed, (std::vector<std::string>{dir.Path("007.ht"), dir.Path("008.ht")}));
}

TEST_F(ChosenHT, LaterDialogsStartInTheFolderOfTheFileBefore) {
    fs::create_directory(dir.path / "card");
    fs::create_directory(dir.path / "other");
    std::deque<std::string> answers = {dir.Path("card/a.ht"), dir.Path("other/b.ht"),
                                       dir.Path("card/c.ht")};
    std::vector<std::string> proposed;
    ex.SaveFileAs = [&](const std::string &, const std::string &, const std::string &,
                        const std::string &name) {
        proposed.push_back(name);
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    };
    model::TGPX three; // 19996 + 19996 + 10 points
    AddTrack(three, "ISO 100 cm", {40000});
    EXPECT_EQ(ex.CreateHT(three, 0), 3);
    // The first in the current folder, each later one where the one before went.
    EXPECT_EQ(proposed, (std::vector<std::string>{"000.ht", dir.Path("card/001.ht"),
                                                  dir.Path("other/002.ht")}));
    EXPECT_EQ(ex.Written.size(), 3u);

    // A new action starts again in the current folder.
    answers = {dir.Path("card/d.ht")};
    proposed.clear();
    model::TGPX small;
    AddTrack(small, "ISO 100 cm", {5});
    depth::btnCreateHTClick(small, ex, false);
    EXPECT_EQ(proposed, std::vector<std::string>{"000.ht"});
}

TEST_F(ChosenHT, FileNotWrittenEndsTheDocument) {
    struct Case {
        const char *what;
        std::function<void(Chosen &)> setUp;
        std::vector<std::string> questions, errors;
    };
    const std::vector<Case> cases = {
        {"cancelled",
         [](Chosen &t) {
             t.Answer({"a.ht", std::nullopt, "c.ht"});
         },
         {},
         {}},
        {"overwrite declined",
         [](Chosen &t) {
             t.Existing("b.ht");
             t.Answer({"a.ht", "b.ht", "c.ht"});
             t.dialogs.yesNoAnswers = {false};
         },
         {"b.ht"},
         {}},
        // The box names the system's reason.
        {"write error",
         [](Chosen &t) {
             t.Answer({"a.ht", "missing/b.ht", "c.ht"});
         },
         {},
         {"Error while writing 001.ht: No such file or directory"}},
        {"write error, a file in the folder's place",
         [](Chosen &t) {
             t.Existing("notes");
             t.Answer({"a.ht", "notes/b.ht", "c.ht"});
         },
         {},
         {"Error while writing 001.ht: Not a directory"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Chosen t;
        c.setUp(t);
        EXPECT_EQ(t.ex.CreateHT(t.doc, 0), 1); // the number of the file not written
        EXPECT_EQ(t.ex.Written, std::vector<std::string>{t.dir.Path("a.ht")});
        EXPECT_EQ(t.ex.NotWritten, std::vector<std::string>{"001.ht"});
        EXPECT_EQ(t.ex.PointsWritten, 19996);        // only what reached a file
        EXPECT_EQ(t.dialogs.saveAnswers.size(), 1u); // no dialog for a third file
        EXPECT_FALSE(fs::exists(t.dir.Path("c.ht")));
        std::vector<std::string> questions;
        for (const std::string &q : c.questions)
            questions.push_back("Overwrite existing " + t.dir.Path(q) + " ?");
        EXPECT_EQ(t.dialogs.questions, questions);
        EXPECT_EQ(t.dialogs.Texts(), c.errors);
        for (const auto &s : t.dialogs.shown) {
            EXPECT_EQ(s.kind, support::BoxKind::Error);
            EXPECT_EQ(s.button, support::BoxButton::Ok);
        }
        if (!c.questions.empty()) {
            EXPECT_EQ(t.Content("b.ht"), "keep");
        }
    }
}

TEST_F(ChosenHT, OverwriteAccepted) {
    Existing("a.ht");
    Answer({"a.ht"});
    dialogs.yesNoAnswers = {true};
    model::TGPX small;
    AddTrack(small, "T", {10});
    EXPECT_EQ(ex.CreateHT(small, 0), 1);
    EXPECT_EQ(ReadHTFile(dir.Path("a.ht")).n, 13u);
}

TEST_F(ChosenHT, RefusedByTheWriterIsNotWritten) {
    // A position no HT file can hold: the writer says why, the export adds its own box.
    model::TGPX bad;
    AddTrack(bad, "T", {2}).First()->Last()->Longitude = 1e5;
    Answer({"a.ht"});
    EXPECT_EQ(ex.CreateHT(bad, 0), 0);
    EXPECT_TRUE(ex.Written.empty());
    // The writer has given the reason in its own box; the export's box only names the file.
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Position out of range for an HT file.",
                                                         "Error while writing 000.ht"}));
    EXPECT_EQ(dialogs.shown[1].button, support::BoxButton::Ok);
    EXPECT_FALSE(fs::exists(dir.Path("a.ht")));
}

// ---------------------------------------------------------------------------------------
// Contours far apart

namespace {

using Seg = std::vector<std::array<double, 3>>; // (lat, lon, depth)

// A closed ring of `count` points around (lat, lon).
Seg Ring(double lat, double lon, double radius, int count, double depth) {
    Seg s;
    for (int i = 0; i <= count; ++i) {
        const double a = 2 * 3.141592653589793 * (i % count) / count;
        s.push_back({lat + radius * std::sin(a), lon + 1.5 * radius * std::cos(a), depth});
    }
    return s;
}

// A straight line of `count` points.
Seg Line(double lat1, double lon1, double lat2, double lon2, int count, double depth) {
    Seg s;
    for (int i = 0; i < count; ++i)
        s.push_back({lat1 + (lat2 - lat1) * i / (count - 1), lon1 + (lon2 - lon1) * i / (count - 1),
                     depth});
    return s;
}

void AddSegments(model::TGPX &doc, const std::string &name, const std::vector<Seg> &segments) {
    model::TGPXtrk &trk = *doc.trk.Add(std::make_unique<model::TGPXtrk>());
    trk.name = name;
    for (const Seg &seg : segments) {
        model::TGPXtrkseg &s = *trk.Add(std::make_unique<model::TGPXtrkseg>());
        for (const auto &p : seg) {
            auto w = std::make_unique<model::TGPXwpt>();
            w->Latitude = p[0];
            w->Longitude = p[1];
            w->HBdepth = p[2];
            s.Add(std::move(w));
        }
    }
}

} // namespace

TEST(CreateHTExport, ContoursFarApartGoIntoFilesOfTheirOwn) {
    // Two lakes at 47 deg N, about 40 km apart: 59000 Mercator units in easting, more than
    // one record can bridge between segments.
    const double lat = 47.0, lonA = 8.0, lonB = 8.53;
    const Seg shoreA = Ring(lat, lonA, 0.02, 60, 0), shoreB = Ring(lat, lonB, 0.015, 50, 0);
    const Seg isoA = Ring(lat, lonA, 0.01, 40, 100), isoB = Ring(lat, lonB, 0.008, 30, 100);
    const Seg deepA = Ring(lat, lonA, 0.004, 20, 200), deepB = Ring(lat, lonB, 0.003, 12, 200);
    // Starts in lake A and ends in lake B; inside a segment the writer bridges the gap itself.
    const Seg across = Line(lat, lonA, lat, lonB, 200, 150);
    struct Case {
        const char *what;
        std::vector<std::pair<std::string, std::vector<Seg>>> tracks;
        std::vector<int> segmentsPerFile;
    };
    const std::vector<Case> cases = {
        {"the lakes alternate",
         {{"Shoreline", {shoreA, shoreB}},
          {"ISO 100 cm", {isoA}},
          {"ISO 100 cm", {isoB}},
          {"ISO 200 cm", {deepA, deepB}}},
         {1, 1, 1, 1, 1, 1}},
        {"one lake after the other",
         {{"Shoreline", {shoreA}},
          {"ISO 100 cm", {isoA}},
          {"ISO 100 cm", {isoB}},
          {"ISO 200 cm", {deepB}}},
         {2, 2}},
        // The writer puts a later track's segments last first: the line across would sit
        // between the first shore and the ring before it, its end 40 km from that ring.
        {"a later segment ends far from the one written after it",
         {{"Shoreline", {shoreA}}, {"ISO 150 cm", {isoA, across}}},
         {2, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        model::TGPX doc;
        std::vector<std::pair<std::int32_t, std::int32_t>> expected;
        int segments = 0;
        for (const auto &[name, segs] : c.tracks) {
            AddSegments(doc, name, segs);
            for (const Seg &s : segs) {
                ++segments;
                for (const auto &p : s)
                    expected.push_back({THTConvert::LongitudeToEasting(p[1]),
                                        THTConvert::LatitudeToNorthing(p[0])});
            }
        }
        // The batch tool's way, as the desktop's: every file of the document is written.
        TempDir dir;
        support::ScriptedDialogs dialogs;
        const depth::THTFolderResult r =
            depth::SaveHTFilesToFolder(doc, dir.path.string(), "Lakes", true, nullptr, dialogs);
        for (const auto &s : dialogs.shown)
            EXPECT_EQ(s.kind, support::BoxKind::Information) << s.text;
        EXPECT_TRUE(r.NotWritten.empty());
        ASSERT_EQ(r.Written.size(), c.segmentsPerFile.size());
        EXPECT_EQ(r.NextNumber, static_cast<int>(c.segmentsPerFile.size()));

        std::vector<std::pair<std::int32_t, std::int32_t>> written;
        std::vector<int> segmentsPerFile;
        int points = 0;
        for (std::size_t k = 0; k < r.Written.size(); ++k) {
            EXPECT_EQ(r.Written[k], dir.Path(depth::HTDefaultFileName(static_cast<int>(k))));
            const HTFile h = ReadHTFile(r.Written[k]);
            segmentsPerFile.push_back(h.segments);
            for (const HTFile::Pos &p : h.pos)
                written.push_back({p.E, p.N});
            // Our own reader takes every file back, segment by segment.
            model::TGPX back;
            THTConvert reader(&back, "", r.Written[k]);
            ASSERT_TRUE(reader.ReadHT());
            EXPECT_EQ(reader.sTrackName, depth::HTTrackName("Lakes", static_cast<int>(k)));
            EXPECT_EQ(back.trk[0]->Count(), h.segments);
            for (const auto &s : back.trk[0]->Items())
                points += s->Count();
        }
        EXPECT_EQ(segmentsPerFile, c.segmentsPerFile);
        EXPECT_EQ(std::accumulate(segmentsPerFile.begin(), segmentsPerFile.end(), 0), segments);
        EXPECT_EQ(points, static_cast<int>(expected.size()));
        std::sort(expected.begin(), expected.end());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, expected); // every point once, none made up
    }
}

// ---------------------------------------------------------------------------------------
// "Save as HT File"

namespace {

// Shoreline, two lines of 100 cm and one of 200 cm, with depths telling them apart.
void Contours(model::TGPX &doc) {
    AddTrack(doc, "Shoreline", {4}, 0, 0);
    AddTrack(doc, "ISO 100 cm", {5}, 10, 100);
    AddTrack(doc, "ISO 200 cm", {6}, 20, 200);
    AddTrack(doc, "ISO 100 cm", {7}, 30, 100);
}

std::vector<int> DepthsIn(const std::string &path) {
    return ReadHTFile(path).Depths();
}

int CountOf(const std::vector<int> &v, int x) {
    return static_cast<int>(std::count(v.begin(), v.end(), x));
}

} // namespace

TEST(SaveAsHTExport, WithoutGroupingOneRunAndTheInformation) {
    Folder f;
    model::TGPX doc;
    Contours(doc);
    EXPECT_EQ(depth::btnCreateHTClick(doc, f.ex, false), 1);
    EXPECT_EQ(ReadHTFile(f.dir.Path("000.ht")).n, 22u + 12u);
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].kind, support::BoxKind::Information);
    EXPECT_EQ(f.dialogs.shown[0].text,
              "To upload the generated files to your Humminbird, copy them\n"
              "into a folder \"matrix\" on a SD-Card.\n"
              "The generated files should be named 000.ht, 001.ht and so on.\n"
              "\n"
              "Enter the SD-card in your Humminbird and upload the files, when asked for.\n"
              "To colorize them by depth, you have to set the track style to \"color by depth\".\n"
              "\n"
              "Please note: It is NOT possible to load the generated file as a project again.\n"
              "To save this project, use the GPX format.");
}

TEST(SaveAsHTExport, GroupedByTheSaveOrderList) {
    // The proposed list kept: the leading marker writes nothing, all goes into one file.
    {
        Folder f;
        model::TGPX doc;
        Contours(doc);
        std::vector<std::string> proposed;
        EXPECT_EQ(depth::btnCreateHTClick(doc, f.ex, true,
                                          [&](TChangeSaveOrder &form) { proposed = form.Items; }),
                  1);
        EXPECT_EQ(proposed, (std::vector<std::string>{kNewFileMarker, "Shoreline", "ISO 100 cm",
                                                      "ISO 200 cm"}));
        EXPECT_EQ(f.Files(), std::vector<std::string>{"000.ht"});
        // Every listed track once; the writer puts the first track first and the others
        // from the last back.
        const std::vector<int> d = DepthsIn(f.dir.Path("000.ht"));
        EXPECT_EQ(d, (std::vector<int>{0,   0,   0,   200, 200, 200, 200, 200, 200, 100, 100,
                                       100, 100, 100, 100, 100, 100, 100, 100, 100, 100}));
        EXPECT_EQ(f.dialogs.shown.back().kind, support::BoxKind::Information);
    }
    // A marker before the 200 cm entry starts a new file, numbered after the run before.
    {
        Folder f;
        model::TGPX doc;
        Contours(doc);
        depth::btnCreateHTClick(doc, f.ex, true, [](TChangeSaveOrder &form) {
            form.ItemIndex = 3;
            form.btnAddFileClick();
            form.btnOKClick();
        });
        EXPECT_EQ(f.Files(), (std::vector<std::string>{"000.ht", "001.ht"}));
        const std::vector<int> first = DepthsIn(f.dir.Path("000.ht"));
        const std::vector<int> second = DepthsIn(f.dir.Path("001.ht"));
        EXPECT_EQ(CountOf(first, 200), 0);
        EXPECT_EQ(CountOf(first, 100), 12);
        EXPECT_EQ(second, std::vector<int>(5, 200));
        EXPECT_EQ(ReadHTFile(f.dir.Path("001.ht")).name, "NewTrack001");
    }
    // Unlisted tracks are left out; a name listed twice is exported twice; markers in a
    // list closed without "OK" do no harm.
    {
        Folder f;
        model::TGPX doc;
        Contours(doc);
        EXPECT_EQ(depth::btnCreateHTClick(doc, f.ex, true,
                                          [](TChangeSaveOrder &form) {
                                              form.Items = {kNewFileMarker, kNewFileMarker,
                                                            "ISO 200 cm",   kNewFileMarker,
                                                            "ISO 200 cm",   kNewFileMarker,
                                                            "Not there"};
                                          }),
                  2);
        EXPECT_EQ(f.Files(), (std::vector<std::string>{"000.ht", "001.ht"}));
        EXPECT_EQ(DepthsIn(f.dir.Path("001.ht")), std::vector<int>(5, 200));
    }
}

TEST(SaveAsHTExport, CancelledGroupLeavesItsNumberToTheNext) {
    TempDir dir;
    support::ScriptedDialogs dialogs;
    THTExport ex(dialogs);
    model::TGPX doc;
    Contours(doc);
    dialogs.saveAnswers = {std::nullopt, dir.Path("x.ht")};
    const int next = depth::btnCreateHTClick(doc, ex, true, [](TChangeSaveOrder &form) {
        form.Items = {"Shoreline", kNewFileMarker, "ISO 200 cm"};
    });
    EXPECT_EQ(next, 1);
    EXPECT_EQ(ex.NotWritten, std::vector<std::string>{"000.ht"});
    EXPECT_EQ(ReadHTFile(dir.Path("x.ht")).name, "NewTrack000");
    EXPECT_EQ(DepthsIn(dir.Path("x.ht")), std::vector<int>(5, 200));
    EXPECT_EQ(ex.PointsWritten, 6);

    // Every file cancelled: no upload instructions for files that are not there, and the
    // counts are this action's.
    dialogs.shown.clear();
    EXPECT_EQ(depth::btnCreateHTClick(doc, ex, false), 0);
    EXPECT_TRUE(ex.Written.empty());
    EXPECT_EQ(ex.NotWritten, std::vector<std::string>{"000.ht"});
    EXPECT_EQ(ex.PointsWritten, 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(SaveAsHTExport, NothingToWriteSaysSo) {
    model::TGPX noTracks, emptySegments;
    AddTrack(emptySegments, "Shoreline", {0, 0});
    AddTrack(emptySegments, "ISO 100 cm", {});
    for (const model::TGPX *doc : {&noTracks, &emptySegments})
        for (bool grouped : {false, true}) {
            SCOPED_TRACE(testing::Message() << doc->trk.Count() << " tracks, grouped " << grouped);
            Folder f;
            f.dialogs.saveAnswers = {f.dir.Path("x.ht")};
            bool orderShown = false;
            EXPECT_EQ(depth::btnCreateHTClick(*doc, f.ex, grouped,
                                              [&](TChangeSaveOrder &) { orderShown = true; }),
                      0);
            ASSERT_EQ(f.dialogs.shown.size(), 1u);
            EXPECT_EQ(f.dialogs.shown[0].kind, support::BoxKind::Information);
            EXPECT_EQ(f.dialogs.shown[0].text,
                      "There is nothing to write: build the contours first.");
            EXPECT_FALSE(orderShown);
            EXPECT_TRUE(f.ex.Written.empty() && f.ex.NotWritten.empty());
            EXPECT_TRUE(f.Files().empty());
        }
}

TEST(SaveAsHTExport, IntoAFolderForTheBatchTool) {
    TempDir dir;
    dir.File("000.ht", "keep");
    model::TGPX doc;
    AddTrack(doc, "ISO 100 cm", {25000});
    const std::vector<std::string> order = {"ISO 100 cm"};

    support::ScriptedDialogs dialogs; // answers No
    auto kept = depth::SaveHTFilesToFolder(doc, dir.path.string(), "Lake", false, &order, dialogs);
    EXPECT_EQ(dialogs.questions,
              std::vector<std::string>{"Overwrite existing " + dir.Path("000.ht") + " ?"});
    EXPECT_TRUE(kept.Written.empty());
    EXPECT_EQ(kept.NotWritten, std::vector<std::string>{"000.ht"});
    EXPECT_EQ(support::ReadWholeFile(dir.Path("000.ht")), "keep");

    support::ScriptedDialogs quiet;
    auto replaced =
        depth::SaveHTFilesToFolder(doc, dir.path.string(), "Lake", true, nullptr, quiet);
    EXPECT_TRUE(quiet.questions.empty());
    EXPECT_EQ(replaced.NextNumber, 2);
    EXPECT_EQ(replaced.Written, (std::vector<std::string>{dir.Path("000.ht"), dir.Path("001.ht")}));
    EXPECT_EQ(ReadHTFile(dir.Path("000.ht")).name, "Lake000");
    EXPECT_EQ(ReadHTFile(dir.Path("001.ht")).n, 5005u + 3u);
}

// ---------------------------------------------------------------------------------------
// The save-order list

TEST(ChangeSaveOrder, StartsWithMarkerThenEachNameOnce) {
    model::TGPX doc;
    Contours(doc);
    TChangeSaveOrder form;
    EXPECT_EQ(form.Items, std::vector<std::string>{kNewFileMarker});
    form.AddTrackNames(doc);
    EXPECT_EQ(form.Items,
              (std::vector<std::string>{kNewFileMarker, "Shoreline", "ISO 100 cm", "ISO 200 cm"}));
}

TEST(ChangeSaveOrder, OKMergesRunsAndDropsTrailingMarker) {
    const std::string M = kNewFileMarker;
    using L = std::vector<std::string>;
    const std::vector<std::pair<L, L>> cases = {
        {{"A", M, M, "B", M}, {"A", M, "B"}},
        {{M, M, M}, {}},
        {{"A", "A", "A", "B", "B"}, {"A", "B"}},
        {{M, "A", M, M, M, "B"}, {M, "A", M, "B"}},
        {{M}, {}},
        {{"A"}, {"A"}},
        {{}, {}},
    };
    for (const auto &[before, after] : cases) {
        TChangeSaveOrder form;
        form.Items = before;
        form.ItemIndex = static_cast<int>(before.size()) - 1;
        form.btnOKClick();
        EXPECT_EQ(form.Items, after);
    }
}

TEST(ChangeSaveOrder, EditingMovesTheSelection) {
    const std::string M = kNewFileMarker;
    using L = std::vector<std::string>;
    TChangeSaveOrder form;
    form.Items = {M, "A", "B"};

    // Nothing selected: only "Add New File" acts, at the end.
    form.btnUpClick();
    form.btnDownClick();
    form.btnRemoveClick();
    EXPECT_EQ(form.Items, (L{M, "A", "B"}));
    form.btnAddFileClick();
    EXPECT_EQ(form.Items, (L{M, "A", "B", M}));

    form.ItemIndex = 2; // B
    form.btnUpClick();
    form.btnUpClick();
    form.btnUpClick(); // already first
    EXPECT_EQ(form.Items, (L{"B", M, "A", M}));
    EXPECT_EQ(form.ItemIndex, 0);

    form.ItemIndex = 2; // A
    form.btnDownClick();
    form.btnDownClick(); // already last
    EXPECT_EQ(form.Items, (L{"B", M, M, "A"}));
    EXPECT_EQ(form.ItemIndex, 3);

    form.btnAddFileClick(); // before A, which stays selected
    EXPECT_EQ(form.Items, (L{"B", M, M, M, "A"}));
    EXPECT_EQ(form.Items[form.ItemIndex], "A");

    form.ItemIndex = 0;
    form.btnRemoveClick();
    EXPECT_EQ(form.Items, (L{M, M, M, "A"}));
    EXPECT_EQ(form.ItemIndex, -1);

    // A stale selection past the end is ignored rather than trusted.
    form.ItemIndex = 9;
    form.btnUpClick();
    form.btnDownClick();
    form.btnRemoveClick();
    EXPECT_EQ(form.Items, (L{M, M, M, "A"}));
}

// ---------------------------------------------------------------------------------------
// "Save Tracks..." and "Make HT File..."

TEST(IsoSaveGPXExport, WritesOnlyWhenAllowed) {
    TempDir dir;
    model::TGPX iso;
    Contours(iso);
    const std::string path = dir.Path("iso.gpx");
    auto readBack = [&] {
        model::TGPX back;
        formats::TGPXFile file;
        file.GPXd = &back;
        file.ImportGPXFile(path);
        return back.trk.Count();
    };

    support::ScriptedDialogs d1;
    d1.saveAnswers = {path};
    EXPECT_FALSE(depth::btnIsoSaveGPXClick(iso, false, d1)); // no project
    EXPECT_EQ(d1.saveAnswers.size(), 1u);

    support::ScriptedDialogs d2; // cancelled
    EXPECT_FALSE(depth::btnIsoSaveGPXClick(iso, true, d2));
    EXPECT_FALSE(fs::exists(path));

    support::ScriptedDialogs d3;
    d3.saveAnswers = {path};
    EXPECT_TRUE(depth::btnIsoSaveGPXClick(iso, true, d3));
    EXPECT_TRUE(d3.questions.empty());
    EXPECT_EQ(readBack(), 4);

    model::TGPX other;
    AddTrack(other, "Other", {3});
    support::ScriptedDialogs d4; // existing file, overwrite declined
    d4.saveAnswers = {path};
    EXPECT_FALSE(depth::btnIsoSaveGPXClick(other, true, d4));
    EXPECT_EQ(d4.questions, std::vector<std::string>{"Overwrite existing " + path + " ?"});
    EXPECT_EQ(readBack(), 4);

    support::ScriptedDialogs d5;
    d5.saveAnswers = {path};
    d5.yesNoAnswers = {true};
    EXPECT_TRUE(depth::btnIsoSaveGPXClick(other, true, d5));
    EXPECT_EQ(readBack(), 1);

    support::ScriptedDialogs d6; // write error: shown, not reported as written
    d6.saveAnswers = {dir.Path("missing/iso.gpx")};
    EXPECT_FALSE(depth::btnIsoSaveGPXClick(other, true, d6));
    ASSERT_EQ(d6.shown.size(), 1u);
    EXPECT_EQ(d6.shown[0].kind, support::BoxKind::Error);
}

TEST(ActionHTFileExport, AppendsCopiesOfTheProjectTracks) {
    model::TGPX project, iso;
    AddTrack(project, "A", {3, 2});
    AddTrack(project, "B", {4});
    AddTrack(iso, "Shoreline", {5});

    depth::btnActionHTFileClick(project, iso);
    depth::btnActionHTFileClick(project, iso);
    ASSERT_EQ(iso.trk.Count(), 5);
    EXPECT_EQ(iso.trk[1]->name, "A");
    EXPECT_EQ(iso.trk[3]->name, "A");
    EXPECT_EQ(iso.trk[4]->First()->Count(), 4);
    EXPECT_TRUE(iso.trk.filled);
    // Copies, not the project's own tracks.
    project.trk[0]->First()->First()->HBdepth = 999;
    EXPECT_NE(iso.trk[1]->First()->First()->HBdepth, 999);

    depth::btnActionHTFileClick(iso, iso); // onto itself: doubles, nothing worse
    EXPECT_EQ(iso.trk.Count(), 10);
}
