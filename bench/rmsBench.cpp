// One weighted RMS of all points: as rmsAndMean gives it (laying the points
// out each time), as a search gets it from a prepared evaluator, point by
// point through sampleModel, and from the plain reference evaluation.
#include <benchmark/benchmark.h>

#include "bench/benchScenes.h"
#include "model/evaluation/errorEvaluator.h"
#include "model/evaluation/pointError.h"
#include "tests/support/referenceModel.h"

namespace kalvex::bench {

namespace {

bool sceneReady(benchmark::State& state, const preparedScene& prepared) {
    if (!prepared.read.notReady) return true;
    state.SkipWithError("benchmark scene missing: run make bench");
    return false;
}

void countEvaluations(benchmark::State& state, const preparedScene& prepared) {
    state.counters["pointEvaluations/s"] = benchmark::Counter(
        double(state.iterations()) * double(prepared.read.molaPoints.size()), benchmark::Counter::kIsRate);
}

void rmsAndMeanFast(benchmark::State& state, const char* name) {
    const preparedScene& prepared = scene(name);
    if (!sceneReady(state, prepared)) return;
    const runState& read = prepared.read;
    for (auto _ : state)
        benchmark::DoNotOptimize(rmsAndMean(read.raster, read.molaPoints, &read.trackWeights, prepared.delta * 3.0, prepared.delta * -2.0, 0.0));
    countEvaluations(state, prepared);
}

void rmsPreparedEvaluator(benchmark::State& state, const char* name) {
    const preparedScene& prepared = scene(name);
    if (!sceneReady(state, prepared)) return;
    const runState& read = prepared.read;
    const errorEvaluator evaluator(read.raster, read.molaPoints, &read.trackWeights);
    for (auto _ : state) benchmark::DoNotOptimize(evaluator.sums(read.raster.transform, prepared.delta * 3.0, prepared.delta * -2.0, 0.0));
    countEvaluations(state, prepared);
}

void rmsPointByPoint(benchmark::State& state, const char* name) {
    const preparedScene& prepared = scene(name);
    if (!sceneReady(state, prepared)) return;
    const runState& read = prepared.read;
    for (auto _ : state)
        benchmark::DoNotOptimize(testing::sampledRms(read.raster, read.molaPoints, &read.trackWeights, prepared.delta * 3.0, prepared.delta * -2.0, 0.0));
    countEvaluations(state, prepared);
}

void rmsReference(benchmark::State& state, const char* name) {
    const preparedScene& prepared = scene(name);
    if (!sceneReady(state, prepared)) return;
    const runState& read = prepared.read;
    for (auto _ : state)
        benchmark::DoNotOptimize(testing::referenceRms(read.raster, read.molaPoints, &read.trackWeights, prepared.delta * 3.0, prepared.delta * -2.0, 0.0));
    countEvaluations(state, prepared);
}

// Sixteen neighbouring angles about the raster centre, as a rotation pass
// measures them: one position at a time, or together in groups.
void turnedPositions(benchmark::State& state, const char* name) {
    const preparedScene& prepared = scene(name);
    if (!sceneReady(state, prepared)) return;
    const runState& read = prepared.read;
    const errorEvaluator evaluator(read.raster, read.molaPoints, &read.trackWeights);
    constexpr std::size_t angles = 16;
    candidatePosition positions[angles];
    for (std::size_t k = 0; k < angles; ++k) {
        positions[k].transform = read.raster.transform.turnedAbout(
            int(read.raster.width / 2), int(read.raster.height / 2), -0.8 + 0.1 * double(k));
    }
    const bool together = state.range(0) != 0;
    double results[angles];
    for (auto _ : state) {
        if (together) {
            evaluator.rmsUnlessAboveEach(positions, angles, notANumber, results);
        } else {
            for (std::size_t k = 0; k < angles; ++k)
                results[k] = evaluator.rmsUnlessAbove(positions[k].transform, 0.0, 0.0, 0.0, notANumber);
        }
        benchmark::DoNotOptimize(results);
    }
    state.counters["pointEvaluations/s"] =
        benchmark::Counter(double(state.iterations()) * double(angles) * double(read.molaPoints.size()),
                           benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(turnedPositions, medium, "medium")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(turnedPositions, large, "large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rmsAndMeanFast, medium, "medium")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rmsPreparedEvaluator, medium, "medium")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rmsPointByPoint, medium, "medium")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rmsReference, medium, "medium")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rmsAndMeanFast, large, "large")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rmsPreparedEvaluator, large, "large")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rmsPointByPoint, large, "large")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rmsReference, large, "large")->Unit(benchmark::kMillisecond);

}  // namespace kalvex::bench
