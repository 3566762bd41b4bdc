// The chart where GIS programs can use it: the depth grid as a GeoTIFF, the contours as
// GeoPackage, shapefile, KML or GeoJSON, the chart image as a KMZ overlay, and how far each
// cell lies from the nearest sounding (coverage). All files go through GDAL, in EPSG:4326
// (WGS84 longitude and latitude), and replace their target atomically.
//
// Pixel geometry: cell (x, y) of the view is a pixel whose CENTRE is at (XToLo(x), YToLa(y)).
// A raster or an overlay therefore reaches half a cell beyond the centres of its outer cells;
// its edges are the ones RasterBounds gives.
#pragma once

#include "depth/Grid.h"
#include "depth/ShepardInterp.h"
#include "depth/Units.h"
#include "mapview/MaskArray.h"
#include "mapview/Viewport.h"
#include "model/GPX.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace depth {

// Every writer throws support::FileError naming the file: for a folder it cannot write
// into, a file in the way, or a failure inside GDAL (with GDAL's own text). The old file is
// then untouched and no temporary file is left. Inputs that do not fit together (a grid,
// mask or image of another size than the frame, a frame without scale) throw
// std::invalid_argument before anything is written.

// The outer edges of the frame's Width x Height cells in degrees, and the size of one cell
// (CellLat is negative: rows run south). Throws std::invalid_argument for a frame without
// scale or cells.
struct TRasterBounds {
    double West = 0, East = 0, North = 0, South = 0;
    double CellLon = 0, CellLat = 0;
};
TRasterBounds RasterBounds(const mapview::TViewport &frame);

// GDAL's geotransform of the same raster: origin at the north-west corner of cell (0, 0).
std::array<double, 6> GeoTransform(const mapview::TViewport &frame);

// Metres from the centre of every cell of the frame to the nearest sounding, indexed [x][y]
// like the grid; +infinity everywhere when there is no sounding. Distances are measured on
// a plane tangent at the frame's middle latitude (sphere of the WGS84 semi-major axis),
// which is exact to a fraction of a per mille over a lake. Soundings that are not finite are
// ignored. A k-d tree answers each cell, so 1000 x 800 cells and a million soundings take
// about a second.
TMatSingle SoundingDistance(const mapview::TViewport &frame, std::span<const TPointF> soundings);

// Band value of the cells that have no depth (or no distance) in the GeoTIFF.
inline constexpr double kGeoTIFFNoData = -9999.0;

// A two-band Float32 GeoTIFF (deflate), one pixel per cell of the frame. Band 1: the depth
// in metres, positive down (grid value x MaxDepth / 100); band 2: the distance to the
// nearest sounding in metres. Both are kGeoTIFFNoData outside the water mask, band 1 also
// where the grid holds 0 (never computed) or no number, band 2 where there is no sounding.
void WriteGridGeoTIFF(const std::string &path, const TMatSingle &grid,
                      const mapview::TMaskArray &mask, const mapview::TViewport &frame,
                      std::int32_t MaxDepth, const TMatSingle &distance);
// The same, measuring the distances first (the soundings, not the shore samples).
void WriteGridGeoTIFF(const std::string &path, const TMatSingle &grid,
                      const mapview::TMaskArray &mask, const mapview::TViewport &frame,
                      std::int32_t MaxDepth, std::span<const TPointF> soundings);

enum class TVectorFormat { GeoPackage, Shapefile, KML, GeoJSON };

// By the extension, case ignored: .gpkg, .shp, .kml, .geojson; nullopt for any other.
std::optional<TVectorFormat> VectorFormatOf(const std::string &path);

// The contour document as line features, one per track segment of two points or more, in a
// layer "contours": depth_cm (real), depth (real, in `unit`) and name (the track's name).
// A track named "Shoreline" has depth 0; any other the depth its points carry (the level of
// the contour builder). A shapefile is a set of files (.shp, .shx, .dbf, .prj, .cpg): each is
// replaced atomically, the .shp last, and sidecars of an older set that this one lacks are
// removed. An unsupported extension throws support::FileError before anything is written.
void WriteContours(const std::string &path, const model::TGPX &IsoData, TDepthUnit unit);

// A KMZ for Google Earth and the like: doc.kml with a GroundOverlay of the chart, whose
// LatLonBox is RasterBounds of the frame (the outer pixel edges), and the contours as
// LineStrings; the chart as files/chart.png, opaque black cells outside the water mask made
// transparent. The image must have the frame's size.
void WriteKMZ(const std::string &path, const QImage &chartImage, const mapview::TMaskArray &mask,
              const mapview::TViewport &frame, const model::TGPX &IsoData);

// The doc.kml of such a KMZ, for an image of the frame's size stored as `imageHref`.
std::string KMZDocument(const mapview::TViewport &frame, const model::TGPX &IsoData,
                        const std::string &imageHref, const std::string &title);

// Water cells farther than maxMetres from every sounding, on the distance raster of
// SoundingDistance; the result has the distance raster's size.
mapview::TMaskArray UncoveredCells(const TMatSingle &distance, const mapview::TMaskArray &mask,
                                   double maxMetres);

enum class TCoverageStyle { Hatched, Faded };

// Marks the uncovered cells on a chart image (pixel x, y = cell x, y): Hatched draws dark
// diagonal lines every few pixels over them, Faded blends them halfway to white. Pixels
// outside both the image and the raster are left alone.
void DrawUncoveredCells(QImage &chart, const mapview::TMaskArray &uncovered, TCoverageStyle style);

} // namespace depth
