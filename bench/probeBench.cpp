// The robust probe that follows the plain stages, beside one stage of the
// loop (its translation and its rotation search) on the medium scene, both on
// one thread: the probe's share of a run is its time over the stage's, divided
// by the stages the run makes.
#include <benchmark/benchmark.h>

#include "app/robustStages.h"
#include "bench/benchScenes.h"
#include "model/raster/rasterExtent.h"
#include "model/robust/robustObjective.h"

namespace kalvex::bench {

namespace {

void onMediumScene(benchmark::State& state, bool probe) {
    const preparedScene& prepared = scene("medium");
    if (prepared.model.notReady) {
        state.SkipWithError("benchmark scene missing: run make bench");
        return;
    }
    alignmentModel model = prepared.model;
    model.threadCount = 1;
    const double cell = shorterCellSide(model.raster.transform);
    for (auto _ : state) {
        model.raster.transform = prepared.model.raster.transform;
        model.tiePoints = prepared.model.tiePoints;
        if (probe) {
            const robustShots shots = countedShots(model.molaPoints, model.trackWeights, unjudgedShare);
            benchmark::DoNotOptimize(probeRobustly(model, shots, prepared.padding / cell, 0.0, 0.0));
        } else {
            const double rms = model.translationStage(prepared.rms, prepared.padding, prepared.delta);
            benchmark::DoNotOptimize(model.rotationStage(rms, -5.0, 5.0, 0.1));
        }
    }
}

}  // namespace

BENCHMARK_CAPTURE(onMediumScene, oneStage, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(onMediumScene, robustProbe, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace kalvex::bench
