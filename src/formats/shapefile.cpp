#include "formats/shapefile.h"

#include "support/FilePath.h"

#include "support/AtomicFile.h"
#include "support/NumText.h"
#include "support/Rounding.h"
#include "support/TextCodec.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <utility>

namespace formats {

namespace {

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559,
              "shapefile coordinates are IEEE 754 doubles");

constexpr std::size_t kSHPHeaderSize = 100;
constexpr std::size_t kRecordHeaderSize = 8;
constexpr std::size_t kPointContentSize = 4 + 2 * 8;       // shape type, X, Y
constexpr std::size_t kPolyHeaderSize = 4 + 4 * 8 + 4 + 4; // shape type, box, counts
constexpr std::size_t kDBFHeaderSize = 32;
constexpr std::size_t kFieldDescriptorSize = 32;
static_assert(kPointContentSize == 20 && kPolyHeaderSize == 44);
static_assert(kSHPHeaderSize == 9 * 4 + 8 * 8);
static_assert(kDBFHeaderSize == sizeof(TDBFFileHeader));

constexpr std::int32_t kShapeNull = 0;

// How a shape type's records are laid out: the 2-D shape first, then for the Z types a
// Z range and a Z per point, then (optional for Z types) an M range and an M per point.
struct ShapeLayout {
    enum Kind { Unsupported, Point, MultiPoint, Poly } kind = Unsupported;
    bool z = false;
};

ShapeLayout LayoutOf(std::int32_t shapeType) {
    switch (shapeType) {
    case 1:  // Point
    case 21: // PointM
        return {ShapeLayout::Point, false};
    case 11: // PointZ
        return {ShapeLayout::Point, true};
    case 8:  // MultiPoint
    case 28: // MultiPointM
        return {ShapeLayout::MultiPoint, false};
    case 18: // MultiPointZ
        return {ShapeLayout::MultiPoint, true};
    case 3:  // PolyLine
    case 5:  // Polygon
    case 23: // PolyLineM
    case 25: // PolygonM
        return {ShapeLayout::Poly, false};
    case 13: // PolyLineZ
    case 15: // PolygonZ
        return {ShapeLayout::Poly, true};
    default: // MultiPatch and anything else
        return {};
    }
}

constexpr std::uint8_t kHeaderTerminator = 0x0D;

struct ShortRead {};

// Reads little- and big-endian numbers from a buffer; every read is checked against
// the bytes that remain and throws ShortRead rather than reading past the end.
class ByteReader {
  public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    std::size_t Pos() const { return pos_; }
    std::size_t Remaining() const { return bytes_.size() - pos_; }
    bool AtEnd() const { return pos_ >= bytes_.size(); }

    std::string_view Bytes(std::size_t n) {
        Need(n);
        std::string_view out = bytes_.substr(pos_, n);
        pos_ += n;
        return out;
    }
    // For the table's records, where a short file gives shorter texts instead of failing.
    std::string_view BytesUpTo(std::size_t n) { return Bytes(std::min(n, Remaining())); }
    void Skip(std::size_t n) { Bytes(n); }
    void SkipUpTo(std::size_t n) { BytesUpTo(n); }
    // The next n bytes as a reader of their own.
    ByteReader Sub(std::size_t n) { return ByteReader(Bytes(n)); }
    std::uint8_t Peek() const {
        Need(1);
        return static_cast<std::uint8_t>(bytes_[pos_]);
    }

    std::uint8_t U8() { return static_cast<std::uint8_t>(Bytes(1)[0]); }
    std::uint16_t U16LE() { return static_cast<std::uint16_t>(LE(2)); }
    std::uint32_t U32LE() { return static_cast<std::uint32_t>(LE(4)); }
    std::int32_t I32LE() { return static_cast<std::int32_t>(U32LE()); }
    std::int32_t I32BE() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(BE(4))); }
    double F64LE() { return std::bit_cast<double>(LE(8)); }

  private:
    void Need(std::size_t n) const {
        if (n > Remaining())
            throw ShortRead{};
    }
    std::uint64_t LE(std::size_t n) {
        std::string_view b = Bytes(n);
        std::uint64_t v = 0;
        for (std::size_t i = n; i-- > 0;)
            v = (v << 8) | static_cast<std::uint8_t>(b[i]);
        return v;
    }
    std::uint64_t BE(std::size_t n) {
        std::string_view b = Bytes(n);
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v = (v << 8) | static_cast<std::uint8_t>(b[i]);
        return v;
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
};

// Table texts are 8-bit; Windows-1252 is what shapefile tools write when they say
// nothing else.
std::string TableText(std::string_view bytes) {
    return support::Cp1252ToUtf8(bytes);
}

TSHPFileHeader ReadSHPHeader(ByteReader &in) {
    TSHPFileHeader h;
    h.FileCode = in.I32BE();
    // The unused words are kept as stored, not converted.
    h.Unused1 = in.I32LE();
    h.Unused2 = in.I32LE();
    h.Unused3 = in.I32LE();
    h.Unused4 = in.I32LE();
    h.Unused5 = in.I32LE();
    h.FileLen = in.I32BE();
    h.Version = in.I32LE();
    h.ShapeType = in.I32LE();
    for (double *d : {&h.Xmin, &h.Ymin, &h.Xmax, &h.Ymax, &h.Zmin, &h.Zmax, &h.Mmin, &h.Mmax})
        *d = in.F64LE();
    return h;
}

TDBFFileHeader ReadDBFHeader(ByteReader &in) {
    TDBFFileHeader h;
    h.DBaseVersion = in.U8();
    h.DateYY = in.U8();
    h.DateMM = in.U8();
    h.DateDD = in.U8();
    h.NumRecords = in.U32LE();
    h.HeaderSize = in.U16LE();
    h.RecordSize = in.U16LE();
    h.Unused1 = in.U16LE();
    h.Complete = in.U8();
    h.Encryption = in.U8();
    h.Unused2 = in.U32LE();
    h.Unused3 = in.U32LE();
    h.Unused4 = in.U32LE();
    h.MDX = in.U8();
    h.Language = in.U8();
    h.Unused5 = in.U16LE();
    return h;
}

} // namespace

TShapefile::TShapefile(support::LogLine log) : log_(std::move(log)) {}

void TShapefile::Log(const std::string &line) const {
    if (log_)
        log_(line);
}

void TShapefile::LoadSHP(const std::string &AFilename) {
    std::string bytes = support::ReadWholeFile(AFilename);
    Filename_SHP = AFilename;
    ReadSHP(bytes);
}

void TShapefile::LoadDBF(const std::string &AFilename) {
    std::string bytes = support::ReadWholeFile(AFilename);
    Filename_DBF = AFilename;
    ReadDBF(bytes);
}

void TShapefile::ReadSHP(std::string_view bytes) {
    Punkte.clear();
    PolyLinien.clear();
    PLHead = {};
    PLContent = {};
    FileHeader = {};

    ByteReader in(bytes);
    if (in.Remaining() < kSHPHeaderSize) {
        Report(support::BoxKind::Error, "Invalid ESRI shape file");
        return;
    }
    FileHeader = ReadSHPHeader(in);
    const std::int64_t end = 2 * static_cast<std::int64_t>(FileHeader.FileLen);
    const ShapeLayout layout = LayoutOf(FileHeader.ShapeType);
    const bool supported = layout.kind != ShapeLayout::Unsupported;

    std::int32_t recordNumber = 0; // the record most recently read, for the error box
    try {
        do {
            // A record header cut short names the record before it.
            ByteReader header = in.Sub(kRecordHeaderSize);
            recordNumber = header.I32BE();
            const std::int32_t contentWords = header.I32BE();
            const std::int64_t contentBytes = 2 * static_cast<std::int64_t>(contentWords);
            // Each record is read within its own content length, so a Null or short
            // record cannot throw the following ones out of step.
            if (contentBytes < 0 || static_cast<std::uint64_t>(contentBytes) > in.Remaining()) {
                if (supported)
                    PolyLinien.emplace_back(); // stays without points, as for any failed record
                throw ShortRead{};
            }
            ByteReader content = in.Sub(static_cast<std::size_t>(contentBytes));
            if (!supported) {
                Report(support::BoxKind::Warning, "Skipping unsupported structure");
                continue;
            }
            if (recordNumber == 0 && content.AtEnd())
                continue; // zero padding after the last record, not a record
            // Points are kept as shapes of one point (a multi-point as one shape), so that
            // entry i is record i + 1 for the table, the coordinate conversion and MakeGPX.
            PLHead = {};
            if (content.Remaining() >= 4)
                PLHead.Shapetype = content.I32LE();
            PolyLinien.emplace_back();
            if (PLHead.Shapetype == kShapeNull) {
                PolyLinien.back().Null = true; // a Null record, or one without content
                continue;
            }
            std::vector<double> z;
            if (layout.kind == ShapeLayout::Point) {
                TPunktXY p;
                p.X = content.F64LE();
                p.Y = content.F64LE();
                if (layout.z)
                    z.push_back(content.F64LE());
                PLHead.Box = {p.X, p.Y, p.X, p.Y};
                PLHead.NumPoints = 1;
                PLContent.Points.assign(1, p);
            } else {
                PLHead.Box.Xmin = content.F64LE();
                PLHead.Box.Ymin = content.F64LE();
                PLHead.Box.Xmax = content.F64LE();
                PLHead.Box.Ymax = content.F64LE();
                if (layout.kind == ShapeLayout::Poly)
                    PLHead.NumParts = content.I32LE();
                PLHead.NumPoints = content.I32LE();
                if (layout.kind == ShapeLayout::MultiPoint && PLHead.NumPoints == 0) {
                    PolyLinien.back().Null = true; // an empty multi-point: no shape
                    continue;
                }
                if (PLHead.NumPoints <= 0 ||
                    (layout.kind == ShapeLayout::Poly && PLHead.NumParts <= 0))
                    throw ShortRead{};
                const std::uint64_t points = static_cast<std::uint64_t>(PLHead.NumPoints);
                const std::uint64_t need = 4 * static_cast<std::uint64_t>(PLHead.NumParts) +
                                           16 * points + (layout.z ? 16 + 8 * points : 0);
                if (need > content.Remaining())
                    throw ShortRead{};
                PLContent.Parts.resize(static_cast<std::size_t>(PLHead.NumParts));
                PLContent.Points.resize(static_cast<std::size_t>(PLHead.NumPoints));
                for (std::int32_t &part : PLContent.Parts)
                    part = content.I32LE();
                for (TPunktXY &p : PLContent.Points) {
                    p.X = content.F64LE();
                    p.Y = content.F64LE();
                }
                if (layout.z) {
                    content.Skip(16); // the Z range
                    z.resize(PLContent.Points.size());
                    for (double &v : z)
                        v = content.F64LE();
                }
            }
            // Measures, where a record carries them, are not used.
            TPolyLine &line = PolyLinien.back();
            line.ShapeType = PLHead.Shapetype;
            line.Box = PLHead.Box;
            line.NumParts = PLHead.NumParts;
            line.NumPoints = PLHead.NumPoints;
            line.Parts = std::move(PLContent.Parts);
            line.Points = std::move(PLContent.Points);
            line.Z = std::move(z);
            PLContent = {};
            if (layout.kind != ShapeLayout::Poly)
                for (const TPunktXY &p : line.Points)
                    Punkte.push_back({recordNumber, p.X, p.Y});
        } while (static_cast<std::int64_t>(in.Pos()) < end);
    } catch (const ShortRead &) {
        PLContent = {};
        Report(support::BoxKind::Error,
               "Error while reading element at " + std::to_string(recordNumber));
        return;
    }
    if (layout.kind == ShapeLayout::Point || layout.kind == ShapeLayout::MultiPoint) {
        Log("Loaded " + std::to_string(Punkte.size()) + "  Points");
    } else {
        const auto shapes = std::count_if(PolyLinien.begin(), PolyLinien.end(),
                                          [](const TPolyLine &l) { return !l.Null; });
        Log("Loaded " + std::to_string(shapes) + "  Polylines");
    }
}

bool TShapefile::IsPointFile() const {
    const ShapeLayout layout = LayoutOf(FileHeader.ShapeType);
    return layout.kind == ShapeLayout::Point || layout.kind == ShapeLayout::MultiPoint;
}

bool TShapefile::HasZ() const {
    return LayoutOf(FileHeader.ShapeType).z;
}

void TShapefile::ReadDBF(std::string_view bytes) {
    DatabaseFields.clear();
    DatabaseHeader = {};

    ByteReader in(bytes);
    if (in.Remaining() < kDBFHeaderSize) {
        Report(support::BoxKind::Error, "Error while opening DBF file.");
        return;
    }
    DatabaseHeader = ReadDBFHeader(in);
    Log("NumRecords " + std::to_string(DatabaseHeader.NumRecords));
    Log("HeaderSize " + std::to_string(DatabaseHeader.HeaderSize));
    Log("RecordSize " + std::to_string(DatabaseHeader.RecordSize));

    // HeaderSize bounds the descriptors (at most 2046 of them). A descriptor never
    // begins with the terminator, so a table without columns, or one whose HeaderSize
    // also covers a FoxPro backlink, stops at the terminator.
    do {
        if (!in.AtEnd() && in.Peek() == kHeaderTerminator)
            break;
        if (in.Remaining() < kFieldDescriptorSize)
            throw ShapefileReadError("Error while reading DBF: field descriptor " +
                                     std::to_string(DatabaseFields.size() + 1) +
                                     " is cut short at byte " + std::to_string(in.Pos()));
        ByteReader d = in.Sub(kFieldDescriptorSize);
        TDBFDatabaseFields field;
        field.Name = TableText(d.Bytes(11));
        field.FieldType = d.U8();
        d.Skip(4);
        field.FieldLength = d.U8();
        field.FieldCount = d.U8();
        Log("Name: " + field.ShownName());
        Log("Length: " + std::to_string(field.FieldLength));
        Log("Count: " + std::to_string(field.FieldCount));
        DatabaseFields.push_back(std::move(field));
    } while (in.Pos() + kFieldDescriptorSize < DatabaseHeader.HeaderSize);

    if (in.AtEnd() || in.U8() != kHeaderTerminator)
        Report(support::BoxKind::Error,
               "Error while reading DBF: Header Terminator 0x0D not found");

    // Records follow the terminator directly. Only records whose flag byte is in the
    // file get values, so a huge NumRecords in a short table allocates nothing; a
    // record cut short gets shorter or empty texts. Zero-length fields take no bytes,
    // so the values are also bounded by one byte per field and record.
    std::size_t sumLengths = 0;
    for (const TDBFDatabaseFields &f : DatabaseFields)
        sumLengths += f.FieldLength;
    const std::size_t bytesPerRecord = std::max(1 + sumLengths, DatabaseFields.size());
    const std::size_t present = (in.Remaining() + bytesPerRecord - 1) / bytesPerRecord;
    const std::size_t numRecords = std::min<std::size_t>(DatabaseHeader.NumRecords, present);

    bool sized = false;
    for (std::size_t r = 0; r < numRecords && !in.AtEnd(); ++r) {
        if (in.U8() != ' ') { // deleted
            in.SkipUpTo(sumLengths);
            continue;
        }
        for (TDBFDatabaseFields &f : DatabaseFields) {
            if (!sized)
                f.Data.resize(numRecords);
            f.Data[r] = TableText(in.BytesUpTo(f.FieldLength));
        }
        sized = true;
    }
}

void TShapefile::MakeGPX(model::TGPX *GPX) const {
    if (GPX == nullptr)
        return;
    auto track = std::make_unique<model::TGPXtrk>();
    track->name = std::filesystem::path(Filename_SHP).filename().string();
    const bool points = IsPointFile();
    const bool fromZ = DepthFromZScale.has_value() && HasZ();
    std::size_t aboveWater = 0, noDepth = 0;
    // Z x scale in whole centimetres; above the water (below 0) is depth 0.
    auto zDepth = [&](double z) -> std::int32_t {
        const double cm = z * *DepthFromZScale;
        if (!std::isfinite(cm) || std::fabs(cm) > std::numeric_limits<std::int32_t>::max()) {
            ++noDepth;
            return 0;
        }
        if (cm < 0) {
            ++aboveWater;
            return 0;
        }
        return support::Round32(cm);
    };
    model::TGPXtrkseg *segment = nullptr;
    for (const TPolyLine &line : PolyLinien) {
        if (line.Null)
            continue;
        // A point file's points are soundings: a segment of one point each.
        if (!points)
            segment = track->Add(std::make_unique<model::TGPXtrkseg>());
        for (std::size_t i = 0; i < line.Points.size(); ++i) {
            if (points)
                segment = track->Add(std::make_unique<model::TGPXtrkseg>());
            auto point = std::make_unique<model::TGPXwpt>();
            point->Longitude = line.Points[i].X;
            point->Latitude = line.Points[i].Y;
            point->HBdepth = fromZ && i < line.Z.size() ? zDepth(line.Z[i]) : line.Depth;
            segment->Add(std::move(point));
        }
    }
    if (aboveWater > 0)
        Log(std::to_string(aboveWater) + " points above the water (Z x " +
            support::FloatToStrG15(*DepthFromZScale) + " below 0) get depth 0");
    if (noDepth > 0)
        Log(std::to_string(noDepth) + " points with a Z that gives no depth get depth 0");
    GPX->trk.Add(std::move(track));
    GPX->trk.filled = true;
}

ReadResult ReadShapefile(const std::string &path, model::TGPX &doc, const TReadOptions &options) {
    ReadResult r;
    const std::string table =
        path.substr(0, path.size() - support::LowerExtension(path).size()) + ".dbf";
    if (!support::FileExists(table)) {
        r.error = ReadError{"File not found: " + table};
        return r;
    }
    r.log.push_back("LoadSHPFile: Trying to open " + path);
    r.log.push_back("LoadSHPFile: Trying to open " + table);
    TShapefile shp([&](const std::string &line) { r.log.push_back(line); });
    shp.LoadSHP(path);
    shp.LoadDBF(table);
    if (options.PrepareShapefile)
        options.PrepareShapefile(shp);
    for (const support::TMessage &m : shp.Messages) {
        const bool error = m.Kind == support::BoxKind::Error;
        r.log.push_back((error                                 ? "error: "
                         : m.Kind == support::BoxKind::Warning ? "warning: "
                                                               : "") +
                        m.Text);
        if (error && !r.error)
            r.error = ReadError{m.Text};
    }
    shp.MakeGPX(&doc);
    r.loaded = true; // what could be read is in; an error says the file is damaged
    return r;
}

} // namespace formats
