// Reading a table of 2 million shots whole, without a box, so that every row
// is numbered by its orbit: the same rows in 100 orbits and in 20 000.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/alignmentModel.h"
#include "bench/benchScenes.h"
#include "readers/pointFilter.h"
#include "tests/support/testSupport.h"

namespace kalvex::bench {

namespace {

void readTable(benchmark::State& state, const char* name) {
    const std::string path = scenePath(name) + "/tracks.csv";
    if (!std::ifstream(path).is_open()) {
        state.SkipWithError("benchmark table missing: run make bench");
        return;
    }
    for (auto _ : state) {
        alignmentModel model(kalvex::testing::discardedConsole());
        std::vector<pointFilter> filters;
        benchmark::DoNotOptimize(model.readTracks(path, filters));
    }
}

}  // namespace

BENCHMARK_CAPTURE(readTable, orbits100, "orbits100")->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readTable, orbits20000, "orbits20000")->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace kalvex::bench
