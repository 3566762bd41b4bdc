#include "formats/ShapefileImport.h"
#include "formats/shapefile.h"
#include "support/AtomicFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using formats::TShapefile;
using support::BoxKind;
using support::TMessages;

namespace {
std::vector<std::string> Texts(const TMessages &messages) {
    std::vector<std::string> out;
    for (const support::TMessage &m : messages)
        out.push_back(m.Text);
    return out;
}
} // namespace
using testutil::TempDir;

namespace {

void PutLE32(std::string &b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutBE32(std::string &b, std::uint32_t v) {
    for (int i = 3; i >= 0; --i)
        b += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutLE16(std::string &b, std::uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
}
void PutF64(std::string &b, double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, 8);
    PutLE32(b, static_cast<std::uint32_t>(u));
    PutLE32(b, static_cast<std::uint32_t>(u >> 32));
}

struct XY {
    double x, y;
};

// Builds a main file: records are added as content; the header's FileLen is the real
// length unless overridden.
class ShpBuilder {
  public:
    explicit ShpBuilder(std::int32_t shapeType) : shapeType_(shapeType) {}

    ShpBuilder &Record(std::int32_t number, const std::string &content,
                       std::optional<std::int32_t> words = std::nullopt) {
        PutBE32(records_, static_cast<std::uint32_t>(number));
        PutBE32(records_, static_cast<std::uint32_t>(
                              words.value_or(static_cast<std::int32_t>(content.size() / 2))));
        records_ += content;
        return *this;
    }
    ShpBuilder &Poly(std::int32_t number, const std::vector<std::int32_t> &parts,
                     const std::vector<XY> &points, std::int32_t recordType = 3) {
        return Record(number, PolyContent(recordType, parts, points));
    }
    ShpBuilder &Raw(const std::string &bytes) {
        records_ += bytes;
        return *this;
    }

    static std::string PolyContent(std::int32_t type, const std::vector<std::int32_t> &parts,
                                   const std::vector<XY> &points,
                                   std::optional<std::int32_t> numParts = std::nullopt,
                                   std::optional<std::int32_t> numPoints = std::nullopt) {
        std::string c;
        PutLE32(c, static_cast<std::uint32_t>(type));
        for (double d : {0.0, 1.0, 2.0, 3.0})
            PutF64(c, d);
        PutLE32(c, static_cast<std::uint32_t>(numParts.value_or(static_cast<int>(parts.size()))));
        PutLE32(c, static_cast<std::uint32_t>(numPoints.value_or(static_cast<int>(points.size()))));
        for (std::int32_t p : parts)
            PutLE32(c, static_cast<std::uint32_t>(p));
        for (const XY &p : points) {
            PutF64(c, p.x);
            PutF64(c, p.y);
        }
        return c;
    }
    static std::string PointContent(std::int32_t type, double x, double y) {
        std::string c;
        PutLE32(c, static_cast<std::uint32_t>(type));
        PutF64(c, x);
        PutF64(c, y);
        return c;
    }
    static std::string NullContent() {
        std::string c;
        PutLE32(c, 0);
        return c;
    }

    std::string Build(std::optional<std::int32_t> fileLenWords = std::nullopt) const {
        std::string h;
        PutBE32(h, 9994);
        for (int i = 0; i < 5; ++i)
            PutBE32(h, 0);
        PutBE32(h, static_cast<std::uint32_t>(fileLenWords.value_or(
                       static_cast<std::int32_t>((100 + records_.size()) / 2))));
        PutLE32(h, 1000);
        PutLE32(h, static_cast<std::uint32_t>(shapeType_));
        for (int i = 0; i < 8; ++i)
            PutF64(h, 0);
        return h + records_;
    }

  private:
    std::int32_t shapeType_;
    std::string records_;
};

struct DbfField {
    std::string name; // up to 11 bytes, zero padded
    char type;
    std::uint8_t length, decimals;
};

// Builds a table; each record is its flag byte followed by the fields' bytes.
std::string BuildDbf(const std::vector<DbfField> &fields, const std::vector<std::string> &records,
                     std::optional<std::uint32_t> numRecords = std::nullopt,
                     bool terminator = true) {
    std::string b;
    b += '\x03';
    b += "\x7C\x01\x01";
    PutLE32(b, numRecords.value_or(static_cast<std::uint32_t>(records.size())));
    std::uint16_t recordSize = 1;
    for (const DbfField &f : fields)
        recordSize = static_cast<std::uint16_t>(recordSize + f.length);
    PutLE16(b, static_cast<std::uint16_t>(32 + 32 * fields.size() + 1));
    PutLE16(b, recordSize);
    b.append(20, '\0');
    for (const DbfField &f : fields) {
        std::string d = f.name;
        d.resize(11, '\0');
        d += f.type;
        d.append(4, '\0');
        d += static_cast<char>(f.length);
        d += static_cast<char>(f.decimals);
        d.append(14, '\0');
        b += d;
    }
    if (terminator)
        b += '\x0D';
    for (const std::string &r : records)
        b += r;
    return b;
}

struct Loaded {
    std::vector<std::string> log;
    TShapefile shp{[this](const std::string &line) { log.push_back(line); }};
};

std::vector<double> Xs(const formats::TPolyLine &line) {
    std::vector<double> out;
    for (const formats::TPunktXY &p : line.Points)
        out.push_back(p.X);
    return out;
}

bool Logged(const Loaded &l, const std::string &line) {
    return std::find(l.log.begin(), l.log.end(), line) != l.log.end();
}

} // namespace

// ---- main file ----

TEST(ShapefileSHP, PolylinesWithTwoPartsBecomeOneSegmentEach) {
    ShpBuilder b(3);
    b.Poly(1, {0}, {{1, 10}, {2, 20}})
        .Poly(2, {0, 2}, {{3, 30}, {4, 40}, {5, 50}, {6, 60}})
        // The record's own type is stored, not used to decide how it is read.
        .Poly(3, {0}, {{7, 70}, {8, 80}}, 5);
    TempDir dir;
    const std::string path = dir.File("lake.shp", b.Build());

    Loaded l;
    l.shp.LoadSHP(path);
    EXPECT_EQ(l.shp.Filename_SHP, path);
    EXPECT_TRUE(l.shp.Messages.empty());
    EXPECT_TRUE(Logged(l, "Loaded 3  Polylines"));
    ASSERT_EQ(l.shp.PolyLinien.size(), 3u);
    const formats::TPolyLine &second = l.shp.PolyLinien[1];
    EXPECT_EQ(second.NumParts, 2);
    EXPECT_EQ(second.NumPoints, 4);
    EXPECT_EQ(second.Parts, (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(Xs(second), (std::vector<double>{3, 4, 5, 6}));
    EXPECT_EQ(second.Points[3].Y, 60);
    EXPECT_EQ(second.Box.Xmax, 2.0);
    EXPECT_EQ(l.shp.PolyLinien[2].ShapeType, 5);
    EXPECT_EQ(l.shp.FileHeader.FileCode, 9994);
    EXPECT_EQ(l.shp.FileHeader.ShapeType, 3);

    l.shp.PolyLinien[1].Depth = 350;
    model::TGPX gpx;
    l.shp.MakeGPX(&gpx);
    l.shp.MakeGPX(nullptr); // absent document: nothing happens
    ASSERT_EQ(gpx.trk.Count(), 1);
    EXPECT_TRUE(gpx.trk.filled);
    const model::TGPXtrk *trk = gpx.trk[0];
    EXPECT_EQ(trk->name, "lake.shp");
    ASSERT_EQ(trk->Count(), 3);
    const model::TGPXtrkseg *seg = trk->trkseg(1);
    ASSERT_EQ(seg->Count(), 4);
    EXPECT_EQ(seg->trkpt(2)->Longitude, 5);
    EXPECT_EQ(seg->trkpt(2)->Latitude, 50);
    EXPECT_EQ(seg->trkpt(2)->HBdepth, 350);
    EXPECT_EQ(trk->trkseg(0)->trkpt(0)->HBdepth, 0);
    EXPECT_EQ(seg->maxdepth, 0);
}

TEST(ShapefileSHP, PolygonRingsKeepTheirClosingPoints) {
    ShpBuilder b(5);
    b.Poly(1, {0, 4}, {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {5, 5}, {6, 5}, {5, 5}});
    Loaded l;
    l.shp.ReadSHP(b.Build());
    ASSERT_EQ(l.shp.PolyLinien.size(), 1u);
    EXPECT_EQ(Xs(l.shp.PolyLinien[0]), (std::vector<double>{0, 1, 1, 0, 5, 6, 5}));
    EXPECT_EQ(l.shp.PolyLinien[0].Parts, (std::vector<std::int32_t>{0, 4}));
}

TEST(ShapefileSHP, NullEmptyAndLongRecordsDoNotThrowLaterRecordsOutOfStep) {
    std::string withTail = ShpBuilder::PolyContent(3, {0}, {{3, 3}, {4, 4}});
    withTail.append(16, '\x7F'); // e.g. measures after the points: skipped
    ShpBuilder b(3);
    b.Poly(1, {0}, {{1, 1}, {2, 2}})
        .Record(2, ShpBuilder::NullContent())
        .Record(3, "")
        .Record(4, withTail)
        .Record(0, "") // zero padding at the end of a file reads as empty records
        .Poly(5, {0}, {{5, 5}, {6, 6}});
    Loaded l;
    l.shp.ReadSHP(b.Build());
    EXPECT_TRUE(l.shp.Messages.empty());
    EXPECT_TRUE(Logged(l, "Loaded 3  Polylines"));
    // The Null and the empty record keep their places, so entry i is still record i + 1.
    ASSERT_EQ(l.shp.PolyLinien.size(), 5u);
    EXPECT_TRUE(l.shp.PolyLinien[1].Null && l.shp.PolyLinien[2].Null);
    EXPECT_TRUE(l.shp.PolyLinien[1].Points.empty());
    EXPECT_EQ(Xs(l.shp.PolyLinien[3]), (std::vector<double>{3, 4}));
    EXPECT_EQ(Xs(l.shp.PolyLinien[4]), (std::vector<double>{5, 6}));
    model::TGPX lines;
    l.shp.MakeGPX(&lines); // and make no segment
    EXPECT_EQ(lines.trk[0]->Count(), 3);

    ShpBuilder points(1);
    points.Record(7, ShpBuilder::PointContent(1, 10, 20))
        .Record(8, ShpBuilder::NullContent())
        .Record(9, ShpBuilder::PointContent(1, 30, 40));
    Loaded p;
    p.shp.ReadSHP(points.Build());
    EXPECT_TRUE(p.shp.Messages.empty());
    ASSERT_EQ(p.shp.Punkte.size(), 2u);
    EXPECT_EQ(p.shp.Punkte[1].ID, 9);
    EXPECT_EQ(p.shp.Punkte[1].X, 30);
    EXPECT_EQ(p.shp.Punkte[1].Y, 40);
    EXPECT_TRUE(Logged(p, "Loaded 2  Points"));
    ASSERT_EQ(p.shp.PolyLinien.size(), 3u); // the Null point keeps its row too
    EXPECT_TRUE(p.shp.PolyLinien[1].Null);
    model::TGPX gpx;
    p.shp.MakeGPX(&gpx);
    ASSERT_EQ(gpx.trk.Count(), 1);
    EXPECT_EQ(gpx.trk[0]->Count(), 2);
}

TEST(ShapefileSHP, UnsupportedShapeTypeWarnsOncePerRecord) {
    ShpBuilder b(31); // MultiPatch
    b.Record(1, std::string(120, '\x01')).Record(2, std::string(88, '\x02'));
    Loaded l;
    l.shp.ReadSHP(b.Build());
    ASSERT_EQ(l.shp.Messages.size(), 2u);
    for (const support::TMessage &s : l.shp.Messages) {
        EXPECT_EQ(s.Kind, BoxKind::Warning);
        EXPECT_EQ(s.Text, "Skipping unsupported structure");
    }
    EXPECT_TRUE(l.shp.PolyLinien.empty());
    EXPECT_TRUE(Logged(l, "Loaded 0  Polylines"));
    model::TGPX gpx;
    l.shp.MakeGPX(&gpx);
    EXPECT_EQ(gpx.trk[0]->Count(), 0);
}

TEST(ShapefileSHP, HeaderOnlyOrShorterFiles) {
    Loaded shortHeader;
    shortHeader.shp.ReadSHP(ShpBuilder(3).Build().substr(0, 99));
    EXPECT_EQ(Texts(shortHeader.shp.Messages), std::vector<std::string>{"Invalid ESRI shape file"});
    EXPECT_EQ(shortHeader.shp.Messages[0].Kind, BoxKind::Error);

    Loaded headerOnly;
    headerOnly.shp.ReadSHP(ShpBuilder(3).Build(50));
    EXPECT_EQ(Texts(headerOnly.shp.Messages),
              std::vector<std::string>{"Error while reading element at 0"});
    EXPECT_TRUE(headerOnly.shp.PolyLinien.empty());
    EXPECT_FALSE(Logged(headerOnly, "Loaded 0  Polylines"));
}

// Corrupt and hostile records: the message names the record most recently read, what
// came before stays, the record that failed leaves an entry without points, and nothing
// is read outside the buffer or allocated from the bad counts.
struct CorruptCase {
    const char *name;
    std::string file;
    std::string message;
    std::size_t polylines; // including the failed record's empty entry
};

std::vector<CorruptCase> CorruptCases() {
    const std::vector<XY> two = {{1, 1}, {2, 2}};
    ShpBuilder good(3);
    good.Poly(1, {0}, two);
    std::vector<CorruptCase> cases;
    auto add = [&](const char *name, const std::string &records, const char *message,
                   std::size_t polylines, std::optional<std::int32_t> fileLen = std::nullopt) {
        ShpBuilder b = good;
        b.Raw(records);
        cases.push_back({name, b.Build(fileLen), message, polylines});
    };
    auto record = [](std::int32_t number, const std::string &content,
                     std::optional<std::int32_t> words = std::nullopt) {
        ShpBuilder r(3);
        r.Record(number, content, words);
        return r.Build().substr(100);
    };
    const std::string second = ShpBuilder::PolyContent(3, {0}, two);

    add("EndsInsideContent", record(2, second).substr(0, 8 + 60),
        "Error while reading element at 2", 2, (100 + 112 + 8 + 112) / 2);
    add("FileLenBeyondEnd", "", "Error while reading element at 1", 1, 1000);
    add("EndsInsideRecordHeader", std::string("\0\0\0\x02\0", 5),
        "Error while reading element at 1", 1, 200);
    add("NegativeContentLength", record(2, second, -8), "Error while reading element at 2", 2);
    add("HugeContentLength", record(2, second, 0x7FFFFFFF), "Error while reading element at 2", 2);
    add("HugePointCount", record(2, ShpBuilder::PolyContent(3, {0}, two, 1, 0x7FFFFFFF)),
        "Error while reading element at 2", 2);
    add("HugePartCount", record(2, ShpBuilder::PolyContent(3, {0}, two, 0x40000000, 2)),
        "Error while reading element at 2", 2);
    add("NoParts", record(2, ShpBuilder::PolyContent(3, {}, two)),
        "Error while reading element at 2", 2);
    add("NoPoints", record(2, ShpBuilder::PolyContent(3, {0}, {})),
        "Error while reading element at 2", 2);
    add("NegativeCounts", record(2, ShpBuilder::PolyContent(3, {0}, two, -1, -1)),
        "Error while reading element at 2", 2);
    // The points would fit the file, but not the record's own content length.
    add("PointsBeyondContentLength",
        record(2, second, 60) + record(3, ShpBuilder::PolyContent(3, {0}, two)).substr(60),
        "Error while reading element at 2", 2);
    add("ContentShorterThanHeader", record(2, std::string(30, '\x03')),
        "Error while reading element at 2", 2);
    return cases;
}

TEST(ShapefileSHP, CorruptRecordsShowTheElementMessageAndKeepWhatWasRead) {
    for (const CorruptCase &c : CorruptCases()) {
        SCOPED_TRACE(c.name);
        Loaded l;
        l.shp.ReadSHP(c.file);
        EXPECT_EQ(Texts(l.shp.Messages), std::vector<std::string>{c.message});
        ASSERT_EQ(l.shp.PolyLinien.size(), c.polylines);
        EXPECT_EQ(Xs(l.shp.PolyLinien[0]), (std::vector<double>{1, 2}));
        if (c.polylines > 1) {
            EXPECT_TRUE(l.shp.PolyLinien.back().Points.empty());
        }
        EXPECT_TRUE(l.log.empty());
    }
}

TEST(ShapefileSHP, PartIndexesAreKeptAsStored) {
    ShpBuilder b(3);
    b.Poly(1, {0, 7, -3}, {{1, 1}, {2, 2}});
    Loaded l;
    l.shp.ReadSHP(b.Build());
    ASSERT_EQ(l.shp.PolyLinien.size(), 1u);
    EXPECT_EQ(l.shp.PolyLinien[0].Parts, (std::vector<std::int32_t>{0, 7, -3}));
    model::TGPX gpx;
    l.shp.MakeGPX(&gpx);
    EXPECT_EQ(gpx.trk[0]->trkseg(0)->Count(), 2);
}

TEST(ShapefileSHP, MissingFileRaisesTheFileError) {
    TempDir dir;
    Loaded l;
    EXPECT_THROW(l.shp.LoadSHP(dir.Path("no-such-file.shp")), support::FileError);
    EXPECT_THROW(l.shp.LoadDBF(dir.Path("no-such-file.dbf")), support::FileError);
}

// ---- points and shapes with Z or measures ----

namespace {

// The content of a record of any point or poly type: the 2-D shape, then for the Z types
// the Z range and values, then, when `measures`, an M range and values (always after Z).
std::string ShapeContent(std::int32_t type, const std::vector<std::int32_t> &parts,
                         const std::vector<XY> &points, const std::vector<double> &z,
                         bool measures) {
    std::string c;
    const bool single = type == 1 || type == 11 || type == 21;
    const bool multi = type == 8 || type == 18 || type == 28;
    if (single) {
        c = ShpBuilder::PointContent(type, points[0].x, points[0].y);
    } else {
        c = ShpBuilder::PolyContent(type, parts, points);
        if (multi) // no part count and no part indexes
            c = c.substr(0, 36) + c.substr(40, 4) + c.substr(44 + 4 * parts.size());
    }
    if (!z.empty()) {
        if (!single)
            for (double d : {-1.0, 1.0})
                PutF64(c, d);
        for (double d : z)
            PutF64(c, d);
    }
    if (measures) {
        if (!single)
            for (double d : {0.0, 9.0})
                PutF64(c, d);
        for (std::size_t i = 0; i < points.size(); ++i)
            PutF64(c, 1e6 + static_cast<double>(i));
    }
    return c;
}

std::vector<std::int32_t> DepthsOf(const model::TGPXtrk &t) {
    std::vector<std::int32_t> out;
    for (const auto &s : t.Items())
        for (const auto &p : s->Items())
            out.push_back(static_cast<std::int32_t>(p->HBdepth));
    return out;
}

std::vector<int> SegmentSizes(const model::TGPXtrk &t) {
    std::vector<int> out;
    for (const auto &s : t.Items())
        out.push_back(s->Count());
    return out;
}

} // namespace

// Every point type: three records (a point or multi-point of two, a Null, another), each
// point a sounding of its own with its record's depth from the table, or with the Z
// option its own Z. Measures, optional after Z, are passed over.
TEST(ShapefileSHP, PointFilesGiveASoundingPerPoint) {
    struct Case {
        std::int32_t type;
        bool multi, z, measures;
    };
    const Case cases[] = {{1, false, false, false}, {11, false, true, true},
                          {11, false, true, false}, {21, false, false, true},
                          {8, true, false, false},  {18, true, true, true},
                          {18, true, true, false},  {28, true, false, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << (c.measures ? " with M" : ""));
        const std::vector<XY> first =
            c.multi ? std::vector<XY>{{8.1, 47.1}, {8.2, 47.2}} : std::vector<XY>{{8.1, 47.1}};
        const std::vector<double> firstZ =
            c.multi ? std::vector<double>{-2.5, -3.25} : std::vector<double>{-2.5};
        ShpBuilder b(c.type);
        b.Record(1,
                 ShapeContent(c.type, {}, first, c.z ? firstZ : std::vector<double>{}, c.measures))
            .Record(2, ShpBuilder::NullContent())
            .Record(3, ShapeContent(c.type, {}, {{8.3, 47.3}},
                                    c.z ? std::vector<double>{1.0} : std::vector<double>{},
                                    c.measures));
        TempDir dir;
        Loaded l;
        l.shp.LoadSHP(dir.File("buoys.shp", b.Build()));
        l.shp.ReadDBF(BuildDbf({{"DEPTH", 'N', 6, 1}}, {"    4.5", "    9.0", "   12.0"}));
        EXPECT_TRUE(l.shp.Messages.empty());
        EXPECT_TRUE(l.shp.IsPointFile());
        EXPECT_EQ(l.shp.HasZ(), c.z);
        const std::size_t n = first.size() + 1;
        EXPECT_TRUE(Logged(l, "Loaded " + std::to_string(n) + "  Points"));
        TMessages shown;
        ASSERT_TRUE(formats::JoinDBFOK(l.shp, 0, "100", shown));

        model::TGPX table;
        l.shp.MakeGPX(&table);
        ASSERT_EQ(table.trk.Count(), 1);
        EXPECT_EQ(table.trk[0]->name, "buoys.shp");
        EXPECT_EQ(SegmentSizes(*table.trk[0]), std::vector<int>(n, 1));
        std::vector<std::int32_t> fromTable(first.size(), 450);
        fromTable.push_back(1200);
        EXPECT_EQ(DepthsOf(*table.trk[0]), fromTable);
        EXPECT_EQ(table.trk[0]->Get(static_cast<int>(n) - 1)->First()->Longitude, 8.3);
        EXPECT_EQ(table.trk[0]->Get(static_cast<int>(n) - 1)->First()->Latitude, 47.3);

        // Z as an elevation in metres: -100. The point above the water gets depth 0.
        l.shp.DepthFromZScale = -100;
        model::TGPX fromZ;
        l.shp.MakeGPX(&fromZ);
        if (!c.z) {
            EXPECT_EQ(DepthsOf(*fromZ.trk[0]), fromTable); // nothing to take it from
            continue;
        }
        std::vector<std::int32_t> expected = {250};
        if (c.multi)
            expected.push_back(325);
        expected.push_back(0);
        EXPECT_EQ(DepthsOf(*fromZ.trk[0]), expected);
        EXPECT_TRUE(Logged(l, "1 points above the water (Z x -100 below 0) get depth 0"));
    }
}

// PolyLineZ and PolygonZ read as their 2-D shapes, with a Z per point; PolyLineM and
// PolygonM likewise without one.
TEST(ShapefileSHP, ShapesWithZOrMeasuresReadAsTheir2DShapes) {
    for (std::int32_t type : {13, 15, 23, 25}) {
        SCOPED_TRACE(type);
        const bool z = type < 20;
        ShpBuilder b(type);
        b.Record(1, ShapeContent(type, {0, 2}, {{1, 1}, {2, 2}, {3, 3}, {4, 4}},
                                 z ? std::vector<double>{0.5, 1.5, 2.25, 3} : std::vector<double>{},
                                 type == 13 || type == 23))
            .Record(2, ShapeContent(type, {0}, {{5, 5}, {6, 6}},
                                    z ? std::vector<double>{4, 5} : std::vector<double>{}, false));
        Loaded l;
        l.shp.ReadSHP(b.Build());
        EXPECT_TRUE(l.shp.Messages.empty());
        EXPECT_TRUE(Logged(l, "Loaded 2  Polylines"));
        EXPECT_FALSE(l.shp.IsPointFile());
        ASSERT_EQ(l.shp.PolyLinien.size(), 2u);
        EXPECT_EQ(Xs(l.shp.PolyLinien[0]), (std::vector<double>{1, 2, 3, 4}));
        EXPECT_EQ(l.shp.PolyLinien[0].Parts, (std::vector<std::int32_t>{0, 2}));
        const std::vector<double> expectedZ =
            z ? std::vector<double>{0.5, 1.5, 2.25, 3} : std::vector<double>{};
        EXPECT_EQ(l.shp.PolyLinien[0].Z, expectedZ);

        l.shp.PolyLinien[1].Depth = 700; // as the table would set it
        l.shp.DepthFromZScale = 100;     // Z is a depth in metres
        model::TGPX gpx;
        l.shp.MakeGPX(&gpx);
        EXPECT_EQ(SegmentSizes(*gpx.trk[0]), (std::vector<int>{4, 2}));
        const std::vector<std::int32_t> expectedDepths =
            z ? std::vector<std::int32_t>{50, 150, 225, 300, 400, 500}
              : std::vector<std::int32_t>{0, 0, 0, 0, 700, 700};
        EXPECT_EQ(DepthsOf(*gpx.trk[0]), expectedDepths);
    }

    // The Z values are part of the record: without them it is cut short.
    std::string noZ = ShapeContent(13, {0}, {{1, 1}, {2, 2}}, {}, false);
    ShpBuilder cut(13);
    cut.Record(1, ShapeContent(13, {0}, {{1, 1}, {2, 2}}, {1, 2}, false)).Record(2, noZ);
    Loaded l;
    l.shp.ReadSHP(cut.Build());
    EXPECT_EQ(Texts(l.shp.Messages), std::vector<std::string>{"Error while reading element at 2"});
    EXPECT_EQ(l.shp.PolyLinien[0].Z, (std::vector<double>{1, 2}));
}

TEST(ShapefileSHP, DepthFromZThatIsNoNumberOrOutOfRange) {
    ShpBuilder b(11);
    b.Record(1, ShapeContent(11, {}, {{1, 1}}, {std::nan("")}, false))
        .Record(2, ShapeContent(11, {}, {{2, 2}}, {1e300}, false))
        .Record(3, ShapeContent(11, {}, {{3, 3}}, {2.5}, false))
        .Record(4, ShapeContent(11, {}, {{4, 4}}, {3.5}, false));
    Loaded l;
    l.shp.ReadSHP(b.Build());
    l.shp.DepthFromZScale = 1; // Z in centimetres, rounded half to even
    model::TGPX gpx;
    l.shp.MakeGPX(&gpx);
    EXPECT_EQ(DepthsOf(*gpx.trk[0]), (std::vector<std::int32_t>{0, 0, 2, 4}));
    EXPECT_TRUE(Logged(l, "2 points with a Z that gives no depth get depth 0"));
}

// Hostile counts in multi-points allocate nothing and stop at the element message; an
// empty multi-point is a shape without points, and a point record cut short is corrupt.
TEST(ShapefileSHP, CorruptPointRecords) {
    struct Case {
        const char *name;
        std::int32_t type;
        std::string content;
        const char *message; // empty: none
    };
    std::string huge = ShapeContent(18, {}, {{1, 1}}, {1}, false);
    huge[36] = huge[37] = huge[38] = '\xFF';
    huge[39] = '\x7F';
    const Case cases[] = {
        {"HugeMultiPointZ", 18, huge, "Error while reading element at 2"},
        {"NegativeCount", 8, ShpBuilder::PolyContent(8, {}, {}).substr(0, 36) + "\xFF\xFF\xFF\xFF",
         "Error while reading element at 2"},
        {"PointZWithoutZ", 11, ShpBuilder::PointContent(11, 1, 1),
         "Error while reading element at 2"},
        {"PointCutShort", 1, ShpBuilder::PointContent(1, 1, 1).substr(0, 12),
         "Error while reading element at 2"},
        {"EmptyMultiPoint", 8, ShpBuilder::PolyContent(8, {}, {}).substr(0, 40), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ShpBuilder b(c.type);
        b.Record(1, ShapeContent(c.type, {}, {{7, 7}},
                                 c.type == 11 || c.type == 18 ? std::vector<double>{1}
                                                              : std::vector<double>{},
                                 false))
            .Record(2, c.content)
            .Record(3, ShapeContent(c.type, {}, {{9, 9}},
                                    c.type == 11 || c.type == 18 ? std::vector<double>{1}
                                                                 : std::vector<double>{},
                                    false));
        Loaded l;
        l.shp.ReadSHP(b.Build());
        const std::string message = c.message;
        EXPECT_EQ(Texts(l.shp.Messages),
                  message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
        ASSERT_GE(l.shp.PolyLinien.size(), 2u);
        EXPECT_EQ(Xs(l.shp.PolyLinien[0]), std::vector<double>{7});
        EXPECT_TRUE(l.shp.PolyLinien[1].Points.empty());
        model::TGPX gpx;
        l.shp.MakeGPX(&gpx);
        EXPECT_EQ(gpx.trk[0]->Count(), message.empty() ? 2 : 1);
    }
}

// ---- table ----

const std::vector<DbfField> kTwoFields = {{"NAME", 'C', 6, 0},
                                          {std::string("DEPTH\0\0\0\0\0\0", 11), 'N', 8, 2}};

TEST(ShapefileDBF, FieldsValuesAndDeletedRecords) {
    TempDir dir;
    const std::string path =
        dir.File("lake.dbf", BuildDbf(kTwoFields, {" north  -350.00", " east      2.50",
                                                   "*gone     99.00", " west      3.5 "}) +
                                 "\x1A");
    Loaded l;
    l.shp.LoadDBF(path);
    EXPECT_EQ(l.shp.Filename_DBF, path);
    EXPECT_TRUE(l.shp.Messages.empty());
    EXPECT_EQ(l.log, (std::vector<std::string>{"NumRecords 4", "HeaderSize 97", "RecordSize 15",
                                               "Name: NAME", "Length: 6", "Count: 0", "Name: DEPTH",
                                               "Length: 8", "Count: 2"}));
    ASSERT_EQ(l.shp.DatabaseFields.size(), 2u);
    const formats::TDBFDatabaseFields &depth = l.shp.DatabaseFields[1];
    EXPECT_EQ(depth.Name, std::string("DEPTH\0\0\0\0\0\0", 11));
    EXPECT_EQ(depth.ShownName(), "DEPTH");
    EXPECT_EQ(depth.FieldType, 'N');
    EXPECT_EQ(depth.FieldLength, 8);
    EXPECT_EQ(depth.FieldCount, 2);
    EXPECT_EQ(depth.Data, (std::vector<std::string>{" -350.00", "    2.50", "", "    3.5 "}));
    EXPECT_EQ(l.shp.DatabaseFields[0].Data,
              (std::vector<std::string>{"north ", "east  ", "", "west  "}));
    EXPECT_EQ(l.shp.DatabaseHeader.NumRecords, 4u);
    EXPECT_EQ(l.shp.DatabaseHeader.HeaderSize, 97);
}

TEST(ShapefileDBF, TablesWithoutValues) {
    Loaded none;
    none.shp.ReadDBF(BuildDbf(kTwoFields, {}));
    ASSERT_EQ(none.shp.DatabaseFields.size(), 2u);
    EXPECT_TRUE(none.shp.DatabaseFields[0].Data.empty());
    EXPECT_TRUE(none.shp.DatabaseFields[1].Data.empty());
    EXPECT_TRUE(none.shp.Messages.empty());

    Loaded allDeleted;
    allDeleted.shp.ReadDBF(BuildDbf(kTwoFields, {"*north  -350.00", "*east      2.50"}));
    EXPECT_TRUE(allDeleted.shp.DatabaseFields[1].Data.empty());

    // No columns at all: the terminator follows the header.
    Loaded noColumns;
    noColumns.shp.ReadDBF(BuildDbf({}, {}));
    EXPECT_TRUE(noColumns.shp.DatabaseFields.empty());
    EXPECT_TRUE(noColumns.shp.Messages.empty());
}

TEST(ShapefileDBF, BrokenHeaders) {
    Loaded shortHeader;
    shortHeader.shp.ReadDBF(BuildDbf(kTwoFields, {}).substr(0, 31));
    EXPECT_EQ(Texts(shortHeader.shp.Messages),
              std::vector<std::string>{"Error while opening DBF file."});
    EXPECT_TRUE(shortHeader.shp.DatabaseFields.empty());
    EXPECT_TRUE(shortHeader.log.empty());

    Loaded cut;
    EXPECT_THROW(cut.shp.ReadDBF(BuildDbf(kTwoFields, {}).substr(0, 32 + 32 + 20)),
                 formats::ShapefileReadError);
    EXPECT_EQ(cut.shp.DatabaseFields.size(), 1u);

    // Without the terminator the first record's flag is taken for it; reading goes on.
    Loaded noTerminator;
    noTerminator.shp.ReadDBF(
        BuildDbf(kTwoFields, {"X north  -350.00", " east      2.50"}, std::nullopt, false));
    EXPECT_EQ(
        Texts(noTerminator.shp.Messages),
        std::vector<std::string>{"Error while reading DBF: Header Terminator 0x0D not found"});
    EXPECT_EQ(noTerminator.shp.DatabaseFields[1].Data,
              (std::vector<std::string>{" -350.00", "    2.50"}));
}

TEST(ShapefileDBF, TextIsDecodedAsWindows1252) {
    Loaded l;
    l.shp.ReadDBF(BuildDbf({{"ORT", 'C', 8, 0}}, {" Z\xFCrich\x80 ", " \x9F\xE9\xA0\x81  "}));
    EXPECT_EQ(l.shp.DatabaseFields[0].Data,
              (std::vector<std::string>{"Z\xC3\xBCrich\xE2\x82\xAC ",
                                        "\xC5\xB8\xC3\xA9\xC2\xA0\xC2\x81  "}));
}

TEST(ShapefileDBF, CountsBeyondTheFileAllocateNothing) {
    // NumRecords says four billion, two records are there, the second cut short.
    std::string file = BuildDbf(kTwoFields, {" north  -350.00", " east  "}, 0xFFFFFFFFu);
    Loaded l;
    l.shp.ReadDBF(file);
    EXPECT_EQ(l.log[0], "NumRecords 4294967295");
    EXPECT_EQ(l.shp.DatabaseFields[0].Data, (std::vector<std::string>{"north ", "east  "}));
    EXPECT_EQ(l.shp.DatabaseFields[1].Data, (std::vector<std::string>{" -350.00", ""}));

    // Two thousand zero-length columns and a huge NumRecords: values stay bounded by the
    // bytes of the table.
    std::vector<DbfField> empty(2000, DbfField{"E", 'C', 0, 0});
    std::string wide = BuildDbf(empty, {}, 0xFFFFFFFFu) + std::string(4000, ' ');
    Loaded w;
    w.shp.ReadDBF(wide);
    ASSERT_EQ(w.shp.DatabaseFields.size(), 2000u);
    EXPECT_LE(w.shp.DatabaseFields[0].Data.size(), 4u);
}

// ---- "Import Coordinates" ----

TShapefile OnePolyline(std::vector<formats::TPunktXY> points) {
    TShapefile shp;
    shp.PolyLinien.emplace_back();
    shp.PolyLinien.back().Points = std::move(points);
    shp.Punkte.push_back({1, 500000, 5000000});
    return shp;
}

TEST(ShapefileImport, UTMConvertsPolylinePointsOnly) {
    struct Case {
        int hemisphere;
        double latitude;
    };
    for (Case c : {Case{0, 45.1535}, Case{1, -45.1535}}) {
        TMessages dialogs;
        TShapefile shp = OnePolyline({{500000, 5000000}, {700000, 5000000}});
        formats::ImportCoordinatesOK(shp, 1, "-500000", "0", "33", c.hemisphere);
        const formats::TPunktXY &p = shp.PolyLinien[0].Points[0];
        EXPECT_NEAR(p.X, 15.0, 1e-12);
        EXPECT_NEAR(p.Y, c.latitude, 0.00005);
        EXPECT_GT(shp.PolyLinien[0].Points[1].X, 17.0); // east of the central meridian
        EXPECT_EQ(shp.Punkte[0].X, 500000);
    }

    // The offsets are added before the conversion: the same point given relative to the
    // zone's false easting and northing.
    TMessages dialogs;
    TShapefile shifted = OnePolyline({{0, 0}});
    formats::ConvertUTMToWGS84(shifted, 500000 - 500000, 5000000, 33, 0);
    EXPECT_NEAR(shifted.PolyLinien[0].Points[0].Y, 45.1535, 0.00005);
}

TEST(ShapefileImport, DegreesLeaveCoordinatesAndBadTextsConvertNothing) {
    TMessages dialogs;
    TShapefile shp = OnePolyline({{12.5, 47.25}});
    formats::ImportCoordinatesOK(shp, 0, "x", "y", "z", 0);
    EXPECT_EQ(shp.PolyLinien[0].Points[0].X, 12.5);
    EXPECT_EQ(shp.PolyLinien[0].Points[0].Y, 47.25);

    struct Case {
        const char *x, *y, *zone, *named;
    };
    // Zone is parsed first, then the y offset, then the x offset.
    for (Case c :
         {Case{"-500000", "0", "33a", "\"33a\""}, Case{"1.5", "", "33", "\"\""},
          Case{"abc", "0", "33", "\"abc\""}, Case{"99999999999", "0", "33", "99999999999"}}) {
        SCOPED_TRACE(c.named);
        try {
            formats::ImportCoordinatesOK(shp, 1, c.x, c.y, c.zone, 0);
            ADD_FAILURE() << "no error";
        } catch (const formats::ConversionError &e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
        EXPECT_EQ(shp.PolyLinien[0].Points[0].X, 12.5);
    }
    formats::TUTMOptions o = formats::ParseUTMOptions(" -500000", "+10", "32", 1);
    EXPECT_EQ(o.XOffset, -500000);
    EXPECT_EQ(o.YOffset, 10);
    EXPECT_EQ(o.Zone, 32);
    EXPECT_EQ(o.Hemisphere, 1);
}

TEST(ShapefileImport, UTMConvertsTheShapesOfPointFiles) {
    ShpBuilder b(8);
    b.Record(1, ShapeContent(8, {}, {{500000, 5000000}}, {}, false));
    TMessages dialogs;
    TShapefile shp;
    shp.ReadSHP(b.Build());
    ASSERT_EQ(shp.PolyLinien.size(), 1u);
    formats::ImportCoordinatesOK(shp, 1, "-500000", "0", "33", 0);
    model::TGPX gpx;
    shp.MakeGPX(&gpx);
    const model::TGPXwpt &p = *gpx.trk[0]->First()->First();
    EXPECT_NEAR(p.Longitude, 15.0, 1e-12);
    EXPECT_NEAR(p.Latitude, 45.1535, 0.00005);
    EXPECT_EQ(shp.Punkte[0].X, 500000); // the points as read stay
}

// ---- "Import Database" ----

formats::TDBFDatabaseFields Column(std::vector<std::string> values) {
    formats::TDBFDatabaseFields f;
    f.Name = std::string("DEPTH\0\0\0\0\0\0", 11);
    f.Data = std::move(values);
    return f;
}

TEST(ShapefileImport, PreviewShowsAtMostTenScaledValues) {
    std::vector<std::string> values;
    for (int i = 0; i < 25; ++i)
        values.push_back("  -" + std::to_string(i) + ".5");
    std::vector<std::string> lines = formats::DepthPreview(Column(values), "2");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "1");
    EXPECT_EQ(lines[9], "19");
    EXPECT_EQ(formats::DepthPreview(Column({"0.1", "  1e3 "}), "0.3"),
              (std::vector<std::string>{"0.03", "300"}));

    std::vector<std::string> partial;
    EXPECT_THROW(formats::DepthPreview(Column({"1", "2", "n/a", "4"}), "1", partial),
                 formats::ConversionError);
    EXPECT_EQ(partial, (std::vector<std::string>{"1", "2"}));
    EXPECT_THROW(formats::DepthPreview(Column({"1"}), "1,5"), formats::ConversionError);

    EXPECT_EQ(formats::ScaleAfterEdit(""), "1");
    EXPECT_EQ(formats::ScaleAfterEdit("10"), "10");
}

TShapefile WithPolylines(std::size_t n, std::vector<std::string> values) {
    TShapefile shp;
    shp.PolyLinien.resize(n);
    shp.DatabaseFields.push_back(Column({}));
    shp.DatabaseFields.push_back(Column(std::move(values)));
    return shp;
}

TEST(ShapefileImport, OkWritesRoundedAbsoluteDepths) {
    TMessages dialogs;
    TShapefile shp = WithPolylines(5, {"-350", "2.5", "3.5", " 12.25 ", "-0.5"});
    EXPECT_TRUE(formats::JoinDBFOK(shp, 1, "1", dialogs));
    std::vector<std::int32_t> depths;
    for (const formats::TPolyLine &p : shp.PolyLinien)
        depths.push_back(p.Depth);
    EXPECT_EQ(depths, (std::vector<std::int32_t>{350, 2, 4, 12, 0}));
    EXPECT_TRUE(dialogs.empty());

    EXPECT_TRUE(formats::JoinDBFOK(shp, 1, "100", dialogs));
    EXPECT_EQ(shp.PolyLinien[3].Depth, 1225);

    TMessages noneDialogs;
    TShapefile none = WithPolylines(2, {"1", "2"});
    EXPECT_TRUE(formats::JoinDBFOK(none, -1, "1", noneDialogs));
    EXPECT_EQ(none.PolyLinien[1].Depth, 0);
}

// Contour files often hold Null records; the table has a row for each of them.
TEST(ShapefileImport, NullRecordsKeepTheTableInStep) {
    TMessages dialogs;
    TShapefile shp = WithPolylines(3, {"120", "", "350"});
    shp.PolyLinien[1].Null = true;
    EXPECT_TRUE(formats::JoinDBFOK(shp, 1, "1", dialogs)); // the empty value is not read
    EXPECT_EQ(shp.PolyLinien[0].Depth, 120);
    EXPECT_EQ(shp.PolyLinien[2].Depth, 350);
    EXPECT_TRUE(dialogs.empty());
}

TEST(ShapefileImport, OkRefusesMismatchesAndStopsAtBadValues) {
    TMessages dialogs;
    TShapefile shp = WithPolylines(11, std::vector<std::string>(12, "5"));
    EXPECT_FALSE(formats::JoinDBFOK(shp, 1, "1", dialogs));
    EXPECT_EQ(Texts(dialogs), (std::vector<std::string>{"Mismatch in length of SHP and DBF",
                                                        "# Polylines: 11 # DB Entries: 12"}));
    EXPECT_EQ(shp.PolyLinien[0].Depth, 0);

    // A deleted record counts as a value, and its empty text is not a number.
    TMessages badDialogs;
    TShapefile bad = WithPolylines(3, {"7", "", "9"});
    try {
        formats::JoinDBFOK(bad, 1, "1", badDialogs);
        ADD_FAILURE() << "no error";
    } catch (const formats::ConversionError &e) {
        EXPECT_NE(std::string(e.what()).find("record 2"), std::string::npos) << e.what();
    }
    EXPECT_EQ(bad.PolyLinien[0].Depth, 7);
    EXPECT_EQ(bad.PolyLinien[2].Depth, 0);

    TMessages hugeDialogs;
    TShapefile huge = WithPolylines(1, {"1e12"});
    EXPECT_THROW(formats::JoinDBFOK(huge, 1, "1", hugeDialogs), formats::ConversionError);
}
