#include "depth/GisExport.h"

#include "TestUtil.h"
#include "support/AtomicFile.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace depth;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A small lake: an ellipse of water in a 40 x 30 view, depths rising towards the middle,
// a few water cells never computed (0) or not a number. One cell is about 85 x 111 m.
struct Lake {
    static constexpr std::int32_t W = 40, H = 30, MaxDepth = 1234;
    mapview::TViewport frame;
    TMatSingle grid{W, H};
    mapview::TMaskArray mask{W, H};
    std::vector<TPointF> soundings;
    model::TGPX iso;

    Lake() {
        frame.Width = W;
        frame.Height = H;
        frame.BBox.O = 10.0;
        frame.BBox.S = 50.0;
        frame.BBox.Rm = 1000.0;
        for (std::int32_t x = 0; x < W; ++x)
            for (std::int32_t y = 0; y < H; ++y) {
                const double u = (x - 19.5) / 18.0, v = (y - 14.5) / 12.0;
                const bool water = u * u + v * v < 1;
                mask.MaskArray[x][y] = water;
                grid[x][y] = water ? static_cast<float>(1 - (u * u + v * v)) : 0.0f;
            }
        grid[20][15] = 0.0f; // never computed
        grid[21][15] = kNaN;
        for (std::int32_t i = 0; i < 5; ++i)
            soundings.push_back({static_cast<float>(frame.XToLo(10 + 5 * i)),
                                 static_cast<float>(frame.YToLa(10 + i))});
        AddTrack("Shoreline", 0, {{{1, 14}, {5, 5}, {20, 2}, {34, 5}, {38, 14}}});
        AddTrack("ISO 100 cm", 100, {{{5, 10}, {10, 5}, {20, 4}}, {{30, 20}, {35, 15}}});
        AddTrack("ISO 200 cm", 200, {{{10, 10}, {15, 8}, {25, 8}, {30, 10}}, {{12, 12}}});
    }

    void AddTrack(const std::string &name, double cm,
                  const std::vector<std::vector<std::pair<int, int>>> &segments) {
        auto track = std::make_unique<model::TGPXtrk>();
        track->name = name;
        for (const auto &points : segments) {
            auto seg = std::make_unique<model::TGPXtrkseg>();
            for (auto [x, y] : points) {
                auto p = std::make_unique<model::TGPXwpt>();
                p->Longitude = frame.XToLo(x);
                p->Latitude = frame.YToLa(y);
                p->HBdepth = cm;
                seg->Add(std::move(p));
            }
            track->Add(std::move(seg));
        }
        iso.trk.Add(std::move(track));
    }

    QImage Chart() const {
        QImage img(W, H, QImage::Format_ARGB32);
        for (std::int32_t y = 0; y < H; ++y)
            for (std::int32_t x = 0; x < W; ++x)
                img.setPixel(x, y, mask.Get(x, y) ? 0xFF0000FFu : 0xFF000000u);
        img.setPixel(0, 0, 0xFF00FF00u); // shoreline ink on land stays
        return img;
    }
};

// Great-circle metres (haversine, sphere of the WGS84 semi-major axis) to the nearest of the
// soundings.
double NearestMetres(const std::vector<TPointF> &soundings, double lon, double lat) {
    constexpr double rad = 3.14159265358979323846 / 180.0;
    double best = std::numeric_limits<double>::infinity();
    for (const TPointF &s : soundings) {
        if (!std::isfinite(s.x) || !std::isfinite(s.y))
            continue;
        const double a = std::pow(std::sin((s.y - lat) * rad / 2), 2) +
                         std::cos(lat * rad) * std::cos(s.y * rad) *
                             std::pow(std::sin((s.x - lon) * rad / 2), 2);
        best = std::min(best, 2 * 6378137.0 * std::asin(std::sqrt(a)));
    }
    return best;
}

struct Dataset {
    GDALDatasetH h;
    explicit Dataset(const std::string &path, unsigned flags)
        : h(GDALOpenEx(path.c_str(), flags | GDAL_OF_READONLY, nullptr, nullptr, nullptr)) {}
    ~Dataset() {
        if (h != nullptr)
            GDALClose(h);
    }
};

std::string ReadVsi(const std::string &path) {
    VSILFILE *f = VSIFOpenL(path.c_str(), "rb");
    if (f == nullptr)
        return {};
    std::string data;
    char buf[4096];
    for (std::size_t n; (n = VSIFReadL(buf, 1, sizeof buf, f)) > 0;)
        data.append(buf, n);
    VSIFCloseL(f);
    return data;
}

double Tag(const std::string &kml, const std::string &tag) {
    const std::size_t at = kml.find("<" + tag + ">");
    if (at == std::string::npos)
        return std::numeric_limits<double>::quiet_NaN();
    return std::stod(kml.substr(at + tag.size() + 2));
}

std::set<std::string> Entries(const std::filesystem::path &folder) {
    std::set<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

} // namespace

TEST(GisExport, GeoTIFFHoldsTheGridOnTheViewsCells) {
    Lake lake;
    testutil::TempDir dir;
    const std::string path = dir.Path("lake.tif");
    WriteGridGeoTIFF(path, lake.grid, lake.mask, lake.frame, Lake::MaxDepth, lake.soundings);

    GDALAllRegister();
    Dataset ds(path, GDAL_OF_RASTER);
    ASSERT_NE(ds.h, nullptr);
    ASSERT_EQ(GDALGetRasterXSize(ds.h), Lake::W);
    ASSERT_EQ(GDALGetRasterYSize(ds.h), Lake::H);
    ASSERT_EQ(GDALGetRasterCount(ds.h), 2);
    OGRSpatialReferenceH srs = GDALGetSpatialRef(ds.h);
    ASSERT_NE(srs, nullptr);
    EXPECT_STREQ(OSRGetAuthorityCode(srs, nullptr), "4326");

    // Pixel centres fall on the cells' positions.
    double gt[6];
    ASSERT_EQ(GDALGetGeoTransform(ds.h, gt), CE_None);
    EXPECT_EQ(gt[2], 0.0);
    EXPECT_EQ(gt[4], 0.0);
    for (int x : {0, 1, 17, Lake::W - 1})
        EXPECT_NEAR(gt[0] + (x + 0.5) * gt[1], lake.frame.XToLo(x), 1e-9) << x;
    for (int y : {0, 1, 13, Lake::H - 1})
        EXPECT_NEAR(gt[3] + (y + 0.5) * gt[5], lake.frame.YToLa(y), 1e-9) << y;

    std::vector<float> depth(Lake::W * Lake::H), distance(depth.size());
    GDALRasterBandH b1 = GDALGetRasterBand(ds.h, 1), b2 = GDALGetRasterBand(ds.h, 2);
    ASSERT_EQ(GDALRasterIO(b1, GF_Read, 0, 0, Lake::W, Lake::H, depth.data(), Lake::W, Lake::H,
                           GDT_Float32, 0, 0),
              CE_None);
    ASSERT_EQ(GDALRasterIO(b2, GF_Read, 0, 0, Lake::W, Lake::H, distance.data(), Lake::W, Lake::H,
                           GDT_Float32, 0, 0),
              CE_None);
    int hasNoData = 0;
    EXPECT_EQ(GDALGetRasterNoDataValue(b1, &hasNoData), kGeoTIFFNoData);
    EXPECT_TRUE(hasNoData);
    EXPECT_EQ(GDALGetRasterNoDataValue(b2, &hasNoData), kGeoTIFFNoData);
    EXPECT_TRUE(hasNoData);

    const float noData = static_cast<float>(kGeoTIFFNoData);
    int water = 0;
    for (int y = 0; y < Lake::H; ++y)
        for (int x = 0; x < Lake::W; ++x) {
            const float d = depth[y * Lake::W + x], m = distance[y * Lake::W + x];
            const float v = lake.grid[x][y];
            if (!lake.mask.Get(x, y)) {
                ASSERT_EQ(d, noData) << x << "," << y;
                ASSERT_EQ(m, noData) << x << "," << y;
                continue;
            }
            ++water;
            if (v == 0 || std::isnan(v))
                ASSERT_EQ(d, noData) << x << "," << y;
            else
                ASSERT_FLOAT_EQ(d, v * Lake::MaxDepth / 100.0f) << x << "," << y;
            const double expected =
                NearestMetres(lake.soundings, lake.frame.XToLo(x), lake.frame.YToLa(y));
            ASSERT_NEAR(m, expected, expected * 1e-3 + 0.01) << x << "," << y;
        }
    EXPECT_GT(water, 600);
    // The deepest cell: 12.34 m times its relative depth.
    EXPECT_NEAR(depth[14 * Lake::W + 19], lake.grid[19][14] * 12.34f, 1e-5);
    EXPECT_LT(distance[10 * Lake::W + 10], 0.1f); // a sounding on the cell's centre (as a float)
}

TEST(GisExport, SoundingDistanceFindsTheNearestOfMany) {
    mapview::TViewport frame;
    frame.Width = 60;
    frame.Height = 50;
    frame.BBox.O = -70.0;
    frame.BBox.S = 44.0;
    frame.BBox.Rm = 2000.0;
    // Survey-like: soundings along a few tracks, with repeats, outliers and broken entries.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<TPointF> soundings;
    for (int track = 0; track < 6; ++track) {
        double lon = frame.XToLo(0) + u(rng) * 0.03, lat = frame.YToLa(0) - u(rng) * 0.02;
        const double dlon = (u(rng) - 0.5) * 2e-4, dlat = (u(rng) - 0.5) * 2e-4;
        for (int i = 0; i < 300; ++i, lon += dlon, lat += dlat) {
            soundings.push_back({static_cast<float>(lon), static_cast<float>(lat)});
            if (i % 50 == 0)
                soundings.push_back(soundings.back());
        }
    }
    soundings.push_back({-69.0f, 45.0f}); // far outside the view
    soundings.push_back({kNaN, 44.01f});

    const TMatSingle d = SoundingDistance(frame, soundings);
    ASSERT_EQ(d.Width(), 60);
    ASSERT_EQ(d.Height(), 50);
    for (int x = 0; x < 60; ++x)
        for (int y = 0; y < 50; ++y) {
            const double expected = NearestMetres(soundings, frame.XToLo(x), frame.YToLa(y));
            ASSERT_NEAR(d[x][y], expected, expected * 1e-3 + 0.01) << x << "," << y;
        }

    const TMatSingle none = SoundingDistance(frame, std::vector<TPointF>{{kNaN, kNaN}});
    EXPECT_TRUE(std::isinf(none[0][0]) && std::isinf(none[59][49]));
    mapview::TViewport noScale = frame;
    noScale.BBox.Rm = 0;
    EXPECT_THROW(SoundingDistance(noScale, soundings), std::invalid_argument);
}

TEST(GisExport, ContoursReadBackInEveryFormat) {
    struct Case {
        const char *name;
        TDepthUnit unit;
    };
    const Case cases[] = {{"c.gpkg", TDepthUnit::Metres},
                          {"c.shp", TDepthUnit::Feet},
                          {"c.kml", TDepthUnit::Metres},
                          {"c.geojson", TDepthUnit::Feet},
                          {"UPPER.GeoJSON", TDepthUnit::Metres}};
    Lake lake;
    lake.AddTrack("ISO 10 ft", FeetToCm(10), {{{8, 20}, {9, 21}}});
    struct Expected {
        std::string name;
        double cm;
        int points;
        int x0, y0;
    };
    const std::vector<Expected> expected = {{"Shoreline", 0, 5, 1, 14},
                                            {"ISO 100 cm", 100, 3, 5, 10},
                                            {"ISO 100 cm", 100, 2, 30, 20},
                                            {"ISO 200 cm", 200, 4, 10, 10},
                                            {"ISO 10 ft", FeetToCm(10), 2, 8, 20}};
    GDALAllRegister();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        const std::string path = dir.Path(c.name);
        WriteContours(path, lake.iso, c.unit);
        Dataset ds(path, GDAL_OF_VECTOR);
        ASSERT_NE(ds.h, nullptr);
        ASSERT_EQ(GDALDatasetGetLayerCount(ds.h), 1);
        OGRLayerH layer = GDALDatasetGetLayer(ds.h, 0);
        OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer);
        ASSERT_NE(srs, nullptr);
        OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(wgs84, 4326);
        EXPECT_TRUE(OSRIsSameGeogCS(srs, wgs84));
        OSRDestroySpatialReference(wgs84);
        ASSERT_EQ(OGR_L_GetFeatureCount(layer, TRUE), static_cast<GIntBig>(expected.size()));
        OGR_L_ResetReading(layer);
        for (const Expected &e : expected) {
            OGRFeatureH f = OGR_L_GetNextFeature(layer);
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(OGR_F_GetFieldAsString(f, OGR_F_GetFieldIndex(f, "name")), e.name);
            EXPECT_DOUBLE_EQ(OGR_F_GetFieldAsDouble(f, OGR_F_GetFieldIndex(f, "depth_cm")), e.cm);
            EXPECT_DOUBLE_EQ(OGR_F_GetFieldAsDouble(f, OGR_F_GetFieldIndex(f, "depth")),
                             CmToUnit(e.cm, c.unit));
            OGRGeometryH g = OGR_F_GetGeometryRef(f);
            ASSERT_NE(g, nullptr);
            EXPECT_EQ(wkbFlatten(OGR_G_GetGeometryType(g)), wkbLineString);
            ASSERT_EQ(OGR_G_GetPointCount(g), e.points);
            EXPECT_NEAR(OGR_G_GetX(g, 0), lake.frame.XToLo(e.x0), 1e-9);
            EXPECT_NEAR(OGR_G_GetY(g, 0), lake.frame.YToLa(e.y0), 1e-9);
            OGR_F_Destroy(f);
        }
        // The feet level comes back as exactly 10 ft.
        if (c.unit == TDepthUnit::Feet) {
            OGR_L_SetAttributeFilter(layer, "name = 'ISO 10 ft'");
            OGRFeatureH f = OGR_L_GetNextFeature(layer);
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(OGR_F_GetFieldAsDouble(f, OGR_F_GetFieldIndex(f, "depth")), 10.0);
            OGR_F_Destroy(f);
        }
    }
}

TEST(GisExport, UnsupportedExtensionsWriteNothing) {
    Lake lake;
    testutil::TempDir dir;
    for (const char *name : {"c.txt", "c.kmz", "c", "c.shp.bak", "gpkg"}) {
        try {
            WriteContours(dir.Path(name), lake.iso, TDepthUnit::Metres);
            ADD_FAILURE() << name << " was written";
        } catch (const support::FileError &e) {
            EXPECT_NE(std::string(e.what()).find("File extension not supported: " + dir.Path(name)),
                      std::string::npos)
                << e.what();
        }
    }
    EXPECT_EQ(dir.Entries(), 0u);
    EXPECT_EQ(VectorFormatOf("a/b.GPKG"), TVectorFormat::GeoPackage);
    EXPECT_EQ(VectorFormatOf("x.Shp"), TVectorFormat::Shapefile);
    EXPECT_EQ(VectorFormatOf("x.kml"), TVectorFormat::KML);
    EXPECT_EQ(VectorFormatOf("dir.geojson/x"), std::nullopt);
}

TEST(GisExport, KMZOverlayCoversTheViewsPixels) {
    Lake lake;
    testutil::TempDir dir;
    const std::string path = dir.Path("lake.kmz");
    WriteKMZ(path, lake.Chart(), lake.mask, lake.frame, lake.iso);

    // doc.kml is the first entry of the archive.
    const std::string bytes = testutil::ReadBytes(path);
    ASSERT_GT(bytes.size(), 37u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_EQ(bytes.substr(30, 7), "doc.kml");

    GDALAllRegister();
    const std::string kml = ReadVsi("/vsizip/" + path + "/doc.kml");
    ASSERT_FALSE(kml.empty());
    // The box is the outer edges of the view's pixels: half a cell beyond the centres of
    // the outer cells.
    const double halfLon = (lake.frame.XToLo(1) - lake.frame.XToLo(0)) / 2;
    const double halfLat = (lake.frame.YToLa(0) - lake.frame.YToLa(1)) / 2;
    EXPECT_NEAR(Tag(kml, "west"), lake.frame.XToLo(0) - halfLon, 1e-9);
    EXPECT_NEAR(Tag(kml, "east"), lake.frame.XToLo(Lake::W - 1) + halfLon, 1e-9);
    EXPECT_NEAR(Tag(kml, "north"), lake.frame.YToLa(0) + halfLat, 1e-9);
    EXPECT_NEAR(Tag(kml, "south"), lake.frame.YToLa(Lake::H - 1) - halfLat, 1e-9);
    EXPECT_NE(kml.find("<href>files/chart.png</href>"), std::string::npos);
    // One LineString per segment of two points or more, the shoreline among them.
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = kml.find("<LineString>", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_EQ(lines, 4u);
    EXPECT_NE(kml.find("<name>Shoreline</name>"), std::string::npos);
    EXPECT_NE(kml.find("<name>ISO 200 cm</name>"), std::string::npos);

    const std::string png = ReadVsi("/vsizip/" + path + "/files/chart.png");
    const QImage image =
        QImage::fromData(reinterpret_cast<const uchar *>(png.data()), static_cast<int>(png.size()))
            .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), QSize(Lake::W, Lake::H));
    EXPECT_EQ(image.pixel(1, 29), 0x00000000u);  // black land: transparent
    EXPECT_EQ(image.pixel(0, 0), 0xFF00FF00u);   // shoreline ink on land: kept
    EXPECT_EQ(image.pixel(20, 15), 0xFF0000FFu); // water: as drawn

    QImage wrongSize(Lake::W + 1, Lake::H, QImage::Format_ARGB32);
    EXPECT_THROW(WriteKMZ(dir.Path("x.kmz"), wrongSize, lake.mask, lake.frame, lake.iso),
                 std::invalid_argument);
}

TEST(GisExport, CoverageMarksAndDrawsFarCells) {
    Lake lake;
    const TMatSingle distance = SoundingDistance(lake.frame, lake.soundings);
    const double limit = 500;
    const mapview::TMaskArray far = UncoveredCells(distance, lake.mask, limit);
    int marked = 0;
    for (int x = 0; x < Lake::W; ++x)
        for (int y = 0; y < Lake::H; ++y) {
            ASSERT_EQ(far.Get(x, y), lake.mask.Get(x, y) && distance[x][y] > limit)
                << x << "," << y;
            marked += far.Get(x, y);
        }
    EXPECT_GT(marked, 100);

    for (TCoverageStyle style : {TCoverageStyle::Hatched, TCoverageStyle::Faded}) {
        QImage chart = lake.Chart();
        const QImage before = chart;
        DrawUncoveredCells(chart, far, style);
        int changed = 0;
        for (int y = 0; y < Lake::H; ++y)
            for (int x = 0; x < Lake::W; ++x)
                if (chart.pixel(x, y) != before.pixel(x, y)) {
                    ASSERT_TRUE(far.Get(x, y)) << x << "," << y;
                    ++changed;
                }
        if (style == TCoverageStyle::Faded)
            EXPECT_EQ(changed, marked);
        else
            EXPECT_GT(changed, marked / 8);
    }
}

// Every writer replaces its file whole, and leaves the old one and nothing else when it
// cannot write.
TEST(GisExport, WritersReplaceAtomicallyAndFailCleanly) {
    Lake lake;
    struct Writer {
        const char *name;
        std::function<void(const std::string &)> write;
    };
    const std::vector<Writer> writers = {
        {"g.tif",
         [&](const std::string &p) {
             WriteGridGeoTIFF(p, lake.grid, lake.mask, lake.frame, Lake::MaxDepth, lake.soundings);
         }},
        {"c.gpkg", [&](const std::string &p) { WriteContours(p, lake.iso, TDepthUnit::Metres); }},
        {"c.shp", [&](const std::string &p) { WriteContours(p, lake.iso, TDepthUnit::Metres); }},
        {"c.kml", [&](const std::string &p) { WriteContours(p, lake.iso, TDepthUnit::Metres); }},
        {"c.geojson",
         [&](const std::string &p) { WriteContours(p, lake.iso, TDepthUnit::Metres); }},
        {"o.kmz",
         [&](const std::string &p) { WriteKMZ(p, lake.Chart(), lake.mask, lake.frame, lake.iso); }},
    };
    GDALAllRegister();
    for (const Writer &w : writers) {
        SCOPED_TRACE(w.name);
        {
            // Replaced: the old bytes are gone, nothing else is left beside it.
            testutil::TempDir dir;
            const std::string path = dir.File(w.name, "old");
            dir.File("keep.txt", "mine");
            w.write(path);
            EXPECT_NE(testutil::ReadBytes(path), "old");
            std::set<std::string> names = Entries(dir.path);
            EXPECT_EQ(names.count("keep.txt"), 1u);
            for (const std::string &n : names)
                EXPECT_EQ(n.front() == '.', false) << n;
            Dataset ds(path, GDAL_OF_RASTER | GDAL_OF_VECTOR);
            if (std::string(w.name) != "o.kmz") {
                EXPECT_NE(ds.h, nullptr);
            }
        }
        {
            // An unwritable folder: the old file stays, nothing is added.
            testutil::TempDir dir;
            const std::string path = dir.File(w.name, "old");
            const std::set<std::string> before = Entries(dir.path);
            testutil::UnwritableFolder guard(dir.path);
            if (!guard.Binds())
                GTEST_SKIP() << "permissions do not bind here";
            try {
                w.write(path);
                ADD_FAILURE() << "no error";
            } catch (const support::FileError &e) {
                EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            }
            EXPECT_EQ(testutil::ReadBytes(path), "old");
            EXPECT_EQ(Entries(dir.path), before);
        }
        {
            // A folder in the way, or no folder at all.
            testutil::TempDir dir;
            std::filesystem::create_directory(dir.Path(w.name));
            EXPECT_THROW(w.write(dir.Path(w.name)), support::FileError);
            EXPECT_THROW(w.write(dir.Path("missing/") + w.name), support::FileError);
            EXPECT_EQ(Entries(dir.path), std::set<std::string>{w.name});
        }
        {
            // A full disk: writes past a few bytes fail. Some drivers do not say so; the
            // writer must notice all the same, rather than put a cut file in place.
            testutil::TempDir dir;
            const std::string path = dir.File(w.name, "old");
            const std::set<std::string> before = Entries(dir.path);
            try {
                testutil::FileSizeLimit full(64);
                w.write(path);
                ADD_FAILURE() << "no error";
            } catch (const support::FileError &e) {
                EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            }
            EXPECT_EQ(testutil::ReadBytes(path), "old");
            EXPECT_EQ(Entries(dir.path), before);
        }
    }
}

TEST(GisExport, ShapefileSetIsReplacedWhole) {
    Lake lake;
    testutil::TempDir dir;
    const std::string path = dir.Path("c.shp");
    // An older set with a spatial index this write does not make, and a file of the user's.
    for (const char *name : {"c.shp", "c.shx", "c.dbf", "c.qix", "c.txt"})
        dir.File(name, "old");
    WriteContours(path, lake.iso, TDepthUnit::Metres);
    EXPECT_EQ(Entries(dir.path),
              (std::set<std::string>{"c.shp", "c.shx", "c.dbf", "c.prj", "c.cpg", "c.txt"}));
    EXPECT_EQ(testutil::ReadBytes(dir.Path("c.txt")), "old");
    EXPECT_NE(testutil::ReadBytes(dir.Path("c.dbf")), "old");
}
