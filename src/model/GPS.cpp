#include "model/GPS.h"

#include "support/NumText.h"
#include "support/Rounding.h"

#include <algorithm>
#include <cmath>

namespace model {

namespace {
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kEarthRadius = 6378137.0;
} // namespace

void TPoint4D2::CopyFrom(const TPoint4D2 &other) {
    Latitude = other.Latitude;
    Longitude = other.Longitude;
    Altitude = other.Altitude;
    HBdepth = other.HBdepth;
    Flagged = other.Flagged;
    DateTime = other.DateTime;
}

double TPoint4D2::WGS84Distance(double lon, double lat, bool Almostnul) const {
    const double phi1 = Latitude * kDegToRad, lambda1 = Longitude * kDegToRad;
    const double phi2 = lat * kDegToRad, lambda2 = lon * kDegToRad;
    if (lambda1 == lambda2 && phi1 == phi2)
        return 0;
    double c = std::sin(phi1) * std::sin(phi2) +
               std::cos(phi1) * std::cos(phi2) * std::cos(lambda2 - lambda1);
    double t =
        Almostnul ? static_cast<double>(support::RoundHalfEven(c * 100000000.0)) / 100000000.0 : c;
    if (t == 1)
        return 0;
    // Rounding can push c of nearly coincident points just past 1, outside acos' domain.
    return std::acos(std::clamp(c, -1.0, 1.0)) * kEarthRadius;
}

double TPoint4D2::WGS84Distance(const TPoint4D2 &other, bool Almostnul) const {
    return WGS84Distance(other.Longitude, other.Latitude, Almostnul);
}

bool TPoint4D2::IsInBox(double E, double O, double S, double N) const {
    return std::min(N, S) < Latitude && Latitude < std::max(N, S) && std::min(E, O) < Longitude &&
           Longitude < std::max(E, O);
}

std::string TPoint4D2::LatitudeStr() const {
    return support::FloatToStrFixed(std::fabs(Latitude), 6) + (Latitude >= 0 ? "° N" : "° S");
}

std::string TPoint4D2::LongitudeStr() const {
    return support::FloatToStrFixed(std::fabs(Longitude), 6) + (Longitude >= 0 ? "° E" : "° W");
}

std::string TPoint4D2::Coord() const {
    return LatitudeStr() + ", " + LongitudeStr();
}

void TBBox::Clear() {
    N = S = E = O = Rx = Ry = 0;
    Complete = false;
}

void TBBox::Copy(const TBBox &other) {
    N = other.N, S = other.S, E = other.E, O = other.O;
    Rx = other.Rx, Ry = other.Ry, Rm = other.Rm;
}

void TBBox::Add(const TBBox &other) {
    if (!Complete) {
        Copy(other);
    } else {
        N = std::max(N, other.N);
        S = std::min(S, other.S);
        E = std::max(E, other.E);
        O = std::min(O, other.O);
    }
    if (N != 0 && S != 0 && E != 0 && O != 0)
        Complete = true;
}

} // namespace model
