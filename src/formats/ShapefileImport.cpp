#include "formats/ShapefileImport.h"

#include "support/NumText.h"
#include "support/Rounding.h"

#include <cmath>
#include <stdexcept>

namespace formats {

namespace {

constexpr double kRadToDeg = 57.29577951308232;

std::int32_t ParseInt(std::string_view text, const char *box) {
    if (auto v = support::TryStrToInt(text))
        return *v;
    throw ConversionError("\"" + std::string(text) + "\" is not a valid integer value for " + box);
}

double ParseNumber(std::string_view text, const char *what) {
    if (auto v = support::TryStrToFloat(text))
        return *v;
    throw ConversionError("\"" + support::Trim(text) + "\" is not a valid number (" + what + ")");
}

std::string RecordLabel(std::size_t index) {
    return "value of record " + std::to_string(index + 1);
}

// |value x multiplier|, value parsed before the multiplier.
double ScaledDepth(const std::string &value, std::size_t index, std::string_view multiplierText) {
    const std::string label = RecordLabel(index);
    double v = ParseNumber(value, label.c_str());
    double m = ParseNumber(multiplierText, "multiplier");
    return std::fabs(v * m);
}

} // namespace

void ConvertUTMToWGS84(TShapefile &SHP, std::int32_t XOffset, std::int32_t YOffset,
                       std::int32_t Zone, std::int32_t Hemisphere) {
    const double a = 6378137.0;
    const double b = 6356752.314245;
    const double ePrime = std::sqrt(a * a - b * b) / b;
    const double e2 = ePrime * ePrime;
    const double c = a * a / b;
    const double lambda0 = 6.0 * Zone - 183.0;

    for (TPolyLine &line : SHP.PolyLinien) {
        for (TPunktXY &p : line.Points) {
            double x = XOffset + p.X;
            double y = YOffset + p.Y;
            if (Hemisphere == 1)
                y = y - 10000000.0;
            const double phi = y / 6363651.2449104;
            const double cosPhi = std::cos(phi);
            const double cos2 = cosPhi * cosPhi;
            const double nu = c / std::sqrt(1.0 + e2 * cos2) * 0.9996;
            const double A = x / nu;
            const double A1 = std::sin(2.0 * phi);
            const double A2 = A1 * cos2;
            const double J2 = phi + A1 / 2.0;
            const double J4 = (3.0 * J2 + A2) / 4.0;
            const double J6 = (5.0 * J4 + A2 * cos2) / 3.0;
            const double alpha = 0.75 * e2;
            const double beta = (5.0 / 3.0) * alpha * alpha;
            const double gamma = (35.0 / 27.0) * alpha * alpha * alpha;
            const double Bphi = 0.9996 * c * (phi - alpha * J2 + beta * J4 - gamma * J6);
            const double B = (y - Bphi) / nu;
            const double zeta = (e2 * A * A / 2.0) * cos2;
            const double xi = A * (1.0 - zeta / 3.0);
            const double eta = B * (1.0 - zeta) + phi;
            const double sinhXi = (std::exp(xi) - std::exp(-xi)) / 2.0;
            const double dLambda = std::atan(sinhXi / std::cos(eta));
            const double tau = std::atan(std::cos(dLambda) * std::tan(eta));
            p.X = dLambda * kRadToDeg + lambda0;
            p.Y = (phi + (tau - phi) *
                             (1.0 + e2 * cos2 - 1.5 * e2 * std::sin(phi) * cosPhi * (tau - phi))) *
                  kRadToDeg;
        }
    }
}

TUTMOptions ParseUTMOptions(std::string_view XOffsetText, std::string_view YOffsetText,
                            std::string_view ZoneText, std::int32_t Hemisphere) {
    TUTMOptions o;
    o.Zone = ParseInt(ZoneText, "Zone");
    o.YOffset = ParseInt(YOffsetText, "y offset");
    o.XOffset = ParseInt(XOffsetText, "x offset");
    o.Hemisphere = Hemisphere;
    return o;
}

void ImportCoordinatesOK(TShapefile &SHP, int CoordinatesFormat, std::string_view XOffsetText,
                         std::string_view YOffsetText, std::string_view ZoneText,
                         std::int32_t Hemisphere) {
    if (CoordinatesFormat != 1)
        return;
    TUTMOptions o = ParseUTMOptions(XOffsetText, YOffsetText, ZoneText, Hemisphere);
    ConvertUTMToWGS84(SHP, o.XOffset, o.YOffset, o.Zone, o.Hemisphere);
}

std::string ScaleAfterEdit(std::string_view text) {
    return text.empty() ? std::string("1") : std::string(text);
}

void DepthPreview(const TDBFDatabaseFields &field, std::string_view multiplierText,
                  std::vector<std::string> &lines) {
    lines.clear();
    for (std::size_t i = 0; i < field.Data.size() && i < 10; ++i)
        lines.push_back(support::FloatToStrG15(ScaledDepth(field.Data[i], i, multiplierText)));
}

std::vector<std::string> DepthPreview(const TDBFDatabaseFields &field,
                                      std::string_view multiplierText) {
    std::vector<std::string> lines;
    DepthPreview(field, multiplierText, lines);
    return lines;
}

bool JoinDBFOK(TShapefile &SHP, int SelectedField, std::string_view multiplierText,
               support::TMessages &shown) {
    if (SelectedField < 0)
        return true;
    const TDBFDatabaseFields &field =
        SHP.DatabaseFields.at(static_cast<std::size_t>(SelectedField));
    if (field.Data.size() != SHP.PolyLinien.size()) {
        shown.push_back({support::BoxKind::Information, "Mismatch in length of SHP and DBF"});
        shown.push_back({support::BoxKind::Information,
                         "# Polylines: " + std::to_string(SHP.PolyLinien.size()) +
                             " # DB Entries: " + std::to_string(field.Data.size())});
        return false;
    }
    for (std::size_t i = 0; i < SHP.PolyLinien.size(); ++i) {
        if (SHP.PolyLinien[i].Null)
            continue; // no shape to give a depth
        double depth = ScaledDepth(field.Data[i], i, multiplierText);
        try {
            SHP.PolyLinien[i].Depth = support::Round32(depth);
        } catch (const std::range_error &) {
            throw ConversionError("Depth " + support::FloatToStrG15(depth) + " of " +
                                  RecordLabel(i) + " is out of range");
        }
    }
    return true;
}

} // namespace formats
