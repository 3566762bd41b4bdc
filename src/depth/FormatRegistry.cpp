#include "depth/FormatRegistry.h"

#include "depth/GisExport.h"
#include "formats/CsvSoundings.h"
#include "formats/GPXFile.h"
#include "formats/HTConvert.h"
#include "formats/HumminbirdRecording.h"
#include "formats/KMLFile.h"
#include "formats/LowranceLog.h"
#include "formats/shapefile.h"
#include "support/FilePath.h"

#include <algorithm>
#include <stdexcept>

namespace depth {

namespace {

void WriteGPX(const std::string &path, model::TGPX &doc, const TWriteOptions &) {
    formats::TGPXFile writer;
    writer.GPXd = &doc;
    writer.ExportGPX(path);
}

void WriteHT(const std::string &path, model::TGPX &doc, const TWriteOptions &options) {
    formats::THTConvert writer(&doc, options.TrackName, path);
    if (!writer.ConvertToHT())
        throw std::runtime_error(writer.ErrorText.empty() ? "no point to write" : writer.ErrorText);
}

void WriteGIS(const std::string &path, model::TGPX &doc, const TWriteOptions &options) {
    WriteContours(path, doc, options.Unit);
}

formats::ReadResult ReadSonarLog(const std::string &path, model::TGPX &doc,
                                 const formats::TReadOptions &o) {
    return formats::ReadLowranceLog(path, doc, o.Progress);
}

formats::ReadResult ReadCsv(const std::string &path, model::TGPX &doc,
                            const formats::TReadOptions &o) {
    return formats::ReadCsvSoundings(path, doc, o.Progress);
}

formats::ReadResult ReadHumminbird(const std::string &path, model::TGPX &doc,
                                   const formats::TReadOptions &o) {
    return formats::ReadHumminbirdRecording(path, doc, o.Progress);
}

} // namespace

const std::vector<TFormat> &Formats() {
    using K = TLoadKind;
    static const std::vector<TFormat> formats = {
        {"gpx", "GPX file", {".gpx"}, K::Tracks, "LoadGPXFile", formats::ReadGPXFile, WriteGPX},
        {"kml", "KML file", {".kml"}, K::Outlines, "LoadKMLFile", formats::ReadKMLFile, WriteGIS},
        {"ht", "HT track file", {".ht"}, K::Recording, "LoadHTFile", formats::ReadHTFile, WriteHT},
        {"shp",
         "ESRI shapefile",
         {".shp"},
         K::Shapefile,
         "LoadSHPFile",
         formats::ReadShapefile,
         WriteGIS},
        {"sl2",
         "Lowrance sonar log",
         {".sl2"},
         K::Recording,
         "LoadSonarFile",
         ReadSonarLog,
         nullptr},
        {"sl3",
         "Lowrance sonar log",
         {".sl3"},
         K::Recording,
         "LoadSonarFile",
         ReadSonarLog,
         nullptr},
        {"slg",
         "Lowrance sonar log (old)",
         {".slg"},
         K::Recording,
         "LoadSonarFile",
         ReadSonarLog,
         nullptr},
        {"humminbird",
         "Humminbird recording",
         {".dat"},
         K::Recording,
         "LoadSonarFile",
         ReadHumminbird,
         nullptr},
        {"csv",
         "CSV or XYZ soundings",
         {".csv", ".xyz", ".txt"},
         K::Recording,
         "LoadCSVFile",
         ReadCsv,
         nullptr},
        {"gpkg", "GeoPackage", {".gpkg"}, K::Tracks, "", nullptr, WriteGIS},
        {"geojson", "GeoJSON", {".geojson"}, K::Tracks, "", nullptr, WriteGIS},
    };
    return formats;
}

const TFormat *FormatOf(const std::string &path) {
    const std::string ext = support::LowerExtension(path);
    for (const TFormat &f : Formats())
        if (std::find(f.Extensions.begin(), f.Extensions.end(), ext) != f.Extensions.end())
            return &f;
    return nullptr;
}

namespace {

// "*.gpx;*.kml" — and each pattern in upper case too, for dialogs that match case.
std::string Patterns(const TFormat &f) {
    std::string out;
    for (const std::string &ext : f.Extensions) {
        std::string upper = ext;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        out += (out.empty() ? "*" : ";*") + ext + ";*" + upper;
    }
    return out;
}

std::string Filter(bool readable, const std::string &allCaption) {
    std::string all, each;
    for (const TFormat &f : Formats()) {
        if (readable ? !f.Read : !f.Write)
            continue;
        all += (all.empty() ? "" : ";") + Patterns(f);
        each += "|" + f.Description + "|" + Patterns(f);
    }
    return allCaption.empty() ? each.substr(1) : allCaption + "|" + all + each;
}

} // namespace

std::string OpenFilter() {
    return Filter(true, "All supported files");
}

std::string SaveFilter() {
    return Filter(false, "");
}

} // namespace depth
