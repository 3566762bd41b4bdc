// The frame of a map view as a value: the box it shows, its scale Rm and its raster size,
// with the conversions between pixels and positions. A run copies the frame it starts
// with, so zooming, panning or loading later cannot move its grid or its contours.
#pragma once

#include "model/GPS.h"
#include "support/Rounding.h"

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace mapview {

class TViewport {
  public:
    // One degree of longitude is k times as wide on the map as one of latitude is tall.
    static constexpr long double k = 36.0L / 55.0L;

    model::TBBox BBox; // N, S, E, O in degrees and the scale Rm (pixels per degree of latitude)
    std::int32_t Width = 0, Height = 0;

    double XToLo(std::int32_t X) const {
        if (BBox.Rm == 0)
            return 0;
        return static_cast<double>(static_cast<long double>(X) / BBox.Rm / k + BBox.O);
    }
    double YToLa(std::int32_t Y) const {
        if (BBox.Rm == 0)
            return 0;
        return static_cast<double>(static_cast<long double>(std::int64_t{Height} - Y) / BBox.Rm +
                                   BBox.S);
    }
    // Both throw std::range_error when the pixel does not fit 32 bits.
    std::int32_t LoToX(double Longitude) const {
        return Fit32(support::Round((static_cast<long double>(Longitude) - BBox.O) * BBox.Rm * k));
    }
    std::int32_t LaToY(double Latitude) const {
        return Fit32(Height -
                     support::Round((static_cast<long double>(Latitude) - BBox.S) * BBox.Rm));
    }

    static std::int32_t Fit32(std::int64_t v) {
        if (v < std::numeric_limits<std::int32_t>::min() ||
            v > std::numeric_limits<std::int32_t>::max())
            throw std::range_error("Range check error: pixel coordinate out of range");
        return static_cast<std::int32_t>(v);
    }
};

} // namespace mapview
