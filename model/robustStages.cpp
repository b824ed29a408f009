#include "model/robustStages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/positionUncertainty.h"
#include "model/rasterExtent.h"
#include "model/robustSearch.h"
#include "model/searchThreads.h"

namespace kalvex {

namespace {


// A coarse step of a few cells still lands in the valley of the right
// position on terrain of any use; below a twentieth of a cell the grid gives
// way to the lowest point of the quadratic through its values.
constexpr double coarsestStep = 3.0;
constexpr double finestStep = 0.05;
constexpr double gridSteps = 8.0;  // coarse steps across a range when the range is small
// A range so wide that the coarse grid would need more steps than this each
// way gets a coarser step instead: a search that would run for days is no search.
constexpr double mostCoarseSteps = 200.0;

// The grids before the last only bring the search into the valley of the
// right position and within a step of it, which an even share of the shots
// over every track shows as well as all of them; the last grid, whose lowest
// value is the answer, measures them all.
constexpr std::size_t thinnedShotCount = 500;

// Fitting one more parameter to shots with no turn in them lowers the kept sum
// of squares by about one kept residual's mean square, when the residuals are
// independent; a turn is worth trying only when it gains many times that.
constexpr double turnSignificance = 25.0;

searchPlan planFor(double reach, bool secondAxis) {
    searchPlan plan;
    plan.secondAxis = secondAxis;
    plan.firstRange = reach;
    plan.secondRange = secondAxis ? reach : 0.0;
    plan.coarseStep = std::fmax(std::clamp(reach / gridSteps, 4.0 * finestStep, coarsestStep), reach / mostCoarseSteps);
    plan.finestStep = finestStep;
    return plan;
}

std::vector<double> measureEach(const alignmentModel& model, std::size_t count,
                                const std::function<double(std::size_t)>& measure) {
    return measureCandidates(count, model.threadCount, HUGE_VAL, [&measure](std::size_t k, double) { return measure(k); });
}

// Fewer shots than this in common are no basis for comparing candidates.
constexpr std::size_t fewestCommonShots = 10;

using candidateMap = std::function<cellMap(const gridCandidate&)>;

// The measures of the candidates on shots that every one of them can compare.
// A shot that has a model elevation at some candidates and none at others
// (it lies by an edge of the raster or of its data) would make their
// trimmed measures those of different shots, and pull the search towards
// whichever keeps the shots that suit it. So the candidates are measured on
// the shots that have a model elevation throughout the grid, when these are
// at least half of those the grid's middle has. A grid as wide as the raster
// has no such shots: each candidate then has its own, and one that has fewer
// than half of what the best covered has no value.
std::vector<robustMeasure> measureComparably(const alignmentModel& model, const robustPlacement& placement,
                                             const std::vector<gridCandidate>& candidates, const candidateMap& mapOf,
                                             double pad) {
    gridCandidate low{HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL};
    for (const gridCandidate& c : candidates) {
        low = {std::fmin(low.first, c.first), std::fmin(low.second, c.second)};
        high = {std::fmax(high.first, c.first), std::fmax(high.second, c.second)};
    }
    const gridCandidate middle{0.5 * (low.first + high.first), 0.5 * (low.second + high.second)};
    const std::vector<cellMap> extremes{mapOf(low), mapOf({high.first, low.second}), mapOf({low.first, high.second}),
                                        mapOf(high), mapOf(middle)};
    const std::vector<std::size_t> common = placement.modelledThroughout(extremes, pad);
    std::vector<robustMeasure> measures(candidates.size());
    const auto measureAll = [&](const robustPlacement& measured) {
        measureEach(model, candidates.size(), [&](std::size_t k) {
            measures[k] = measured.measure(mapOf(candidates[k]));
            return measures[k].rms;
        });
    };
    if (common.size() >= fewestCommonShots && 2 * common.size() >= placement.modelledCount(mapOf(middle))) {
        const robustShots shared = shotSubset(placement.measured(), common);
        measureAll(robustPlacement(model.raster, shared));
        return measures;
    }
    measureAll(placement);
    std::size_t largest = 0;
    for (const robustMeasure& m : measures) largest = std::max(largest, m.available);
    for (robustMeasure& m : measures)
        if (2 * m.available < largest) m.rms = notANumber;
    return measures;
}

std::vector<double> valuesOf(const std::vector<robustMeasure>& measures) {
    std::vector<double> values;
    values.reserve(measures.size());
    for (const robustMeasure& m : measures) values.push_back(m.rms);
    return values;
}

struct pivotNode {
    int column = 0;
    int row = 0;
    double x = 0.0;
    double y = 0.0;
};

// The node nearest a map position, on the raster.
pivotNode nodeNearest(const elevationRaster& raster, double x, double y) {
    const nodePosition at = raster.transform.nodeOf(x, y);
    pivotNode pivot;
    const auto nodeOn = [](double position, std::uint32_t count) {
        return std::isfinite(position) ? int(std::fmax(0.0, std::fmin(std::round(position), double(count) - 1.0))) : 0;
    };
    pivot.column = nodeOn(at.column, raster.width);
    pivot.row = nodeOn(at.row, raster.height);
    pivot.x = raster.nodeX(pivot.column, pivot.row);
    pivot.y = raster.nodeY(pivot.column, pivot.row);
    return pivot;
}

// The pivot about which a turn changes nothing that a translation could, as
// the terrain under the kept shots tells: the node nearest it, starting from
// the middle of the shots. Searched about it, the turn leaves the
// translation already found as it was, and the rounds need not chase one
// with the other.
pivotNode decoupledPivot(const alignmentModel& model, const robustShots& shots) {
    double sumX = 0.0, sumY = 0.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i) sumX += shots.x[i], sumY += shots.y[i];
    const double count = double(std::max<std::size_t>(shots.x.size(), 1));
    const pivotNode middle = nodeNearest(model.raster, sumX / count, sumY / count);
    const std::vector<double> weights = keptShotWeights(model.raster, shots, model.molaPoints.size());
    const positionVector offset =
        decouplingPivotOffset(shotSensitivities(model.raster, model.molaPoints, weights, middle.x, middle.y));
    const double cell = shorterCellSide(model.raster.transform);
    return nodeNearest(model.raster, middle.x + offset[0] * cell, middle.y + offset[1] * cell);
}

// The shots placed on the raster twice: all of them, for the grid that
// decides, and an even share of them, for the grids before it.
class gridPlacements {
public:
    gridPlacements(const elevationRaster& raster, const robustShots& shots)
        : fewer(thinnedShots(shots, thinnedShotCount)), all(raster, shots), thinned(raster, fewer) {}
    gridPlacements(const gridPlacements&) = delete;
    gridPlacements& operator=(const gridPlacements&) = delete;

    const robustPlacement& forGrid(bool decisive) const { return decisive ? all : thinned; }

private:
    robustShots fewer;
    robustPlacement all;
    robustPlacement thinned;
};

std::vector<robustMeasure> measureOffsets(const alignmentModel& model, const robustPlacement& measured,
                                          const std::vector<gridCandidate>& candidates) {
    const double cell = shorterCellSide(model.raster.transform);
    const candidateMap mapOf = [&](const gridCandidate& c) {
        return measured.translationMap(c.first * cell, c.second * cell);
    };
    return measureComparably(model, measured, candidates, mapOf, 0.0);
}

}  // namespace

offsetFound searchRobustOffset(const alignmentModel& model, const robustShots& shots, double reach, double startX,
                               double startY) {
    const double cell = shorterCellSide(model.raster.transform);
    const gridPlacements placements(model.raster, shots);
    const gridMeasure measure = [&](const std::vector<gridCandidate>& candidates, bool decisive) {
        return valuesOf(measureOffsets(model, placements.forGrid(decisive), candidates));
    };
    searchPlan plan = planFor(reach, true);
    plan.start = {startX / cell, startY / cell};
    const searchOutcome outcome = searchCoarseToFine(measure, plan);
    return {outcome.best.first * cell, outcome.best.second * cell, outcome.value};
}

probeFound probeRobustly(const alignmentModel& model, const robustShots& shots, double reach, double startX,
                         double startY) {
    const offsetFound best = searchRobustOffset(model, shots, reach, startX, startY);
    const double cell = shorterCellSide(model.raster.transform);
    const robustPlacement placement(model.raster, shots);
    const std::vector<robustMeasure> pair =
        measureOffsets(model, placement, {{0.0, 0.0}, {best.dx / cell, best.dy / cell}});
    return {std::hypot(best.dx, best.dy) / cell, pair[1].rms, pair[0].rms};
}

turnFound searchRobustTurn(const alignmentModel& model, const robustShots& shots, double reach) {
    const pivotNode pivot = decoupledPivot(model, shots);
    const double cell = shorterCellSide(model.raster.transform);
    double farthest = 0.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i)
        farthest = std::fmax(farthest, std::hypot(shots.x[i] - pivot.x, shots.y[i] - pivot.y) / cell);
    turnFound found{pivot.column, pivot.row, 0.0, notANumber, false};
    if (!(farthest > 0.0) || !std::isfinite(farthest)) return found;

    // A turn of the raster by an angle samples it where the shots turned the
    // other way lie. Candidates are in cells that the farthest shot moves;
    // between two angles a shot moves along an arc, which bulges beyond the
    // box of its ends and middle by at most the arc's sagitta.
    const double degreesPerCell = 180.0 / pi / farthest;
    const gridPlacements placements(model.raster, shots);
    const auto measureTurns = [&](const std::vector<gridCandidate>& candidates, bool decisive) {
        const robustPlacement& measured = placements.forGrid(decisive);
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (const gridCandidate& c : candidates) low = std::fmin(low, c.first), high = std::fmax(high, c.first);
        const double sagitta = farthest * (1.0 - std::cos(0.5 * (high - low) / farthest));
        const candidateMap mapOf = [&](const gridCandidate& c) {
            return measured.turnMap(-c.first * degreesPerCell, pivot.x, pivot.y);
        };
        return measureComparably(model, measured, candidates, mapOf, sagitta + 1e-6);
    };
    const gridMeasure measure = [&](const std::vector<gridCandidate>& candidates, bool decisive) {
        return valuesOf(measureTurns(candidates, decisive));
    };
    const searchOutcome outcome = searchCoarseToFine(measure, planFor(reach / degreesPerCell, false));
    found.angle = outcome.best.first * degreesPerCell;
    // Against no turn, on the same shots.
    const std::vector<robustMeasure> pair = measureTurns({{0.0, 0.0}, outcome.best}, true);
    found.rms = pair[1].rms;
    const double gain = double(pair[1].kept) * (pair[0].rms * pair[0].rms - found.rms * found.rms);
    found.beyondChance = gain > turnSignificance * found.rms * found.rms;
    return found;
}

}  // namespace kalvex
