// The sample lake (same shape as examples/make_sample_lake.py), surveyed with as many
// soundings as asked: parallel transects across the lake, depth from the lake's profile.
#pragma once

#include "model/GPX.h"

#include <cmath>
#include <random>

namespace bench {

inline double ShoreRadius(double a) {
    return 1.0 + 0.10 * std::sin(3 * a + 0.4) + 0.06 * std::sin(5 * a + 1.3) +
           0.04 * std::cos(7 * a);
}

constexpr double kLat = 46.9480, kLon = 7.4470, kRLat = 0.0090, kRLon = 0.0150;

inline void AddPoint(model::TGPXtrkseg &s, double lat, double lon, double depth) {
    auto w = std::make_unique<model::TGPXwpt>();
    w->Latitude = lat, w->Longitude = lon, w->HBdepth = depth;
    s.Add(std::move(w));
}

// Shoreline (maxdepth 0) plus `soundings` points on transects, as the loader leaves them.
inline void MakeSampleLake(model::TGPX &doc, int soundings) {
    auto shore = std::make_unique<model::TGPXtrk>();
    auto ring = std::make_unique<model::TGPXtrkseg>();
    for (int i = 0; i <= 720; ++i) {
        double a = 2 * M_PI * (i % 720) / 720, r = ShoreRadius(a);
        AddPoint(*ring, kLat + kRLat * r * std::sin(a), kLon + kRLon * r * std::cos(a), 0);
    }
    shore->Add(std::move(ring));
    doc.trk.Add(std::move(shore));

    std::mt19937 rng(20140601);
    std::normal_distribution<double> jitter(0, 0.000004), noise(0, 8);
    const int lines = std::max(4, static_cast<int>(std::sqrt(soundings / 4.0)));
    const int perLine = soundings / lines;
    auto survey = std::make_unique<model::TGPXtrk>();
    for (int k = 0; k < lines; ++k) {
        auto seg = std::make_unique<model::TGPXtrkseg>();
        double v = -0.97 + 1.94 * (k + 0.5) / lines;
        for (int s = 0; s < perLine; ++s) {
            double u = -1.0 + 2.0 * s / (perLine - 1);
            double lat = kLat + v * kRLat * 0.95 + jitter(rng),
                   lon = kLon + u * kRLon + jitter(rng);
            double y = (lat - kLat) / kRLat, x = (lon - kLon) / kRLon;
            double rel = std::hypot(x, y) / ShoreRadius(std::atan2(y, x));
            if (rel >= 0.97)
                continue;
            AddPoint(*seg, lat, lon, std::max(25.0, 2350 * (1 - rel * rel) + noise(rng)));
        }
        if (seg->Count() > 1) {
            seg->maxdepth = 1;
            survey->Add(std::move(seg));
        }
    }
    doc.trk.Add(std::move(survey));
}

} // namespace bench
