// The robust probe that follows the plain stages, beside one stage of the
// loop (its translation and its rotation search) on the medium scene, both on
// one thread: the probe's share of a run is its time over the stage's, divided
// by the stages the run makes.
#include <benchmark/benchmark.h>

#include "app/alignmentModel.h"
#include "app/plainStages.h"
#include "bench/benchScenes.h"
#include "model/raster/rasterExtent.h"
#include "model/robust/robustObjective.h"
#include "model/robust/robustStages.h"
#include "tests/support/testSupport.h"

namespace kalvex::bench {

namespace {

void onMediumScene(benchmark::State& state, bool probe) {
    const preparedScene& prepared = scene("medium");
    if (prepared.read.notReady) {
        state.SkipWithError("benchmark scene missing: run make bench");
        return;
    }
    runState start = prepared.read;
    start.threadCount = 1;
    const alignmentModel unmoved(testing::discardedConsole(), start);
    const double cell = shorterCellSide(start.raster.transform);
    for (auto _ : state) {
        if (probe) {
            const robustShots shots = countedShots(start.molaPoints, start.trackWeights, unjudgedShare);
            benchmark::DoNotOptimize(probeRobustly(unmoved.searchSubject(), shots, prepared.padding / cell, 0.0, 0.0));
        } else {
            // The stage starts from the scene as read; making its model is not timed.
            state.PauseTiming();
            alignmentModel model(testing::discardedConsole(), start);
            state.ResumeTiming();
            const double rms = translationStage(model, prepared.rms, prepared.padding, prepared.delta).rms;
            benchmark::DoNotOptimize(rotationStage(model, rms, -5.0, 5.0, 0.1).rms);
        }
    }
}

}  // namespace

BENCHMARK_CAPTURE(onMediumScene, oneStage, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(onMediumScene, robustProbe, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace kalvex::bench
