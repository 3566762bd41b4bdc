// Depth units of the exports and the legend. Depths are kept in centimetres throughout;
// a unit only changes how levels are chosen and how depths are shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace depth {

enum class TDepthUnit { Metres, Feet };

// An international foot is exactly 30.48 cm.
inline constexpr std::int32_t kHundredthsCmPerFoot = 3048;

// "m" or "ft".
const char *UnitSymbol(TDepthUnit unit);

// The double nearest to feet x 30.48 cm: the product is formed in integers and divided
// once, so whole-foot levels carry no error beyond the last rounding (|feet| < 3e15).
double FeetToCm(std::int64_t feet);

// Centimetres in the unit. Feet are rounded to a millionth of a foot, so that a level of
// N feet (FeetToCm(N)) comes back as exactly N.
double CmToUnit(double cm, TDepthUnit unit);
double UnitToCm(double value, TDepthUnit unit);

// The contour levels in centimetres, ascending: start, start + step, ... while a level is
// at most MaxDepth + 1 cm (the contour builder's rule). start and step are whole
// centimetres for metres and whole feet for feet, as typed in the edit boxes. Throws
// std::invalid_argument for a step below 1 or more than a million levels.
std::vector<double> ContourLevelsCm(TDepthUnit unit, std::int32_t start, std::int32_t step,
                                    std::int32_t MaxDepth);

// "12.34 m", "40.5 ft": at most `decimals` decimals, trailing zeros dropped, "." always.
std::string FormatDepth(double cm, TDepthUnit unit, int decimals = 2);

// The track name of a contour level: "ISO %d cm" in metres (as the contour builder names
// them) and "ISO N ft" in feet.
std::string ContourTrackName(double levelCm, TDepthUnit unit);

} // namespace depth
