// The first translation stage and the first rotation stage of the medium
// scene: the threaded search on one and on two threads, a one-by-one scan
// sampling point by point, and a one-by-one scan with the reference
// evaluation. pointEvaluations/s is candidates times points per second of wall
// time; shotEvaluations/s/core counts the shots the kernels actually measured,
// per second of the process's processor time, over all its threads.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>

#include "bench/benchScenes.h"
#include "model/evaluation/errorEvaluator.h"
#include "tests/support/referenceModel.h"
#include "app/plainStages.h"
#include "tests/support/testSupport.h"

namespace kalvex::bench {

namespace {

std::size_t translationCandidates(double padding, double delta) {
    std::size_t row = 0;
    for (double dx = 0.0 - padding; dx <= padding; dx += delta) ++row;
    return row * row;
}

// Processor time of the whole process, every thread included.
double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

std::size_t countedTrials = 0;

double countingRms(const elevationRaster& raster, const std::vector<molaPoint>& points,
                   const trackWeightList* weights, double dx, double dy, double dz) {
    ++countedTrials;
    return testing::sampledRms(raster, points, weights, dx, dy, dz);
}

// Trials of the scene's first rotation stage, counted once by a one-by-one scan.
std::size_t rotationTrials(const preparedScene& prepared) {
    static std::size_t trials = 0;
    if (trials != 0) return trials;
    alignmentModel model(testing::discardedConsole(), prepared.read);
    countedTrials = 0;
    testing::plainRotationStage(model, prepared.rms, -5.0, 5.0, 0.1, countingRms);
    trials = countedTrials;
    return trials;
}

template <typename stage>
void timeStage(benchmark::State& state, std::size_t candidates, stage&& run) {
    const preparedScene& prepared = scene("medium");
    if (prepared.read.notReady) {
        state.SkipWithError("benchmark scene missing: run make bench");
        return;
    }
    runState start = prepared.read;
    start.threadCount = int(state.range(0));
    const std::uint64_t shotsBefore = shotEvaluationsSoFar();
    double processor = 0.0;
    for (auto _ : state) {
        // Every stage starts from the scene as read; making its model is not timed.
        state.PauseTiming();
        alignmentModel model(testing::discardedConsole(), start);
        state.ResumeTiming();
        const double processorBefore = processorSeconds();
        benchmark::DoNotOptimize(run(model, prepared));
        processor += processorSeconds() - processorBefore;
    }
    state.counters["pointEvaluations/s"] =
        benchmark::Counter(double(state.iterations()) * double(candidates) * double(start.molaPoints.size()),
                           benchmark::Counter::kIsRate);
    const double shots = double(shotEvaluationsSoFar() - shotsBefore);
    if (processor > 0.0 && shots > 0.0) state.counters["shotEvaluations/s/core"] = shots / processor;
}

void translationStage(benchmark::State& state, int evaluation) {
    const preparedScene& prepared = scene("medium");
    timeStage(state, translationCandidates(prepared.padding, prepared.delta),
              [evaluation](alignmentModel& model, const preparedScene& start) {
                  if (evaluation == 1)
                      return testing::plainTranslationStage(model, start.rms, start.padding, start.delta,
                                                            testing::sampledRms);
                  if (evaluation == 2)
                      return testing::plainTranslationStage(model, start.rms, start.padding, start.delta,
                                                            testing::referenceRmsOnly);
                  return translationStage(model, start.rms, start.padding, start.delta).rms;
              });
}

void rotationStage(benchmark::State& state, int evaluation) {
    const preparedScene& prepared = scene("medium");
    if (prepared.read.notReady) {
        state.SkipWithError("benchmark scene missing: run make bench");
        return;
    }
    timeStage(state, rotationTrials(prepared), [evaluation](alignmentModel& model, const preparedScene& start) {
        if (evaluation == 1)
            return testing::plainRotationStage(model, start.rms, -5.0, 5.0, 0.1, testing::sampledRms);
        if (evaluation == 2)
            return testing::plainRotationStage(model, start.rms, -5.0, 5.0, 0.1, testing::referenceRmsOnly);
        return rotationStage(model, start.rms, -5.0, 5.0, 0.1).rms;
    });
}

}  // namespace

// The argument is the thread count; the slow scans run once.
BENCHMARK_CAPTURE(translationStage, fast, 0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(translationStage, pointByPoint, 1)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(translationStage, reference, 2)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(rotationStage, fast, 0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(rotationStage, pointByPoint, 1)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(rotationStage, reference, 2)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace kalvex::bench
