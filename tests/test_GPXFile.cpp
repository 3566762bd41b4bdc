#include "formats/GPXFile.h"
#include "support/AtomicFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

using formats::TGPXFile;
using model::TGPX;
using testutil::TempDir;

namespace {

struct ReadResult {
    bool loaded;
    std::vector<std::string> log;
};

ReadResult Read(const std::string &path, TGPX &doc) {
    TGPXFile f;
    f.GPXd = &doc;
    f.ImportGPXFile(path);
    return {f.Loaded, f.mLog};
}

std::string Write(TGPX &doc, const std::string &path, bool compress = false, bool style = false) {
    TGPXFile f;
    f.GPXd = &doc;
    f.GPXOptions.Compress = compress;
    f.GPXOptions.GPX_Style = style;
    f.ExportGPX(path);
    EXPECT_FALSE(f.Modified);
    return support::ReadWholeFile(path);
}

const std::string kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
    "<gpx version=\"1.1\" creator=\"\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:h=\"http://humminbird.com\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
    "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
const std::string kMarkers = "<h:id>1</h:id><h:visible>true</h:visible><h:share>false</h:share>"
                             "<h:status>1</h:status><h:delta>false</h:delta>";

const char *kRich = R"(<?xml version="1.0"?>
<GPX version="1.1" creator="x">
 <metadata>
  <name>Lake</name><desc>d</desc>
  <author><name>Ann</name><email><id>ann</id><domain>example.org</domain></email></author>
  <copyright author="Ann"><year>2014</year><license>CC0</license></copyright>
  <link href="http://a?b&amp;c"><text>site</text><type>text/html</type></link>
  <time>2014-06-01T12:00:00+02:00</time><keywords>k</keywords>
  <bounds minlat="1" minlon="2" maxlat="3" maxlon="4"/>
 </metadata>
 <wpt lat="47.5" lon="8.25"><ele>402.5</ele><name>first</name><name>a&lt;b &amp; c</name>
  <sym>Flag</sym><type>T</type><fix>3D</fix><sat>7</sat><hdop>1.5</hdop><dgpsid>12</dgpsid>
  <magvar>0.5</magvar><geoidheight>48</geoidheight><ageofdgpsdata>2</ageofdgpsdata>
  <extensions><h:depth>120.5</h:depth><other>o</other></extensions></wpt>
 <wpt/>
 <wpt lat="north" lon="8"><extensions><x:depth>99</x:depth></extensions></wpt>
 <rte><desc>only a description</desc><number>3</number><rtept lat="1" lon="2"/><rtept lat="1.5" lon="2.5"/></rte>
 <trk><name>Survey</name>
  <extensions><line xmlns="http://www.topografix.com/GPX/gpx_style/0/2"><color>FF0000</color><opacity>0.5</opacity></line><keep>me</keep></extensions>
  <TRKSEG>
   <trkpt lat="47.1" lon="8.1"><time>2014-06-01T12:34:56Z</time><extensions><h:depth>1.23E3</h:depth><h:depth>350</h:depth></extensions></trkpt>
   <trkpt lat="47.2" lon="8.2"><extensions><h:depth>45.67</h:depth></extensions></trkpt>
   <extensions><seg>1</seg></extensions>
  </TRKSEG>
 </trk>
</GPX>)";

} // namespace

TEST(GPXFileRead, FieldsDefaultsAndLogLines) {
    TempDir dir;
    TGPX doc;
    ReadResult r = Read(dir.File("rich.gpx", kRich), doc);
    ASSERT_TRUE(r.loaded);
    EXPECT_EQ(r.log, (std::vector<std::string>{"3 waypoints", "1 routes (2 points))",
                                               "1 tracks (2 points in 1 track segments)"}));
    const model::TGPXmetadata &m = doc.metadata;
    EXPECT_TRUE(m.filled);
    EXPECT_EQ(m.name, "Lake");
    EXPECT_EQ(m.author.email.domain, "example.org");
    EXPECT_EQ(m.copyright.year, 2014);
    EXPECT_EQ(m.link.href, "http://a?b&c");
    EXPECT_DOUBLE_EQ(m.mtime, TGPXFile::ISO8601ToDateTime("2014-06-01T10:00:00Z"));
    EXPECT_TRUE(m.bounds.filled);
    EXPECT_EQ(m.bounds.maxlon, 4);

    const model::TGPXwpt &w = *doc.wpt[0];
    EXPECT_EQ(w.Latitude, 47.5);
    EXPECT_EQ(w.Altitude, 402.5);
    EXPECT_EQ(w.Details().name, "a<b & c"); // the last child counts
    EXPECT_EQ(w.Details().fix, "3d");
    EXPECT_EQ(w.Details().sat, 7);
    EXPECT_EQ(w.Details().dgpsid, 12);
    EXPECT_EQ(w.HBdepth, 120.5);
    EXPECT_EQ(w.Details().extensions, "<h:depth>120.5</h:depth><other>o</other>");

    const model::TGPXwpt &bare = *doc.wpt[1];
    EXPECT_EQ(bare.Latitude, 0);
    EXPECT_EQ(bare.Details().sat, 255); // no count given: none, not zero
    EXPECT_EQ(bare.Details().hdop, -1);
    EXPECT_EQ(bare.Details().dgpsid, -1);
    EXPECT_EQ(doc.wpt[2]->Latitude, 0);
    EXPECT_EQ(doc.wpt[2]->Longitude, 8);
    EXPECT_EQ(doc.wpt[2]->HBdepth, 0); // another prefix is not the depth

    EXPECT_EQ(doc.rte[0]->name, "only a description");
    EXPECT_EQ(doc.rte[0]->number, 3);

    const model::TGPXtrk &t = *doc.trk[0];
    EXPECT_EQ(t.LineStyle.ColorStr(), "ff0000");
    EXPECT_EQ(t.LineStyle.Opacity(), 0.5);
    EXPECT_EQ(t.extensions, "<keep>me</keep>");
    const model::TGPXtrkseg &s = *t[0];
    EXPECT_EQ(s.extensions, "<seg>1</seg>");
    EXPECT_EQ(s.maxdepth, 0);
    EXPECT_EQ(s[0]->HBdepth, 350);
    EXPECT_DOUBLE_EQ(s[0]->DateTime, TGPXFile::ISO8601ToDateTime("2014-06-01T12:34:56Z"));
    EXPECT_EQ(s[1]->HBdepth, 45.67);
    // Soundings with nothing but the program's own markers carry no details at all.
    EXPECT_FALSE(s[0]->HasDetails() || s[1]->HasDetails());
    EXPECT_TRUE(doc.wpt[0]->HasDetails());
    EXPECT_TRUE(doc.wpt.filled && doc.rte.filled && doc.trk.filled);
}

TEST(GPXFileRead, ReadingTwiceAppends) {
    TempDir dir;
    TGPX doc;
    std::string a = dir.File("a.gpx", kRich);
    Read(a, doc);
    std::string b = dir.File(
        "b.gpx", "<gpx><metadata><name>Second</name></metadata><wpt lat='1' lon='1'/></gpx>");
    ReadResult r = Read(b, doc);
    EXPECT_EQ(r.log[0], "4 waypoints");
    EXPECT_EQ(doc.metadata.name, "Second");
    Read(a, doc);
    EXPECT_EQ(doc.wpt.Count(), 7);
    EXPECT_EQ(doc.trk.Count(), 2);
}

TEST(GPXFileRead, FilesThatAreNotGpxAddNothing) {
    TempDir dir;
    struct Case {
        const char *name, *text, *logStart;
    } cases[] = {
        {"trunc.gpx", "<gpx><trk><trkseg><trkpt lat='1' lon='2'>", "Unexpected end of file"},
        {"mismatch.gpx", "<gpx><wpt lat='1' lon='2'></trk></gpx>", "End tag </trk>"},
        {"empty.gpx", "", "No root element"},
        {"kml.gpx", "<kml><Placemark/></kml>", "File not loaded"},
    };
    for (const Case &c : cases) {
        TGPX doc;
        Read(dir.File("keep.gpx", "<gpx><wpt lat='5' lon='6'/></gpx>"), doc);
        ReadResult r = Read(dir.File(c.name, c.text), doc);
        EXPECT_FALSE(r.loaded) << c.name;
        ASSERT_FALSE(r.log.empty()) << c.name;
        EXPECT_EQ(r.log.back().rfind(c.logStart, 0), 0u) << r.log.back();
        EXPECT_EQ(doc.wpt.Count(), 1) << c.name; // what the project had stays
        EXPECT_EQ(doc.trk.Count(), 0) << c.name;
    }
    TGPX doc;
    ReadResult r = Read(dir.Path("missing.gpx"), doc);
    EXPECT_FALSE(r.loaded);
    EXPECT_NE(r.log.back().find("(LoadDataSource0)."), std::string::npos);
}

TEST(GPXFileRead, ContentErrorsKeepWhatWasReadAndReachTheCaller) {
    TempDir dir;
    const std::string sat300 =
        "<gpx><wpt lat='1' lon='1'/><trk><trkseg>"
        "<trkpt lat='2' lon='2'/><trkpt lat='3' lon='3'><sat>300</sat></trkpt>"
        "<trkpt lat='4' lon='4'/></trkseg><name>late name</name></trk>"
        "<wpt lat='9' lon='9'/></gpx>";
    TGPX doc;
    TGPXFile f;
    f.GPXd = &doc;
    EXPECT_THROW(f.ImportGPXFile(dir.File("sat.gpx", sat300)), formats::GPXContentError);
    EXPECT_FALSE(f.Loaded);
    EXPECT_EQ(doc.wpt.Count(), 1);
    ASSERT_EQ(doc.trk.Count(), 1);
    EXPECT_EQ(doc.trk[0]->name, "late name"); // the track's own fields come before its points
    ASSERT_EQ(doc.trk[0]->Count(), 1);
    EXPECT_EQ(doc.trk[0]->First()->Count(), 2); // the failing point is kept

    TGPX dates;
    TGPXFile g;
    g.GPXd = &dates;
    EXPECT_THROW(g.ImportGPXFile(dir.File("date.gpx", "<gpx><metadata><name>m</name>"
                                                      "<time>2014-02-30T00:00:00Z</time></metadata>"
                                                      "</gpx>")),
                 support::DateTimeError);
    EXPECT_EQ(dates.metadata.name, "m"); // replaced even though reading failed half-way

    // A content error in a file that is not XML further on: nothing is added.
    TGPX broken;
    ReadResult r =
        Read(dir.File("both.gpx", "<gpx><wpt lat='1' lon='1'><sat>-1</sat></wpt><wpt>"), broken);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(broken.wpt.Count(), 0);
}

// Segments longer than the reader's batches go through its second thread: the points keep
// their order, a content error keeps the points up to the failing one, a file cut short
// adds nothing.
TEST(GPXFileRead, LongSegmentsKeepOrderAndErrors) {
    TempDir dir;
    auto segment = [](int points, int badSat) {
        std::string text = "<gpx><trk><trkseg>";
        for (int i = 0; i < points; ++i)
            text += "<trkpt lat='" + std::to_string(i) + "e-4' lon='8'>" +
                    (i == badSat ? "<sat>300</sat>" : "") + "<extensions><h:depth>" +
                    std::to_string(i % 97) + "</h:depth></extensions></trkpt>";
        return text + "</trkseg></trk></gpx>";
    };
    for (int points : {1023, 1024, 1025, 5000}) {
        TGPX doc;
        ASSERT_TRUE(Read(dir.File("long.gpx", segment(points, -1)), doc).loaded);
        const model::TGPXtrkseg &s = *doc.trk[0]->First();
        ASSERT_EQ(s.Count(), points);
        for (int i = 0; i < points; ++i) {
            ASSERT_EQ(s[i]->Latitude, std::stod(std::to_string(i) + "e-4")) << i;
            ASSERT_EQ(s[i]->HBdepth, i % 97) << i;
        }
    }

    TGPX doc;
    TGPXFile f;
    f.GPXd = &doc;
    EXPECT_THROW(f.ImportGPXFile(dir.File("sat.gpx", segment(5000, 3500))),
                 formats::GPXContentError);
    EXPECT_EQ(doc.trk[0]->First()->Count(), 3501); // the failing point is kept

    const std::string whole = segment(5000, -1);
    TGPX cut;
    EXPECT_FALSE(Read(dir.File("cut.gpx", whole.substr(0, whole.size() * 3 / 4)), cut).loaded);
    EXPECT_EQ(cut.trk.Count(), 0);
}

TEST(GPXFileRead, HostileInputNeverCrashes) {
    TempDir dir;
    const std::string valid = kRich;
    for (std::size_t len = 0; len < valid.size(); len += 7) {
        TGPX doc;
        TGPXFile f;
        f.GPXd = &doc;
        try {
            f.ImportGPXFile(dir.File("cut.gpx", valid.substr(0, len)));
        } catch (const std::exception &) {
        }
        EXPECT_FALSE(f.Loaded) << len;
    }
    std::string huge = "<gpx><wpt lat=\"" + std::string(5000000, '9') + "\" lon=\"1e99999\">" +
                       "<ele>--1</ele><extensions>" + std::string(100000, '<') + "</wpt></gpx>";
    TGPX doc;
    EXPECT_FALSE(Read(dir.File("huge.gpx", huge), doc).loaded);
    std::string deep = "<gpx><wpt lat='1' lon='2'><extensions>";
    for (int i = 0; i < 100000; ++i)
        deep += "<x>";
    for (int i = 0; i < 100000; ++i)
        deep += "</x>";
    deep += "</extensions></wpt></gpx>";
    TGPX deepDoc;
    EXPECT_TRUE(Read(dir.File("deep.gpx", deep), deepDoc).loaded);
    EXPECT_EQ(deepDoc.wpt[0]->Longitude, 2);
}

TEST(GPXFileWrite, EmptyDocumentAndAtomicReplace) {
    TempDir dir;
    TGPX doc;
    EXPECT_EQ(Write(doc, dir.Path("empty.gpx")), kHeader + "</gpx>");

    std::string target = dir.File("keep.gpx", "old content");
    TGPXFile f;
    f.GPXd = &doc;
    EXPECT_THROW(f.ExportGPX(dir.Path("no/such/folder.gpx")), support::FileError);
    EXPECT_THROW(f.ExportGPX(dir.Path("")), support::FileError); // the folder itself
    EXPECT_EQ(support::ReadWholeFile(target), "old content");
    EXPECT_EQ(dir.Entries(), 2u); // empty.gpx and keep.gpx, no temporary left
}

TEST(GPXFileWrite, ExactTextForm) {
    TempDir dir;
    TGPX doc;
    auto w = std::make_unique<model::TGPXwpt>();
    w->Latitude = 47.125;
    w->Longitude = -8.5;
    w->EditDetails().name = "a<b & c";
    w->HBdepth = 0;
    w->EditDetails().link.href = "http://x?a&b";
    w->EditDetails().link.filled = true;
    doc.wpt.Add(std::move(w));

    auto trk = std::make_unique<model::TGPXtrk>();
    trk->name = "ISO 350 cm";
    trk->extensions = "<keep>me</keep>";
    trk->LineStyle.SetColorStr("ff0000");
    auto seg = std::make_unique<model::TGPXtrkseg>();
    seg->extensions = "<seg/>";
    auto p = std::make_unique<model::TGPXwpt>();
    p->Latitude = 1;
    p->Longitude = 2;
    p->Altitude = 3.5;
    p->HBdepth = 1234;
    p->DateTime = TGPXFile::ISO8601ToDateTime("2014-06-01T12:34:56.999Z");
    p->EditDetails().sat = 0;
    seg->Add(std::move(p));
    trk->Add(std::move(seg));
    doc.trk.Add(std::move(trk));

    const std::string expected = kHeader +
                                 "<wpt lat=\"47.125\" lon=\"-8.5\">\n"
                                 "\t<name>a&lt;b &amp; c</name>\n"
                                 "<link href=\"http://x?a&amp;b\">\n"
                                 "</link>\n"
                                 "<extensions><h:depth>0.0</h:depth>" +
                                 kMarkers +
                                 "</extensions>\n"
                                 "</wpt>\n"
                                 "\n"
                                 "<trk>\n"
                                 "\t<name>ISO 350 cm</name>\n"
                                 "\t<extensions>\n"
                                 "<keep>me</keep>\t</extensions>\n"
                                 "\t<trkseg>\n"
                                 "\t\t<trkpt lat=\"1\" lon=\"2\">\n"
                                 "\t\t\t<ele>3.5</ele>\n"
                                 "\t\t\t<time>2014-06-01T12:34:56Z</time>\n"
                                 "\t\t\t<sat>0</sat>\n"
                                 "\t\t\t\t<extensions><h:depth>1234.0</h:depth>" +
                                 kMarkers +
                                 "</extensions>\n"
                                 "\t\t</trkpt>\n"
                                 "\t<extensions><seg/></extensions>\n"
                                 "\t</trkseg>\n"
                                 "</trk>\n"
                                 "\n"
                                 "</gpx>";
    EXPECT_EQ(Write(doc, dir.Path("out.gpx")), expected);

    // With the style switch the colour is written; compressed text has no line ends.
    std::string styled = Write(doc, dir.Path("styled.gpx"), false, true);
    EXPECT_NE(styled.find("\t\t<line xmlns=\"http://www.topografix.com/GPX/gpx_style/0/2\">\n"
                          "\t\t\t<color>ff0000</color>\n\t\t</line>\n"),
              std::string::npos);
    std::string compressed = Write(doc, dir.Path("small.gpx"), true);
    EXPECT_EQ(compressed.find('\n'), std::string::npos);
    EXPECT_EQ(compressed.find('\t'), std::string::npos); // no link levels in this document
}

TEST(GPXFileWrite, EveryPrefixIsDeclaredOnTheRoot) {
    // Namespace-aware readers refuse a file using an undeclared prefix.
    TempDir dir;
    TGPX doc;
    Read(dir.File("rich.gpx", kRich), doc);
    for (bool compress : {false, true}) {
        const std::string text = Write(doc, dir.Path("out.gpx"), compress, true);
        const std::size_t rootStart = text.find("<gpx ");
        ASSERT_NE(rootStart, std::string::npos);
        const std::string root = text.substr(rootStart, text.find('>', rootStart) - rootStart);
        const std::regex prefixed(R"(<(/?)([A-Za-z_][\w.-]*):|\s([A-Za-z_][\w.-]*):[\w.-]+=)");
        std::set<std::string> used;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), prefixed);
             it != std::sregex_iterator(); ++it)
            used.insert((*it)[2].matched ? (*it)[2].str() : (*it)[3].str());
        used.erase("xmlns");
        EXPECT_EQ(used, (std::set<std::string>{"h", "xsi"}));
        for (const std::string &prefix : used)
            EXPECT_NE(root.find(" xmlns:" + prefix + "=\""), std::string::npos) << prefix;
    }
    // A file written so reads back with its depths, as one without the declaration does.
    TGPX back;
    ASSERT_TRUE(Read(dir.Path("out.gpx"), back).loaded);
    EXPECT_EQ(back.trk[0]->First()->Get(1)->HBdepth, 45.7);
}

TEST(GPXFileWrite, DepthForms) {
    struct Case {
        double depth;
        const char *text;
    } cases[] = {{350, "350.0"}, {1234, "1234.0"}, {45.67, "45.7"},   {-12.34, "-12.3"},
                 {0, "0.0"},     {999.5, "999.5"}, {123.45, "123.5"}, {21234.56, "21234.6"}};
    for (const Case &c : cases)
        EXPECT_EQ(TGPXFile::DepthText(c.depth), c.text) << c.depth;
}

TEST(GPXFileWrite, RoundTripKeepsContent) {
    TempDir dir;
    TGPX doc;
    Read(dir.File("rich.gpx", kRich), doc);
    Write(doc, dir.Path("again.gpx"));
    TGPX back;
    ASSERT_TRUE(Read(dir.Path("again.gpx"), back).loaded);
    EXPECT_EQ(back.wpt.Count(), 3);
    EXPECT_EQ(back.wpt[0]->Details().name, "a<b & c");
    EXPECT_EQ(back.wpt[0]->HBdepth, 120.5);
    EXPECT_EQ(back.wpt[0]->Details().magvar, 0.5);
    EXPECT_EQ(back.wpt[0]->Details().ageofdgpsdata, 2);
    EXPECT_EQ(back.wpt[1]->Details().sat, 255);
    EXPECT_EQ(back.metadata.link.href, "http://a?b&c");
    EXPECT_EQ(back.metadata.author.email.id, "ann");
    EXPECT_EQ(back.metadata.copyright.license, "CC0");
    // Bounds are recomputed when written. The waypoints' box touches latitude 0, so it
    // never counts as complete and the track segment's box replaces it.
    EXPECT_EQ(back.metadata.bounds.maxlat, 47.2);
    EXPECT_EQ(back.trk[0]->extensions, "<keep>me</keep>");
    EXPECT_TRUE(back.trk[0]->LineStyle.IsDefaultColor()); // the style is not written by default
    EXPECT_EQ(back.trk[0]->First()->extensions, "<seg>1</seg>");
    EXPECT_EQ(back.trk[0]->First()->Get(0)->HBdepth, 350);
    EXPECT_EQ(back.trk[0]->First()->Get(1)->HBdepth, 45.7);
    EXPECT_EQ(back.rte[0]->Count(), 2);
}

TEST(GPXFileWrite, SpikeFlagTravelsWithThePoint) {
    TempDir dir;
    TGPX doc;
    auto trk = std::make_unique<model::TGPXtrk>();
    auto seg = std::make_unique<model::TGPXtrkseg>();
    for (double depth : {350.0, 40.0, 362.5}) {
        auto p = std::make_unique<model::TGPXwpt>();
        p->Latitude = 47, p->Longitude = 8, p->HBdepth = depth;
        seg->Add(std::move(p));
    }
    seg->Get(1)->Flagged = true;
    trk->Add(std::move(seg));
    doc.trk.Add(std::move(trk));

    const std::string text = Write(doc, dir.Path("flagged.gpx"));
    EXPECT_NE(text.find("<extensions><h:depth>40.0</h:depth><h:flag>spike</h:flag>" + kMarkers +
                        "</extensions>"),
              std::string::npos);
    EXPECT_EQ(text.find("<h:flag>"), text.rfind("<h:flag>")); // only the flagged point

    TGPX back;
    ASSERT_TRUE(Read(dir.Path("flagged.gpx"), back).loaded);
    const model::TGPXtrkseg &s = *back.trk[0]->First();
    ASSERT_EQ(s.Count(), 3);
    EXPECT_FALSE(s.Get(0)->Flagged);
    EXPECT_TRUE(s.Get(1)->Flagged);
    EXPECT_EQ(s.Get(1)->HBdepth, 40);
    EXPECT_FALSE(s.Get(2)->Flagged);
    EXPECT_EQ(Write(back, dir.Path("again.gpx")), text);

    // Unflagged, the file is what it was before flags existed.
    doc.trk[0]->First()->Get(1)->Flagged = false;
    EXPECT_EQ(Write(doc, dir.Path("clear.gpx")).find("h:flag"), std::string::npos);
}

TEST(GPXFileRead, SpikeFlagForms) {
    struct Case {
        const char *extensions;
        bool flagged;
    } cases[] = {
        {"<h:depth>40</h:depth><h:flag>spike</h:flag>", true},
        {"<H:FLAG> Spike </H:FLAG><h:depth>40</h:depth>", true},
        {"<h:flag>reviewed</h:flag>", false},
        {"<h:flag/>", false},
        {"<h:flag>spike</h:flag><h:flag>no</h:flag>", false}, // the last one counts
        {"<flag>spike</flag>", false},
        {"", false},
    };
    TempDir dir;
    for (const Case &c : cases) {
        TGPX doc;
        const std::string gpx =
            std::string("<gpx><trk><trkseg><trkpt lat='1' lon='2'><extensions>") + c.extensions +
            "</extensions></trkpt></trkseg></trk></gpx>";
        ASSERT_TRUE(Read(dir.File("f.gpx", gpx), doc).loaded) << c.extensions;
        EXPECT_EQ(doc.trk[0]->First()->Get(0)->Flagged, c.flagged) << c.extensions;
    }
    // A second extensions element of the point is read too.
    TGPX doc;
    Read(dir.File("two.gpx", "<gpx><wpt lat='1' lon='2'><extensions><h:depth>5</h:depth>"
                             "</extensions><extensions><h:flag>spike</h:flag></extensions></wpt>"
                             "</gpx>"),
         doc);
    EXPECT_TRUE(doc.wpt[0]->Flagged);
    EXPECT_EQ(doc.wpt[0]->HBdepth, 5);
}
