// What the "Import Coordinates" and "Import Database" dialogs compute, without widgets.
#pragma once

#include "formats/shapefile.h"
#include "support/Message.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

// A dialog text that is not a number; the dialog shows the message and stays open.
struct ConversionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Inverse UTM (Coticchia-Surace, WGS84) of every point of every polyline, in place;
// the result is X = longitude, Y = latitude in degrees. Hemisphere 0 north, 1 south.
// The points of a point file are converted too (they are one-point shapes in PolyLinien);
// Punkte, the points as read, is left alone.
void ConvertUTMToWGS84(TShapefile &SHP, std::int32_t XOffset, std::int32_t YOffset,
                       std::int32_t Zone, std::int32_t Hemisphere);

struct TUTMOptions {
    std::int32_t XOffset = -500000;
    std::int32_t YOffset = 0;
    std::int32_t Zone = 33;
    std::int32_t Hemisphere = 0;
};

// The dialog's texts as decimal integers, parsed zone first, then y offset, then x offset;
// throws ConversionError naming the box and its text.
TUTMOptions ParseUTMOptions(std::string_view XOffsetText, std::string_view YOffsetText,
                            std::string_view ZoneText, std::int32_t Hemisphere);

// "OK" of "Import Coordinates". CoordinatesFormat 0 is "Degrees WGS84" (nothing changes),
// 1 is "UTM". All texts are parsed before any point is converted.
void ImportCoordinatesOK(TShapefile &SHP, int CoordinatesFormat, std::string_view XOffsetText,
                         std::string_view YOffsetText, std::string_view ZoneText,
                         std::int32_t Hemisphere);

// The "Multiplier" box after an edit: emptied, it holds "1" again.
std::string ScaleAfterEdit(std::string_view text);

// The preview of "Import Database": |value x multiplier| of the first 10 values at most,
// in shortest general form. `lines` is emptied, then filled line by line; a value or a
// multiplier that is not a number throws ConversionError with the earlier lines kept.
void DepthPreview(const TDBFDatabaseFields &field, std::string_view multiplierText,
                  std::vector<std::string> &lines);
std::vector<std::string> DepthPreview(const TDBFDatabaseFields &field,
                                      std::string_view multiplierText);

// "OK" of "Import Database". SelectedField indexes DatabaseFields, -1 when none is chosen.
// Sets every polyline's Depth to |value x multiplier| rounded half to even; on a count
// mismatch appends the two messages to `shown` and changes nothing. Returns whether the dialog
// closes.
// A value that is not a number throws ConversionError, keeping the depths set before it.
bool JoinDBFOK(TShapefile &SHP, int SelectedField, std::string_view multiplierText,
               support::TMessages &shown);

} // namespace formats
