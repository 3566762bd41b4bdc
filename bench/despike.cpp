// Spike flagging on the sample lake (about 2,000,000 soundings by default, transects with
// about 0.7 m between pings) with 1 % of the soundings turned into spikes in bursts of 1
// to 4: the time FlagSpikes takes over the whole document on one thread, and what it found.
// "rolling" adds 3 m waves 94 m long to the bottom: steep slopes everywhere, the worst
// case for the time (fewer readings pass as plainly in line with their neighbours).
//   build/default/bench/bench_despike [soundings] [low|normal|high] [rolling]
#include "SampleLake.h"

#include "depth/Despike.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Turns about 1 % of the survey's soundings into spikes; returns which, in document order.
std::vector<char> AddSpikes(model::TGPX &doc) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<char> spike;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items()) {
            const int n = s->Count();
            std::vector<char> here(static_cast<std::size_t>(n), 0);
            if (s->maxdepth != 0)
                for (int i = 0; i < n; ++i) {
                    if (u(rng) >= 0.01 / 2.5)
                        continue;
                    const int kind = static_cast<int>(u(rng) * 3),
                              burst = 1 + static_cast<int>(u(rng) * 4);
                    for (int j = i; j < std::min(n, i + burst); ++j) {
                        double &d = s->Get(j)->HBdepth;
                        d = kind == 0   ? d * (0.2 + 0.6 * u(rng))
                            : kind == 1 ? 2 * d
                                        : d * (1.5 + 2.5 * u(rng));
                        here[static_cast<std::size_t>(j)] = 1;
                    }
                    i += burst;
                }
            spike.insert(spike.end(), here.begin(), here.end());
        }
    return spike;
}

} // namespace

int main(int argc, char **argv) {
    const int soundings = argc > 1 ? std::atoi(argv[1]) : 2000000;
    depth::TDespikeOptions options;
    if (argc > 2 && std::strcmp(argv[2], "low") == 0)
        options.Sensitivity = depth::TSpikeSensitivity::Low;
    if (argc > 2 && std::strcmp(argv[2], "high") == 0)
        options.Sensitivity = depth::TSpikeSensitivity::High;

    const bool rolling = argc > 3 && std::strcmp(argv[3], "rolling") == 0;

    model::TGPX doc;
    // About 7 in 9 of the transects' points fall inside the shore.
    bench::MakeSampleLake(doc, static_cast<int>(soundings * (9.0 / 7)));
    if (rolling)
        for (const auto &t : doc.trk.Items())
            for (const auto &s : t->Items())
                if (s->maxdepth != 0)
                    for (const auto &p : s->Items()) {
                        const double x = (p->Longitude - bench::kLon) * 6378137.0 * M_PI / 180 *
                                         std::cos(bench::kLat * M_PI / 180);
                        p->HBdepth += 300 + 300 * std::sin(x / 15);
                    }
    const std::vector<char> spike = AddSpikes(doc);

    std::vector<double> times;
    std::int64_t flagged = 0;
    for (int run = 0; run < 5; ++run) {
        depth::ClearFlags(doc);
        auto t0 = std::chrono::steady_clock::now();
        flagged = depth::FlagSpikes(doc, options);
        times.push_back(Seconds(t0));
    }
    std::sort(times.begin(), times.end());

    std::int64_t spikes = 0, found = 0, clean = 0, falseAlarms = 0, survey = 0;
    std::size_t at = 0;
    for (const auto &t : doc.trk.Items())
        for (const auto &s : t->Items())
            for (const auto &p : s->Items()) {
                if (s->maxdepth == 0) {
                    ++at;
                    continue;
                }
                ++survey;
                if (spike[at++]) {
                    ++spikes;
                    found += p->Flagged;
                } else {
                    ++clean;
                    falseAlarms += p->Flagged;
                }
            }
    std::printf("soundings %lld  spikes %lld  flagged %lld\n", static_cast<long long>(survey),
                static_cast<long long>(spikes), static_cast<long long>(flagged));
    std::printf("spikes found %.2f %%  clean soundings flagged %.3f %%\n",
                100.0 * static_cast<double>(found) / static_cast<double>(spikes),
                100.0 * static_cast<double>(falseAlarms) / static_cast<double>(clean));
    std::printf("FlagSpikes: best %.3f s, median %.3f s of %zu runs (one thread)\n", times.front(),
                times[times.size() / 2], times.size());
    return 0;
}
