// Level offsets of four surveys of the synthetic test lake, 500,000 soundings in all by
// default (or the count given first; the pair search's threads second, 0 = all processors): the
// time to estimate them, the estimates against the truth, and how far the soundings lie from the
// true bottom before and after the correction.
#include "SurveyLake.h"

#include "depth/Surveys.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Rms(const model::TGPX &doc, const std::vector<double> &offsets, double level) {
    double sum = 0;
    long long n = 0;
    for (int t = 0; t < doc.trk.Count(); ++t)
        for (const auto &s : doc.trk[t]->Items())
            for (const auto &p : s->Items()) {
                const double e = p->HBdepth + offsets[t] -
                                 surveylake::Bottom(surveylake::XOf(p->Longitude),
                                                    surveylake::YOf(p->Latitude)) -
                                 level;
                sum += e * e, ++n;
            }
    return std::sqrt(sum / static_cast<double>(n));
}

} // namespace

int main(int argc, char **argv) {
    const double soundings = argc > 1 ? std::atof(argv[1]) : 500000;
    // About 1.7 soundings per square metre of water make 500,000 in four surveys at 1 m
    // steps; the lines are spaced to reach the count asked for.
    const double spacing = 2.4 * 500000 / std::max(soundings, 1000.0);
    std::vector<surveylake::TDay> days = {
        {.LevelCm = 0, .AngleDeg = 0, .Day = 3, .Seed = 11},
        {.LevelCm = 18, .AngleDeg = 90, .Day = 9, .Seed = 12},
        {.LevelCm = -9.5, .AngleDeg = 45, .Day = 17, .Seed = 13},
        {.LevelCm = 31, .AngleDeg = 135, .Day = 24, .Seed = 14},
    };
    model::TGPX doc;
    std::vector<depth::TSurvey> surveys;
    for (surveylake::TDay &d : days) {
        d.LineSpacingM = spacing, d.StepM = 1.0;
        const int track = surveylake::AddSurvey(doc, d);
        surveys.push_back(
            depth::MakeSurvey(doc, "day" + std::to_string(surveys.size() + 1) + ".gpx", track, 1));
    }
    std::int64_t total = 0;
    for (const auto &s : surveys)
        total += s.Soundings;

    depth::TLevelSettings settings;
    settings.Threads = argc > 2 ? std::atoi(argv[2]) : 0;
    std::vector<depth::TLevelEstimate> est;
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        est = depth::EstimateLevelOffsets(
            doc, surveys, 0, {},
            run == 0 ? [](const std::string &l) { std::printf("%s\n", l.c_str()); }
                     : support::LogLine());
        best = std::min(best, Seconds(t0));
    }
    std::printf("%lld soundings in %zu surveys: estimate in %.3f s (best of 5)\n",
                static_cast<long long>(total), surveys.size(), best);
    for (std::size_t i = 0; i < surveys.size(); ++i)
        std::printf("  %s: truth %+.1f cm, estimate %+.2f cm +- %.2f cm\n", surveys[i].Name.c_str(),
                    days[0].LevelCm - days[i].LevelCm, est[i].OffsetCm, est[i].SigmaCm);
    const double before = Rms(doc, depth::TrackOffsetsCm(surveys, doc.trk.Count()), 0);
    depth::ApplyLevelEstimates(surveys, est);
    const double after = Rms(doc, depth::TrackOffsetsCm(surveys, doc.trk.Count()), 0);
    std::printf("RMS to the true bottom: %.2f cm uncorrected, %.2f cm corrected (noise %.1f cm)\n",
                before, after, days[0].NoiseCm);
    return 0;
}
