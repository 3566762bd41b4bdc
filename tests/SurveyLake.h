// A synthetic lake surveyed on several days at different water levels. The bottom is a known
// function of position; every day's soundings read the bottom plus that day's level plus
// noise, so an estimate of the levels can be checked against the truth.
#pragma once

#include "model/GPX.h"
#include "support/DateTime.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace surveylake {

constexpr double kLat0 = 47.1, kLon0 = 8.3;
constexpr double kA = 400, kB = 250; // the lake's semi-axes in metres, east and north
constexpr double kMPerDegree = 6378137.0 * M_PI / 180;

inline double LatOf(double y) {
    return kLat0 + y / kMPerDegree;
}
inline double LonOf(double x) {
    return kLon0 + x / (kMPerDegree * std::cos(kLat0 * M_PI / 180));
}
inline double YOf(double lat) {
    return (lat - kLat0) * kMPerDegree;
}
inline double XOf(double lon) {
    return (lon - kLon0) * kMPerDegree * std::cos(kLat0 * M_PI / 180);
}

// Squared relative radius of a point of the lake whose centre is `shiftX` metres east.
inline double Rel2(double x, double y, double shiftX = 0) {
    return (x - shiftX) * (x - shiftX) / (kA * kA) + y * y / (kB * kB);
}

// Depth in cm below the reference level: a wide flat basin (slopes under 5 cm/m within
// about two thirds of the radius), steep banks, and gentle bumps.
inline double Bottom(double x, double y, double shiftX = 0) {
    const double r2 = Rel2(x, y, shiftX);
    if (r2 >= 1)
        return 0;
    return 25 + 1200 * (1 - r2 * r2) + 30 * std::sin(x / 37) * std::cos(y / 23);
}

struct TDay {
    double LevelCm = 0;  // the water above the reference level: depths read this much deeper
    double AngleDeg = 0; // direction of the day's parallel lines
    double LineSpacingM = 25;
    double StepM = 1.5; // between soundings along a line
    double NoiseCm = 4;
    double ShiftXM = 0; // the lake surveyed: centred this far east
    int Day = 1;        // of June 2024; 0 = no times
    unsigned Seed = 1;
};

// One track of the day's polylines (x, y in metres), one segment per polyline.
inline int AddTrack(model::TGPX &doc, const TDay &day,
                    const std::vector<std::vector<std::pair<double, double>>> &lines) {
    std::mt19937 rng(day.Seed);
    std::normal_distribution<double> noise(0, day.NoiseCm);
    auto trk = std::make_unique<model::TGPXtrk>();
    double t = day.Day ? support::EncodeDate(2024, 6, day.Day) + 9.0 / 24 : 0;
    for (const auto &line : lines) {
        auto seg = std::make_unique<model::TGPXtrkseg>();
        for (auto [x, y] : line) {
            auto w = std::make_unique<model::TGPXwpt>();
            w->Latitude = LatOf(y), w->Longitude = LonOf(x);
            w->HBdepth = std::max(1.0, Bottom(x, y, day.ShiftXM) + day.LevelCm + noise(rng));
            w->DateTime = t;
            t += day.Day ? 1.0 / 86400 : 0;
            seg->Add(std::move(w));
        }
        if (seg->Count() > 1) {
            seg->maxdepth = 1;
            trk->Add(std::move(seg));
        }
    }
    doc.trk.Add(std::move(trk));
    return doc.trk.Count() - 1;
}

// The day's parallel lines across the lake, points jittered by GPS noise; a line is cut
// where it leaves the water. Returns the new track's index.
inline int AddSurvey(model::TGPX &doc, const TDay &day) {
    std::mt19937 rng(day.Seed * 7919 + 1);
    std::normal_distribution<double> jitter(0, 0.3);
    const double a = day.AngleDeg * M_PI / 180;
    const double ux = std::cos(a), uy = std::sin(a), vx = -uy, vy = ux;
    std::vector<std::vector<std::pair<double, double>>> lines;
    for (double o = -kA; o <= kA; o += day.LineSpacingM) {
        std::vector<std::pair<double, double>> line;
        for (double s = -kA; s <= kA; s += day.StepM) {
            const double x = day.ShiftXM + o * vx + s * ux + jitter(rng),
                         y = o * vy + s * uy + jitter(rng);
            if (Rel2(x, y, day.ShiftXM) < 0.95)
                line.push_back({x, y});
            else if (!line.empty())
                lines.push_back(std::exchange(line, {}));
        }
        if (!line.empty())
            lines.push_back(line);
    }
    return AddTrack(doc, day, lines);
}

} // namespace surveylake
