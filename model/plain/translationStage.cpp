// The offsets are measured in batches, on as many threads as the model may
// use; each batch is then walked in scan order, which makes the choices and
// the debug lines exactly those of a one-by-one scan. Without debug lines,
// when most shots keep their node over the whole grid, the offsets are
// bounded from below first and only those that may reach the best are measured.
#include "model/plain/translationStage.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <ostream>
#include <limits>
#include <memory>
#include <numeric>
#include <vector>

#include "model/evaluation/errorEvaluator.h"
#include "model/evaluation/searchThreads.h"
#include "model/evaluation/translationBound.h"

namespace kalvex {

namespace {

struct offset {
    double dx;
    double dy;
};

// A scan needs a step that actually moves it from -padding to +padding;
// anything else would never end, so only the unmoved position is tried.
bool scanCanAdvance(double padding, double delta) {
    if (!(delta > 0.0) || !std::isfinite(delta) || !std::isfinite(padding)) return false;
    const double widest = std::fabs(padding);
    return widest + delta != widest;
}

// More offsets than this on each axis would keep a run busy for days (the
// usual grid has 101), so a finer increment is widened to reach it.
constexpr double mostStepsPerAxis = 2000.0;

double usableIncrement(std::ostream& console, double padding, double delta) {
    const double steps = 2.0 * std::fabs(padding) / delta;
    if (steps <= mostStepsPerAxis) return delta;
    const double widened = 2.0 * std::fabs(padding) / mostStepsPerAxis;
    console << "Warning: The translation increment " << delta << " is too small for the translation range "
            << padding << ", using " << widened << std::endl;
    return widened;
}

class translationScan {
public:
    // Every offset added must lie within shift of zero along each axis.
    translationScan(const searchInputs& inputs, double currentRms, double shift)
        : best(currentRms), inputs(inputs), reach{inputs.raster.transform, shift, 0.0},
          evaluator(inputs.raster, inputs.points, &inputs.weights, &reach) {
        batch.reserve(searchBatchLimit);
        // Without the debug lines only the best offset matters, and the order
        // in which the offsets are measured is free.
        if (!inputs.debug && shift > 0.0)
            bound = std::make_unique<translationBound>(evaluator, inputs.raster, inputs.points, &inputs.weights, shift);
    }

    void add(double dx, double dy) {
        if (candidateCount++ == 0) {
            lowest = highest = {dx, dy};
        } else {
            lowest = {std::fmin(lowest.dx, dx), std::fmin(lowest.dy, dy)};
            highest = {std::fmax(highest.dx, dx), std::fmax(highest.dy, dy)};
        }
        batch.push_back({dx, dy});
        if (batch.size() == searchBatchLimit && !bounded()) finishBatch();
    }

    // Measures the pending offsets and walks them in scan order.
    void finishBatch() {
        if (batch.empty()) return;
        if (bounded()) {
            measureBestFirst();
            batch.clear();
            return;
        }
        const std::vector<double> results = measure();
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const double rms = results[k];
            if (!(rms < best)) continue;
            best = rms;
            bestDx = batch[k].dx;
            bestDy = batch[k].dy;
            if (inputs.debug)
                inputs.console << "New Lowest RMS with x-y translation of (" << bestDx << "," << bestDy << ") is " << rms
                               << std::endl;
        }
        batch.clear();
    }

    // An offset on the outermost candidates of a grid may stand for one beyond it.
    bool bestOnEdge() const {
        const bool xEdge = lowest.dx < highest.dx && (bestDx == lowest.dx || bestDx == highest.dx);
        const bool yEdge = lowest.dy < highest.dy && (bestDy == lowest.dy || bestDy == highest.dy);
        return xEdge || yEdge;
    }

    double best;
    double bestDx = 0.0;
    double bestDy = 0.0;

private:
    bool bounded() const { return bound != nullptr && bound->useful(); }

    // The offsets in the order of their lower bounds, each measured against
    // the best RMS so far unless its bound already shows it to lie above that
    // RMS. Every offset that might reach the best RMS is measured in full, so
    // the first in scan order among those that reach it wins, as in the scan.
    void measureBestFirst() {
        std::vector<double> dx(batch.size()), dy(batch.size());
        for (std::size_t k = 0; k < batch.size(); ++k) {
            dx[k] = batch[k].dx;
            dy[k] = batch[k].dy;
        }
        std::vector<std::size_t> counts;
        const std::vector<double> lower = bound->lowerBounds(dx, dy, inputs.threadCount, counts);
        std::vector<std::size_t> order(batch.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return lower[a] < lower[b]; });
        constexpr std::size_t none = std::numeric_limits<std::size_t>::max();
        std::size_t bestIndex = none;
        // Offsets whose bound lies above the limit of their own count are passed over.
        const auto mayReach = [&](std::size_t k) {
            return !(lower[k] > errorEvaluator::squaresLimit(best, counts[k]));
        };
        for (std::size_t next = 0; next < order.size();) {
            std::size_t size = 0;
            std::size_t chosen[errorEvaluator::groupLimit];
            candidatePosition positions[errorEvaluator::groupLimit];
            for (; size < errorEvaluator::groupLimit && next < order.size(); ++next) {
                const std::size_t k = order[next];
                if (!mayReach(k)) continue;
                chosen[size] = k;
                positions[size++] = {inputs.raster.transform, dx[k], dy[k], 0.0};
            }
            if (size == 0) break;
            double results[errorEvaluator::groupLimit];
            evaluator.rmsUnlessAboveEach(positions, size, best, results);
            for (std::size_t j = 0; j < size; ++j) {
                const std::size_t k = chosen[j];
                if (results[j] < best) {
                    best = results[j];
                    bestIndex = k;
                } else if (results[j] == best && bestIndex != none && k < bestIndex) {
                    bestIndex = k;
                }
            }
        }
        if (bestIndex == none) return;
        bestDx = dx[bestIndex];
        bestDy = dy[bestIndex];
    }

    std::vector<double> measure() const {
        const geoTransform& transform = inputs.raster.transform;
        // Neighbouring offsets read nearly the same cells: they are measured together.
        return measureCandidateRuns(batch.size(), errorEvaluator::groupLimit, inputs.threadCount, best,
                                    [&](std::size_t first, std::size_t end, double bound, double* results) {
                                        candidatePosition positions[errorEvaluator::groupLimit];
                                        for (std::size_t k = first; k < end; ++k)
                                            positions[k - first] = {transform, batch[k].dx, batch[k].dy, 0.0};
                                        evaluator.rmsUnlessAboveEach(positions, end - first, bound, results);
                                    });
    }

    const searchInputs& inputs;
    searchReach reach;
    errorEvaluator evaluator;
    std::unique_ptr<translationBound> bound;
    std::vector<offset> batch;
    std::size_t candidateCount = 0;
    offset lowest{0.0, 0.0};
    offset highest{0.0, 0.0};
};

}  // namespace

translationOutcome searchTranslation(const searchInputs& inputs, double currentRms, double padding, double delta) {
    if (inputs.debug) inputs.console << "Beginning Translation Stage" << std::endl;

    const bool advances = scanCanAdvance(padding, delta);
    translationScan scan(inputs, currentRms, advances ? std::fabs(padding) : 0.0);
    if (advances) {
        delta = usableIncrement(inputs.console, padding, delta);
        // 0 - padding rather than -padding: a zero padding reports 0, not -0.
        const double first = 0.0 - padding;
        for (double dy = first; dy <= padding; dy += delta)
            for (double dx = first; dx <= padding; dx += delta) scan.add(dx, dy);
    } else {
        scan.add(0.0, 0.0);
    }
    scan.finishBatch();

    inputs.console << "x-translation: " << scan.bestDx << std::endl;
    inputs.console << "y-translation: " << scan.bestDy << std::endl;
    return {scan.best, scan.bestDx, scan.bestDy, scan.bestOnEdge()};
}

}  // namespace kalvex
