// Reading KML files (paths and points drawn in a map program) into a GPX document:
// placemarks with a point become waypoints; placemarks with lines, polygons, recorded
// tracks or several of them become tracks with a segment per line, ring or recording.
#pragma once

#include "formats/GPXFile.h"

#include <memory>
#include <string>

namespace formats {

class TKMLFile : public TGPXFile {
  public:
    // Adds the file's placemarks to GPXd; problems are only logged in mLog.
    void ImportKML(const std::string &FileName);
    void ImportKMLText(std::string_view bytes); // ImportKML on bytes already read

    // "lon,lat[,alt]": the parts as numbers, 0 for a part that is not one.
    static void SplitCoordinates(std::string_view tuple, double &lon, double &lat, double &alt);

  private:
    enum class Part { Point, Line, Ring, Polygon, Track, Multi, Other };
    static Part KindOf(xml::Node n);

    void AddWaypoint(xml::Node placemark, xml::Node point);
    void ReadShapePlacemark(xml::Node placemark);
    // A closed ring repeats its first point at the end.
    static std::unique_ptr<model::TGPXtrkseg> ReadCoordinates(const std::string &coordinates,
                                                              bool closeRing);
    std::unique_ptr<model::TGPXtrkseg> ReadTrack(xml::Node track, const std::string &name,
                                                 bool &timeLogged);
};

// The registry's reader: every placemark's geometry into `doc`.
ReadResult ReadKMLFile(const std::string &path, model::TGPX &doc, const TReadOptions &options);

} // namespace formats
