#include "depth/Units.h"

#include "support/NumText.h"

#include <cmath>
#include <stdexcept>

namespace depth {

namespace {

// Fixed notation without trailing zeros ("40.50" -> "40.5", "12.00" -> "12").
std::string Trimmed(double value, int decimals) {
    std::string text = support::FloatToStrFixed(value, decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

constexpr std::size_t kMaxLevels = 1'000'000;

} // namespace

const char *UnitSymbol(TDepthUnit unit) {
    return unit == TDepthUnit::Feet ? "ft" : "m";
}

double FeetToCm(std::int64_t feet) {
    return static_cast<double>(feet * kHundredthsCmPerFoot) / 100.0;
}

double CmToUnit(double cm, TDepthUnit unit) {
    if (unit == TDepthUnit::Metres)
        return cm / 100.0;
    const double feet = cm * 100.0 / kHundredthsCmPerFoot;
    return std::isfinite(feet) ? std::nearbyint(feet * 1e6) / 1e6 : feet;
}

double UnitToCm(double value, TDepthUnit unit) {
    return unit == TDepthUnit::Metres ? value * 100.0 : value * kHundredthsCmPerFoot / 100.0;
}

std::vector<double> ContourLevelsCm(TDepthUnit unit, std::int32_t start, std::int32_t step,
                                    std::int32_t MaxDepth) {
    if (step < 1)
        throw std::invalid_argument("The contour step must be at least 1 " +
                                    std::string(unit == TDepthUnit::Feet ? "ft" : "cm"));
    const double last = static_cast<double>(MaxDepth) + 1.0;
    std::vector<double> levels;
    for (std::int64_t n = start;; n += step) {
        const double cm = unit == TDepthUnit::Feet ? FeetToCm(n) : static_cast<double>(n);
        if (cm > last)
            break;
        if (levels.size() == kMaxLevels)
            throw std::invalid_argument("Too many contour levels: more than " +
                                        std::to_string(kMaxLevels));
        levels.push_back(cm);
    }
    return levels;
}

std::string FormatDepth(double cm, TDepthUnit unit, int decimals) {
    return Trimmed(CmToUnit(cm, unit), decimals) + " " + UnitSymbol(unit);
}

std::string ContourTrackName(double levelCm, TDepthUnit unit) {
    if (unit == TDepthUnit::Metres)
        return "ISO " + Trimmed(levelCm, 0) + " cm";
    return "ISO " + Trimmed(CmToUnit(levelCm, unit), 2) + " ft";
}

} // namespace depth
