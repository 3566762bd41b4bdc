// Reading KML files (paths and points drawn in a map program) into a GPX document:
// placemarks with a point become waypoints, placemarks with a line string tracks.
#pragma once

#include "formats/GPXFile.h"

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
    void ReadPointPlacemark(xml::Node placemark);
    void ReadLineStringPlacemark(xml::Node placemark);
};

// The registry's reader: every placemark's geometry into `doc`.
ReadResult ReadKMLFile(const std::string &path, model::TGPX &doc, const TReadOptions &options);

} // namespace formats
