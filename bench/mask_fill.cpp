// The water mask of a lake outline of 10,000 vertices on the 840 x 600 grid: the row
// fill against the per-cell test it must match.
#include "mapview/MaskArray.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A wobbly closed outline filling most of the grid.
mapview::TArrayOfPoint Outline(int vertices) {
    mapview::TArrayOfPoint poly;
    for (int i = 0; i < vertices; ++i) {
        double a = 2 * M_PI * i / vertices;
        double r = 1 + 0.12 * std::sin(7 * a) + 0.05 * std::sin(31 * a) + 0.02 * std::sin(211 * a);
        poly.push_back({static_cast<std::int32_t>(std::lround(420 + 380 * r / 1.2 * std::cos(a))),
                        static_cast<std::int32_t>(std::lround(300 + 270 * r / 1.2 * std::sin(a)))});
    }
    return poly;
}

void RowFill(benchmark::State &state) {
    const auto poly = Outline(10000);
    mapview::TMaskArray mask(840, 600);
    for (auto _ : state) {
        mask.Clear();
        mask.DrawShorelineAndIslands({poly});
        benchmark::DoNotOptimize(mask.MaskArray[420][300]);
    }
}
BENCHMARK(RowFill)->Unit(benchmark::kMillisecond);

void PerCell(benchmark::State &state) {
    const auto poly = Outline(10000);
    mapview::TMaskArray mask(840, 600);
    for (auto _ : state) {
        mask.Clear();
        mask.DrawFilledPolygonPerCell(poly, false);
        benchmark::DoNotOptimize(mask.MaskArray[420][300]);
    }
}
BENCHMARK(PerCell)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
