// Reading ESRI shapefiles (".shp": points, multi-points, polylines, polygons, also with Z
// or measures) and their dBASE tables (".dbf").
#pragma once

#include "formats/ReadResult.h"
#include "model/GPX.h"
#include "support/Message.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

// A table whose field descriptors are cut short; everything else is reported in boxes.
struct ShapefileReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The 100-byte main-file header; FileCode and FileLen already in host order.
struct TSHPFileHeader {
    std::int32_t FileCode = 0;
    std::int32_t Unused1 = 0, Unused2 = 0, Unused3 = 0, Unused4 = 0, Unused5 = 0;
    std::int32_t FileLen = 0; // in 16-bit words
    std::int32_t Version = 0;
    std::int32_t ShapeType = 0;
    double Xmin = 0, Ymin = 0, Xmax = 0, Ymax = 0;
    double Zmin = 0, Zmax = 0, Mmin = 0, Mmax = 0;
};

// The 32-byte table header. Its natural layout is the file's, byte for byte.
struct TDBFFileHeader {
    std::uint8_t DBaseVersion = 0;
    std::uint8_t DateYY = 0, DateMM = 0, DateDD = 0;
    std::uint32_t NumRecords = 0;
    std::uint16_t HeaderSize = 0;
    std::uint16_t RecordSize = 0;
    std::uint16_t Unused1 = 0;
    std::uint8_t Complete = 0;
    std::uint8_t Encryption = 0;
    std::uint32_t Unused2 = 0, Unused3 = 0, Unused4 = 0;
    std::uint8_t MDX = 0;
    std::uint8_t Language = 0;
    std::uint16_t Unused5 = 0;
};
static_assert(sizeof(TDBFFileHeader) == 32, "dBASE header is 32 bytes");
static_assert(offsetof(TDBFFileHeader, NumRecords) == 4 &&
                  offsetof(TDBFFileHeader, HeaderSize) == 8 && offsetof(TDBFFileHeader, MDX) == 28,
              "dBASE header offsets");

struct TPunktXY {
    double X = 0; // easting or longitude
    double Y = 0; // northing or latitude
};

struct TPunkt {
    std::int32_t ID = 0; // record number from the file
    double X = 0, Y = 0;
};

struct TBox {
    double Xmin = 0, Ymin = 0, Xmax = 0, Ymax = 0;
};

// The fixed part of a polyline record: 44 bytes in the file.
struct TPolyHeader {
    std::int32_t Shapetype = 0;
    TBox Box;
    std::int32_t NumParts = 0;
    std::int32_t NumPoints = 0;
};

struct TPolyContent {
    std::vector<std::int32_t> Parts;
    std::vector<TPunktXY> Points;
};

struct TPolyLine {
    std::int32_t ShapeType = 0;
    TBox Box;
    std::int32_t NumParts = 0;
    std::int32_t NumPoints = 0;
    std::vector<std::int32_t> Parts; // index of the first point of each part, as stored
    std::vector<TPunktXY> Points;
    std::int32_t Depth = 0; // centimetres; set by the depth column dialog
    std::vector<double> Z;  // one per point for the Z shape types, else empty
    // A Null or empty record: kept without points so that entry i stays record i + 1 and
    // lines up with the table's values; it makes no segment.
    bool Null = false;
};

struct TDBFDatabaseFields {
    std::string Name; // the 11 name bytes as stored, trailing zero bytes included
    std::uint8_t FieldType = 0;
    std::uint8_t FieldLength = 0;
    std::uint8_t FieldCount = 0; // decimal count
    // One text per record, UTF-8, padding blanks kept; empty for deleted records.
    std::vector<std::string> Data;

    // The name as shown: up to the first zero byte.
    std::string ShownName() const { return Name.substr(0, Name.find('\0')); }
};

class TShapefile {
  public:
    explicit TShapefile(support::LogLine log = {});

    TSHPFileHeader FileHeader;
    TDBFFileHeader DatabaseHeader;
    std::vector<TDBFDatabaseFields> DatabaseFields;
    TPolyHeader PLHead;     // scratch of the record being read
    TPolyContent PLContent; // scratch of the record being read
    std::vector<TPunkt> Punkte;
    std::vector<TPolyLine> PolyLinien;
    std::string Filename_SHP;
    std::string Filename_DBF;
    // What the reads found wrong, in order, for the caller to show.
    support::TMessages Messages;

    // "Depth from Z with SCALE": for the shape types with a Z (PointZ, MultiPointZ,
    // PolyLineZ, PolygonZ) each point's depth is its Z x scale in centimetres instead of
    // the table's value; a negative scale reads Z as an elevation (metres: -100).
    std::optional<double> DepthFromZScale;

    bool IsPointFile() const; // points or multi-points: every point is a sounding
    bool HasZ() const;        // the shapes carry a Z per point

    // Read the whole file (support::FileError when it cannot be read) and decode it.
    void LoadSHP(const std::string &AFilename);
    void LoadDBF(const std::string &AFilename);

    // Decode a main file / table held in memory, replacing what an earlier read left.
    // Problems go to Messages and the read returns normally, except a table whose field
    // descriptors are cut short, which throws ShapefileReadError.
    void ReadSHP(std::string_view bytes);
    void ReadDBF(std::string_view bytes);

    // Appends one track (named after the main file) with a segment per polyline, or per
    // point of a point file; nothing when GPX is null.
    void MakeGPX(model::TGPX *GPX) const;

  private:
    void Log(const std::string &line) const;

    void Report(support::BoxKind kind, const std::string &text) {
        Messages.push_back({kind, text});
    }
    support::LogLine log_;
};

// The registry's reader: the main file and its table (the same name with ".dbf" beside
// it), prepared by options.PrepareShapefile, as one track. Errors of the reads come back
// as the result's error (the first one) and its log ("error: ...", "warning: ...").
ReadResult ReadShapefile(const std::string &path, model::TGPX &doc, const TReadOptions &options);

} // namespace formats
