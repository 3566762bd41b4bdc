// The shapefile options of depthwright-batch: what the "Import Coordinates" and
// "Import Database" dialogs would be told when a .shp file is added.
#pragma once

#include "formats/shapefile.h"
#include "support/Dialogs.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace batch {

struct ShapefileOptions {
    std::optional<std::int32_t> utmZone; // unset: the coordinates are degrees
    bool south = false;
    std::string xOffset = "-500000", yOffset = "0";
    std::optional<std::string> depthField;
    std::string depthScale = "1";
    std::optional<double> depthFromZ; // --depth-from-z SCALE: Z x SCALE are centimetres
};

// Takes a shapefile option at args[i] (and its value, moving i onto it); false when
// args[i] is none. Throws std::invalid_argument naming the option on a bad value.
bool TakeShapefileOption(const std::vector<std::string> &args, std::size_t &i, ShapefileOptions &o);

// The two import dialogs' answers for one shapefile: its coordinate system and depth
// column (formats::TReadOptions::PrepareShapefile). Throws when the column is not there.
void PrepareShapefile(formats::TShapefile &shp, const ShapefileOptions &o);

} // namespace batch
