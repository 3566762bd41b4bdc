#include "depth/GisExport.h"

#include "formats/GPXFile.h"
#include "support/FilePath.h"

#include "support/AtomicFile.h"
#include "support/NumText.h"

#include <QBuffer>
#include <QByteArray>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace depth {

namespace {

constexpr double kEarthRadius = 6378137.0; // WGS84 semi-major axis, as the distances elsewhere
constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = kEarthRadius * kPi / 180.0;

// ---------------------------------------------------------------------------------------
// GDAL plumbing

void EnsureGdal() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// Collects GDAL's failure messages of this thread instead of letting GDAL print them.
class GdalErrorTrap {
  public:
    GdalErrorTrap() { CPLPushErrorHandlerEx(&Handler, this); }
    ~GdalErrorTrap() { CPLPopErrorHandler(); }
    GdalErrorTrap(const GdalErrorTrap &) = delete;
    GdalErrorTrap &operator=(const GdalErrorTrap &) = delete;

    bool Failed() const { return !messages_.empty(); }
    std::string Text() const { return messages_.empty() ? "unknown GDAL error" : messages_; }

  private:
    static void CPL_STDCALL Handler(CPLErr cls, CPLErrorNum, const char *message) {
        auto *self = static_cast<GdalErrorTrap *>(CPLGetErrorHandlerUserData());
        if (self == nullptr || cls < CE_Failure)
            return;
        if (!self->messages_.empty())
            self->messages_ += "; ";
        self->messages_ += message != nullptr ? message : "unknown GDAL error";
    }
    std::string messages_;
};

[[noreturn]] void WriteFailed(const std::string &path, const std::string &reason) {
    throw support::FileError("Cannot write file \"" + path + "\": " + reason);
}

struct DatasetCloser {
    GDALDataset *ds = nullptr;
    ~DatasetCloser() {
        if (ds != nullptr)
            GDALClose(ds);
    }
    // Closing flushes: failures show up in the trap.
    void Close() { GDALClose(std::exchange(ds, nullptr)); }
};

OGRSpatialReference Wgs84() {
    OGRSpatialReference srs;
    if (srs.importFromEPSG(4326) != OGRERR_NONE)
        srs.SetWellKnownGeogCS("WGS84");
    // Longitude first, whatever the EPSG axis order says.
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

GDALDriver *Driver(const std::string &path, const char *name) {
    GDALDriver *driver = GetGDALDriverManager()->GetDriverByName(name);
    if (driver == nullptr)
        WriteFailed(path, std::string("GDAL has no ") + name + " driver");
    return driver;
}

// ---------------------------------------------------------------------------------------
// Atomic replacement: GDAL writes into a hidden folder beside the target, under the target's
// own name (drivers take layer names and sidecar names from it); the files then move over
// the old ones by rename, and the folder goes away whatever happens.

std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class TempOutput {
  public:
    explicit TempOutput(std::string target)
        : target_(std::move(target)), dir_(FolderOf(target_)), name_(NameOf(target_)) {
        struct stat st {};
        if (name_.empty())
            WriteFailed(target_, "no file name");
        if (::stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            throw support::FileError("Cannot create file \"" + target_ + "\": it is a folder");
        std::string tmpl = dir_ + "/." + name_ + ".tmp-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr)
            throw support::FileError("Cannot create file \"" + target_ +
                                     "\": " + std::strerror(errno));
        folder_ = std::move(tmpl);
    }
    ~TempOutput() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    TempOutput(const TempOutput &) = delete;
    TempOutput &operator=(const TempOutput &) = delete;

    // Where the writer puts the target.
    std::string Inner() const { return folder_ + "/" + name_; }

    // Moves every file written next to the target, the target itself last; each replaced
    // file keeps its permissions. Then removes the given companions of the target (names in
    // its folder) that this write did not produce.
    void Commit(const std::vector<std::string> &companions = {}) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto &entry : std::filesystem::directory_iterator(folder_, ec))
            if (entry.path().filename() != name_)
                names.push_back(entry.path().filename().string());
        if (ec)
            WriteFailed(target_, ec.message());
        if (::access(Inner().c_str(), F_OK) != 0)
            WriteFailed(target_, "GDAL wrote no file");
        std::sort(names.begin(), names.end());
        names.push_back(name_);
        for (const std::string &name : names) {
            const std::string from = folder_ + "/" + name, to = dir_ + "/" + name;
            struct stat st {};
            if (::stat(to.c_str(), &st) == 0)
                ::chmod(from.c_str(), st.st_mode & 07777);
            if (::rename(from.c_str(), to.c_str()) != 0)
                throw support::FileError("Cannot replace file \"" + to +
                                         "\": " + std::strerror(errno));
        }
        for (const std::string &name : companions)
            if (std::find(names.begin(), names.end(), name) == names.end())
                ::unlink((dir_ + "/" + name).c_str());
    }

  private:
    std::string target_, dir_, name_, folder_;
};

// ---------------------------------------------------------------------------------------
// Checks

void CheckFrame(const mapview::TViewport &frame) {
    if (!(frame.BBox.Rm > 0) || !std::isfinite(frame.BBox.Rm) || frame.Width < 1 ||
        frame.Height < 1)
        throw std::invalid_argument("The view has no scale or no cells");
}

void CheckCovers(const mapview::TMaskArray &mask, std::int32_t width, std::int32_t height) {
    if (mask.array_width < width || mask.array_height < height)
        throw std::invalid_argument("The water mask does not cover the view");
}

void CheckSameSize(const TMatSingle &m, const mapview::TViewport &frame, const char *what) {
    if (m.Width() != frame.Width || m.Height() != frame.Height)
        throw std::invalid_argument(std::string("The ") + what + " (" + std::to_string(m.Width()) +
                                    " x " + std::to_string(m.Height()) +
                                    ") does not match the view (" + std::to_string(frame.Width) +
                                    " x " + std::to_string(frame.Height) + ")");
}

// ---------------------------------------------------------------------------------------
// Nearest sounding: a k-d tree over the soundings in metres, split at the median along the
// wider side of each node. The tree is implicit in the point order; axis_[mid] keeps the
// axis of the node split at mid.

struct PlanePoint {
    double x, y;
};

class KdTree {
  public:
    explicit KdTree(std::vector<PlanePoint> points) : p_(std::move(points)), axis_(p_.size(), 0) {
        Build(0, p_.size());
    }

    // The squared distance to the nearest point when it is below best2, else best2.
    double Nearest2(double qx, double qy, double best2) const {
        struct Item {
            std::size_t lo, hi;
            double min2;
        };
        // One pending sibling per level of a median-split tree: 64 levels hold 2^64 points.
        Item stack[64];
        int top = 0;
        stack[top++] = {0, p_.size(), 0.0};
        while (top > 0) {
            Item item = stack[--top];
            if (item.min2 >= best2)
                continue;
            std::size_t lo = item.lo, hi = item.hi;
            while (hi - lo > kLeaf) {
                const std::size_t mid = lo + (hi - lo) / 2;
                const PlanePoint &m = p_[mid];
                const double dx = qx - m.x, dy = qy - m.y;
                best2 = std::min(best2, dx * dx + dy * dy);
                const double d = axis_[mid] != 0 ? dy : dx;
                const bool left = d < 0;
                if (d * d < best2)
                    stack[top++] = left ? Item{mid + 1, hi, d * d} : Item{lo, mid, d * d};
                if (left)
                    hi = mid;
                else
                    lo = mid + 1;
            }
            for (std::size_t i = lo; i < hi; ++i) {
                const double dx = qx - p_[i].x, dy = qy - p_[i].y;
                best2 = std::min(best2, dx * dx + dy * dy);
            }
        }
        return best2;
    }

  private:
    static constexpr std::size_t kLeaf = 8;

    void Build(std::size_t lo, std::size_t hi) {
        while (hi - lo > kLeaf) {
            double x0 = p_[lo].x, x1 = x0, y0 = p_[lo].y, y1 = y0;
            for (std::size_t i = lo + 1; i < hi; ++i) {
                x0 = std::min(x0, p_[i].x), x1 = std::max(x1, p_[i].x);
                y0 = std::min(y0, p_[i].y), y1 = std::max(y1, p_[i].y);
            }
            const std::uint8_t axis = y1 - y0 > x1 - x0 ? 1 : 0;
            const std::size_t mid = lo + (hi - lo) / 2;
            std::nth_element(p_.begin() + static_cast<std::ptrdiff_t>(lo),
                             p_.begin() + static_cast<std::ptrdiff_t>(mid),
                             p_.begin() + static_cast<std::ptrdiff_t>(hi),
                             [axis](const PlanePoint &a, const PlanePoint &b) {
                                 return axis != 0 ? a.y < b.y : a.x < b.x;
                             });
            axis_[mid] = axis;
            Build(lo, mid);
            lo = mid + 1;
        }
    }

    std::vector<PlanePoint> p_;
    std::vector<std::uint8_t> axis_;
};

// ---------------------------------------------------------------------------------------
// Text

// Element text of the KML: the GPX writer's escaping serves.
std::string XmlEscaped(std::string_view s) {
    return formats::TGPXFile::XMLise(s);
}

// Nine decimals of a degree are about a millimetre.
std::string Degrees(double v) {
    return support::FloatToStrFixed(v, 9);
}

// The contour depth of a segment in centimetres.
double SegmentDepthCm(const model::TGPXtrk &track, const model::TGPXtrkseg &seg) {
    if (track.name == "Shoreline" || seg.Count() == 0)
        return 0;
    return seg.Get(0)->HBdepth;
}

} // namespace

// ---------------------------------------------------------------------------------------

TRasterBounds RasterBounds(const mapview::TViewport &frame) {
    CheckFrame(frame);
    TRasterBounds b;
    // The step of XToLo and YToLa from one cell to the next, taken from the scale rather than
    // as a difference of two positions, which would lose the last digits to cancellation.
    b.CellLon = static_cast<double>(1.0L / frame.BBox.Rm / mapview::TViewport::k);
    b.CellLat = -static_cast<double>(1.0L / frame.BBox.Rm);
    b.West = frame.XToLo(0) - b.CellLon / 2;
    b.North = frame.YToLa(0) - b.CellLat / 2;
    b.East = b.West + frame.Width * b.CellLon;
    b.South = b.North + frame.Height * b.CellLat;
    return b;
}

std::array<double, 6> GeoTransform(const mapview::TViewport &frame) {
    const TRasterBounds b = RasterBounds(frame);
    return {b.West, b.CellLon, 0.0, b.North, 0.0, b.CellLat};
}

TMatSingle SoundingDistance(const mapview::TViewport &frame, std::span<const TPointF> soundings) {
    CheckFrame(frame);
    const std::int32_t W = frame.Width, H = frame.Height;
    TMatSingle out(W, H);
    const double lon0 = frame.XToLo(0), lat0 = frame.YToLa(H / 2);
    const double mx = kMetresPerDegree * std::cos(lat0 * kPi / 180.0), my = kMetresPerDegree;

    std::vector<PlanePoint> points;
    points.reserve(soundings.size());
    for (const TPointF &s : soundings)
        if (std::isfinite(s.x) && std::isfinite(s.y))
            points.push_back({(s.x - lon0) * mx, (s.y - lat0) * my});
    if (points.empty()) {
        out.Fill(std::numeric_limits<float>::infinity());
        return out;
    }
    const KdTree tree(std::move(points));

    std::vector<double> cx(static_cast<std::size_t>(W));
    for (std::int32_t x = 0; x < W; ++x)
        cx[static_cast<std::size_t>(x)] = (frame.XToLo(x) - lon0) * mx;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    // A neighbour's distance plus the step between the two cells bounds this cell's
    // distance (triangle inequality), which prunes most of the tree.
    auto nearest = [&](double qx, double qy, double bound) {
        const double bound2 = bound * bound * (1 + 1e-9) + 1e-9;
        double d2 = tree.Nearest2(qx, qy, bound2);
        if (!(d2 < bound2))
            d2 = tree.Nearest2(qx, qy, kInf);
        return std::sqrt(d2);
    };
    double rowStart = kInf, prevY = 0;
    for (std::int32_t y = 0; y < H; ++y) {
        const double qy = (frame.YToLa(y) - lat0) * my;
        double d = nearest(cx[0], qy, rowStart + std::fabs(qy - prevY));
        rowStart = d;
        prevY = qy;
        out[0][y] = static_cast<float>(d);
        for (std::int32_t x = 1; x < W; ++x) {
            const std::size_t i = static_cast<std::size_t>(x);
            d = nearest(cx[i], qy, d + std::fabs(cx[i] - cx[i - 1]));
            out[x][y] = static_cast<float>(d);
        }
    }
    return out;
}

void WriteGridGeoTIFF(const std::string &path, const TMatSingle &grid,
                      const mapview::TMaskArray &mask, const mapview::TViewport &frame,
                      std::int32_t MaxDepth, const TMatSingle &distance) {
    CheckFrame(frame);
    CheckSameSize(grid, frame, "depth grid");
    CheckSameSize(distance, frame, "distance raster");
    CheckCovers(mask, frame.Width, frame.Height);
    const std::int32_t W = frame.Width, H = frame.Height;

    // Rows from the top, as GDAL wants them.
    const float noData = static_cast<float>(kGeoTIFFNoData);
    std::vector<float> depthBand(static_cast<std::size_t>(W) * static_cast<std::size_t>(H));
    std::vector<float> distanceBand(depthBand.size());
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(W) +
                                  static_cast<std::size_t>(x);
            const bool water = mask.Get(x, y);
            const float v = grid[x][y], d = distance[x][y];
            depthBand[i] = water && std::isfinite(v) && v != 0
                               ? static_cast<float>(static_cast<double>(v) * MaxDepth / 100.0)
                               : noData;
            distanceBand[i] = water && std::isfinite(d) ? d : noData;
        }

    EnsureGdal();
    GdalErrorTrap trap;
    GDALDriver *driver = Driver(path, "GTiff");
    TempOutput out(path);
    CPLStringList options;
    options.SetNameValue("COMPRESS", "DEFLATE");
    options.SetNameValue("PREDICTOR", "3"); // floating-point predictor
    DatasetCloser ds{driver->Create(out.Inner().c_str(), W, H, 2, GDT_Float32, options.List())};
    if (ds.ds == nullptr)
        WriteFailed(path, trap.Text());
    std::array<double, 6> gt = GeoTransform(frame);
    const OGRSpatialReference srs = Wgs84();
    ds.ds->SetGeoTransform(gt.data());
    ds.ds->SetSpatialRef(&srs);
    struct Band {
        std::vector<float> *data;
        const char *description;
    };
    const Band bands[2] = {{&depthBand, "Depth (m, positive down)"},
                           {&distanceBand, "Distance to the nearest sounding (m)"}};
    for (int b = 0; b < 2; ++b) {
        GDALRasterBand *band = ds.ds->GetRasterBand(b + 1);
        band->SetDescription(bands[b].description);
        band->SetNoDataValue(kGeoTIFFNoData);
        band->SetUnitType("m");
        if (band->RasterIO(GF_Write, 0, 0, W, H, bands[b].data->data(), W, H, GDT_Float32, 0, 0,
                           nullptr) != CE_None)
            WriteFailed(path, trap.Text());
    }
    ds.Close();
    if (trap.Failed())
        WriteFailed(path, trap.Text());
    out.Commit();
}

void WriteGridGeoTIFF(const std::string &path, const TMatSingle &grid,
                      const mapview::TMaskArray &mask, const mapview::TViewport &frame,
                      std::int32_t MaxDepth, std::span<const TPointF> soundings) {
    CheckFrame(frame);
    CheckSameSize(grid, frame, "depth grid");
    WriteGridGeoTIFF(path, grid, mask, frame, MaxDepth, SoundingDistance(frame, soundings));
}

std::optional<TVectorFormat> VectorFormatOf(const std::string &path) {
    const std::string ext = support::LowerExtension(path);
    if (ext == ".gpkg")
        return TVectorFormat::GeoPackage;
    if (ext == ".shp")
        return TVectorFormat::Shapefile;
    if (ext == ".kml")
        return TVectorFormat::KML;
    if (ext == ".geojson")
        return TVectorFormat::GeoJSON;
    return std::nullopt;
}

void WriteContours(const std::string &path, const model::TGPX &IsoData, TDepthUnit unit) {
    const std::optional<TVectorFormat> format = VectorFormatOf(path);
    if (!format)
        throw support::FileError("File extension not supported: " + path +
                                 " (contours are written as .gpkg, .shp, .kml or .geojson)");
    const char *driverName = *format == TVectorFormat::GeoPackage  ? "GPKG"
                             : *format == TVectorFormat::Shapefile ? "ESRI Shapefile"
                             : *format == TVectorFormat::KML       ? "KML"
                                                                   : "GeoJSON";
    CPLStringList datasetOptions, layerOptions;
    if (*format == TVectorFormat::KML)
        datasetOptions.SetNameValue("NameField", "name");
    if (*format == TVectorFormat::Shapefile)
        layerOptions.SetNameValue("ENCODING", "UTF-8");

    EnsureGdal();
    GdalErrorTrap trap;
    GDALDriver *driver = Driver(path, driverName);
    TempOutput out(path);
    DatasetCloser ds{
        driver->Create(out.Inner().c_str(), 0, 0, 0, GDT_Unknown, datasetOptions.List())};
    if (ds.ds == nullptr)
        WriteFailed(path, trap.Text());
    OGRSpatialReference srs = Wgs84();
    OGRLayer *layer = ds.ds->CreateLayer("contours", &srs, wkbLineString, layerOptions.List());
    if (layer == nullptr)
        WriteFailed(path, trap.Text());
    OGRFieldDefn depthCm("depth_cm", OFTReal), depthField("depth", OFTReal),
        nameField("name", OFTString);
    nameField.SetWidth(254);
    for (OGRFieldDefn *field : {&depthCm, &depthField, &nameField})
        if (layer->CreateField(field) != OGRERR_NONE)
            WriteFailed(path, trap.Text());

    // One transaction: a GeoPackage otherwise commits every feature on its own.
    const bool transaction =
        ds.ds->TestCapability(ODsCTransactions) && ds.ds->StartTransaction() == OGRERR_NONE;
    GIntBig features = 0;
    for (const auto &track : IsoData.trk.Items())
        for (const auto &seg : track->Items()) {
            if (seg->Count() < 2)
                continue;
            OGRFeature feature(layer->GetLayerDefn());
            const double cm = SegmentDepthCm(*track, *seg);
            feature.SetField("depth_cm", cm);
            feature.SetField("depth", CmToUnit(cm, unit));
            feature.SetField("name", track->name.c_str());
            OGRLineString line;
            line.setNumPoints(seg->Count(), FALSE);
            for (int i = 0; i < seg->Count(); ++i)
                line.setPoint(i, seg->Get(i)->Longitude, seg->Get(i)->Latitude);
            feature.SetGeometry(&line);
            if (layer->CreateFeature(&feature) != OGRERR_NONE)
                WriteFailed(path, trap.Text());
            ++features;
        }
    if (transaction && ds.ds->CommitTransaction() != OGRERR_NONE)
        WriteFailed(path, trap.Text());
    ds.Close();
    if (trap.Failed())
        WriteFailed(path, trap.Text());
    // The KML and GeoJSON drivers write through a stream whose failures (a full disk) they
    // do not report, so a cut file would pass for a whole one: reading it back tells.
    if (*format == TVectorFormat::KML || *format == TVectorFormat::GeoJSON) {
        const char *const readers[] = {"KML", "LIBKML", "GeoJSON", nullptr};
        GIntBig found = -1;
        {
            GdalErrorTrap parse; // a cut file's parse errors are not the reason to give
            DatasetCloser back{GDALDataset::FromHandle(GDALOpenEx(out.Inner().c_str(),
                                                                  GDAL_OF_VECTOR | GDAL_OF_READONLY,
                                                                  readers, nullptr, nullptr))};
            if (back.ds != nullptr) {
                found = 0;
                for (OGRLayer *l : back.ds->GetLayers())
                    found += l->GetFeatureCount();
            }
        }
        if (found != features)
            WriteFailed(path, "the file was cut short (is the disk full?)");
    }

    std::vector<std::string> companions;
    if (*format == TVectorFormat::Shapefile) {
        // Sidecars spelt in the case of the .shp's extension, as the driver names them.
        const std::string name = NameOf(path);
        const std::string stem = name.substr(0, name.size() - 4);
        const bool upper = name.substr(name.size() - 3) == "SHP";
        for (const char *ext : {".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx"}) {
            std::string e = ext;
            if (upper)
                for (char &c : e)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            companions.push_back(stem + e);
        }
    }
    out.Commit(companions);
}

std::string KMZDocument(const mapview::TViewport &frame, const model::TGPX &IsoData,
                        const std::string &imageHref, const std::string &title) {
    const TRasterBounds b = RasterBounds(frame);
    std::string kml;
    kml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n";
    kml += "<name>" + XmlEscaped(title) + "</name>\n";
    kml += "<Style id=\"contour\"><LineStyle><color>ff000000</color><width>1</width>"
           "</LineStyle></Style>\n"
           "<Style id=\"shoreline\"><LineStyle><color>ff00ff00</color><width>2</width>"
           "</LineStyle></Style>\n";
    kml += "<GroundOverlay>\n<name>Depth chart</name>\n<Icon><href>" + XmlEscaped(imageHref) +
           "</href></Icon>\n<LatLonBox><north>" + Degrees(b.North) + "</north><south>" +
           Degrees(b.South) + "</south><east>" + Degrees(b.East) + "</east><west>" +
           Degrees(b.West) + "</west></LatLonBox>\n</GroundOverlay>\n";
    kml += "<Folder>\n<name>Contours</name>\n";
    for (const auto &track : IsoData.trk.Items()) {
        std::vector<const model::TGPXtrkseg *> segs;
        for (const auto &seg : track->Items())
            if (seg->Count() >= 2)
                segs.push_back(seg.get());
        if (segs.empty())
            continue;
        kml += "<Placemark><name>" + XmlEscaped(track->name) + "</name><styleUrl>#" +
               (track->name == "Shoreline" ? "shoreline" : "contour") + "</styleUrl>";
        if (segs.size() > 1)
            kml += "<MultiGeometry>";
        for (const model::TGPXtrkseg *seg : segs) {
            kml += "<LineString><coordinates>";
            for (int i = 0; i < seg->Count(); ++i) {
                if (i > 0)
                    kml += ' ';
                kml += Degrees(seg->Get(i)->Longitude) + "," + Degrees(seg->Get(i)->Latitude);
            }
            kml += "</coordinates></LineString>";
        }
        if (segs.size() > 1)
            kml += "</MultiGeometry>";
        kml += "</Placemark>\n";
    }
    kml += "</Folder>\n</Document>\n</kml>\n";
    return kml;
}

void WriteKMZ(const std::string &path, const QImage &chartImage, const mapview::TMaskArray &mask,
              const mapview::TViewport &frame, const model::TGPX &IsoData) {
    CheckFrame(frame);
    if (chartImage.width() != frame.Width || chartImage.height() != frame.Height)
        throw std::invalid_argument("The chart image does not match the view");
    CheckCovers(mask, frame.Width, frame.Height);

    QImage image = chartImage.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (row[x] == 0xFF000000u && !mask.Get(x, y))
                row[x] = 0;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        WriteFailed(path, "the chart could not be encoded as PNG");
    const std::string name = NameOf(path);
    const std::string kml =
        KMZDocument(frame, IsoData, "files/chart.png", name.substr(0, name.rfind('.')));

    EnsureGdal();
    GdalErrorTrap trap;
    TempOutput out(path);
    void *zip = CPLCreateZip(out.Inner().c_str(), nullptr);
    if (zip == nullptr)
        WriteFailed(path, trap.Text());
    bool ok = true;
    auto add = [&](const char *entry, const char *data, std::size_t size) {
        if (!ok || CPLCreateFileInZip(zip, entry, nullptr) != CE_None) {
            ok = false;
            return;
        }
        for (std::size_t done = 0; ok && done < size;) {
            const int chunk = static_cast<int>(std::min<std::size_t>(size - done, 1 << 20));
            ok = CPLWriteFileInZip(zip, data + done, chunk) == CE_None;
            done += static_cast<std::size_t>(chunk);
        }
        ok = CPLCloseFileInZip(zip) == CE_None && ok;
    };
    add("doc.kml", kml.data(), kml.size()); // first: readers take the first .kml entry
    add("files/chart.png", png.constData(), static_cast<std::size_t>(png.size()));
    ok = CPLCloseZip(zip) == CE_None && ok;
    if (!ok || trap.Failed())
        WriteFailed(path, trap.Text());
    out.Commit();
}

mapview::TMaskArray UncoveredCells(const TMatSingle &distance, const mapview::TMaskArray &mask,
                                   double maxMetres) {
    const std::int32_t W = distance.Width(), H = distance.Height();
    CheckCovers(mask, W, H);
    mapview::TMaskArray out(W, H);
    for (std::int32_t x = 0; x < W; ++x)
        for (std::int32_t y = 0; y < H; ++y)
            out.MaskArray[x][y] = mask.Get(x, y) && !(distance[x][y] <= maxMetres) ? 1 : 0;
    return out;
}

void DrawUncoveredCells(QImage &chart, const mapview::TMaskArray &uncovered, TCoverageStyle style) {
    if (chart.format() != QImage::Format_ARGB32 && chart.format() != QImage::Format_RGB32)
        chart = chart.convertToFormat(QImage::Format_ARGB32);
    const int w = std::min(chart.width(), uncovered.array_width);
    const int h = std::min(chart.height(), uncovered.array_height);
    constexpr int kHatchSpacing = 6;
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(chart.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (!uncovered.Get(x, y))
                continue;
            QRgb &p = row[x];
            if (style == TCoverageStyle::Hatched) {
                if ((x + y) % kHatchSpacing == 0)
                    p = 0xFF404040u;
            } else {
                auto half = [](unsigned c) { return (c + 256u) / 2u; };
                p = qRgba(static_cast<int>(half(qRed(p))), static_cast<int>(half(qGreen(p))),
                          static_cast<int>(half(qBlue(p))), qAlpha(p));
            }
        }
    }
}

} // namespace depth
