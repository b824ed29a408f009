#include "model/robust/robustSearch.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>

namespace kalvex {

namespace {

constexpr double shrinkFactor = 4.0;

// A lowest value that keeps running away is a measure without a minimum in
// reach (a raster sliding off the shots); the search then keeps what it has.
constexpr int mostMoves = 25;

// More steps than this each way would take days; the caller widens its step first.
constexpr int mostSteps = 100000;

struct grid {
    gridCandidate centre;
    double step = 1.0;
    int firstReach = 0;
    int secondReach = 0;

    std::vector<gridCandidate> candidates() const {
        std::vector<gridCandidate> list;
        for (int j = -secondReach; j <= secondReach; ++j)
            for (int i = -firstReach; i <= firstReach; ++i)
                list.push_back({centre.first + i * step, centre.second + j * step});
        return list;
    }
    bool onEdge(std::size_t index) const {
        const int width = 2 * firstReach + 1;
        const int i = int(index % std::size_t(width)) - firstReach;
        const int j = int(index / std::size_t(width)) - secondReach;
        return (firstReach > 0 && std::abs(i) == firstReach) || (secondReach > 0 && std::abs(j) == secondReach);
    }
    // The value at (i, j) steps from the candidate at index, or NaN beyond the grid.
    double near(const std::vector<double>& values, std::size_t index, int i, int j) const {
        const int width = 2 * firstReach + 1;
        const int column = int(index % std::size_t(width)) + i;
        const int row = int(index / std::size_t(width)) + j;
        if (column < 0 || column >= width || row < 0 || row > 2 * secondReach) return notANumber;
        return values[std::size_t(row) * std::size_t(width) + std::size_t(column)];
    }
};

// Steps each way that reach at least the range; none for a range that is no number.
int reachFor(double range, double step) {
    const double steps = std::ceil(range / step - 1e-9);
    return steps > 0.0 ? int(std::fmin(steps, double(mostSteps))) : 0;
}

// The first strictly lowest value; none when every value is NaN.
std::ptrdiff_t lowestIndex(const std::vector<double>& values) {
    std::ptrdiff_t lowest = -1;
    for (std::size_t k = 0; k < values.size(); ++k)
        if (values[k] < (lowest < 0 ? HUGE_VAL : values[std::size_t(lowest)])) lowest = std::ptrdiff_t(k);
    return lowest;
}

// Where the quadratic through the values about the lowest one has its lowest
// point, in steps from it: the finest grid still leaves the answer up to half
// a step away. Nothing when the values do not form a bowl about it.
std::optional<gridCandidate> vertexOffset(const grid& window, const std::vector<double>& values, std::size_t lowest) {
    if (window.secondReach == 0) {
        const double below = window.near(values, lowest, -1, 0), above = window.near(values, lowest, 1, 0);
        const double slope = 0.5 * (above - below);
        const double curvature = 0.5 * (above + below) - values[lowest];
        if (!(curvature > 0.0)) return std::nullopt;
        return gridCandidate{-slope / (2.0 * curvature), 0.0};
    }
    // The least-squares quadratic a + b i + c j + d i^2 + e i j + g j^2 over the
    // 3 x 3 values: on this grid every term is found on its own.
    double sumI = 0.0, sumJ = 0.0, sumIJ = 0.0, column[3] = {}, row[3] = {};
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            const double value = window.near(values, lowest, i, j);
            if (std::isnan(value)) return std::nullopt;
            sumI += i * value, sumJ += j * value, sumIJ += i * j * value;
            column[i + 1] += value, row[j + 1] += value;
        }
    const double b = sumI / 6.0, c = sumJ / 6.0, e = sumIJ / 4.0;
    const double d = (column[0] + column[2]) / 6.0 - column[1] / 3.0;
    const double g = (row[0] + row[2]) / 6.0 - row[1] / 3.0;
    const double det = 4.0 * d * g - e * e;
    if (!(d > 0.0) || !(det > 0.0)) return std::nullopt;
    const gridCandidate vertex{(e * c - 2.0 * g * b) / det, (e * b - 2.0 * d * c) / det};
    if (std::fabs(vertex.first) > 1.0 || std::fabs(vertex.second) > 1.0) return std::nullopt;
    return vertex;
}

// The vertex is measured like any candidate, beside the best so that both
// are measured alike, and kept only when it is lower.
searchOutcome closerToVertex(const gridMeasure& measure, const grid& window, const std::vector<double>& values,
                             std::size_t lowest, searchOutcome outcome) {
    const std::optional<gridCandidate> vertex = vertexOffset(window, values, lowest);
    if (!vertex) return outcome;
    const gridCandidate candidate{outcome.best.first + vertex->first * window.step,
                                  outcome.best.second + vertex->second * window.step};
    const std::vector<double> pair = measure({outcome.best, candidate}, true);
    if (pair[1] < pair[0]) outcome.best = candidate, outcome.value = pair[1];
    return outcome;
}

}  // namespace

searchOutcome searchCoarseToFine(const gridMeasure& measure, const searchPlan& plan) {
    searchOutcome outcome;
    if (!(plan.coarseStep > 0.0) || !(plan.finestStep > 0.0)) return outcome;
    grid window{plan.start, plan.coarseStep, reachFor(plan.firstRange, plan.coarseStep),
                plan.secondAxis ? reachFor(plan.secondRange, plan.coarseStep) : 0};
    // A range of 0 asks for no search: a finer grid would still wander off.
    const bool refine = window.firstReach > 0 || window.secondReach > 0;
    for (;;) {
        std::vector<double> values;
        std::ptrdiff_t lowest = -1;
        for (int moves = 0;; ++moves) {
            const std::vector<gridCandidate> candidates = window.candidates();
            values = measure(candidates, !refine || (window.step <= plan.finestStep && !plan.refine));
            lowest = lowestIndex(values);
            if (lowest < 0) return outcome;
            outcome.best = candidates[std::size_t(lowest)];
            outcome.value = values[std::size_t(lowest)];
            if (!window.onEdge(std::size_t(lowest)) || moves == mostMoves) break;
            window.centre = outcome.best;
        }
        if (!refine) return outcome;
        if (window.step <= plan.finestStep && plan.refine) return plan.refine(outcome.best);
        if (window.step <= plan.finestStep) return closerToVertex(measure, window, values, std::size_t(lowest), outcome);
        window.centre = outcome.best;
        const double finer = std::max(window.step / shrinkFactor, plan.finestStep);
        window.firstReach = reachFor(window.step, finer);
        window.secondReach = plan.secondAxis ? window.firstReach : 0;
        window.step = finer;
    }
}

}  // namespace kalvex
