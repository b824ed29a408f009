#include "model/robust/robustStages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/evaluation/positionUncertainty.h"
#include "model/evaluation/searchThreads.h"
#include "model/raster/rasterExtent.h"
#include "model/robust/robustRefinement.h"
#include "model/robust/robustSearch.h"

namespace kalvex {

namespace {

// A coarse step of a few cells still lands in the valley of the right
// position on terrain of any use; below a twentieth of a cell the grid gives
// way to the lowest point of the quadratic through its values.
constexpr double coarsestStep = 3.0;
constexpr double finestStep = 0.05;
constexpr double gridSteps = 8.0;  // coarse steps across a range when the range is small
// A range so wide that the coarse grid would need more steps than this each
// way gets a coarser step instead: its candidates grow with the square of its
// steps, and a hundred each way already take as long as reading a raster of a
// hundred million cells. The default range of such a raster, a thousand
// cells, is then searched in steps of ten.
constexpr double mostCoarseSteps = 100.0;

// The grids only bring the search into the valley of the right position and
// within a step of it, which an even share of the shots over every track
// shows as well as all of them; the refinement that ends the search, whose
// position is the answer, measures them all.
constexpr std::size_t thinnedShotCount = 500;

// Where a turn pivots is a sum over the shots of how the terrain under each
// sees a turn and a translation: tens of thousands of shots spread over every
// track tell it as well as millions.
constexpr std::size_t pivotShotCount = 20000;

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

std::vector<double> measureEach(const searchInputs& inputs, std::size_t count,
                                const std::function<double(std::size_t)>& measure) {
    return measureCandidates(count, inputs.threadCount, HUGE_VAL, [&measure](std::size_t k, double) { return measure(k); });
}

// Fewer shots than this in common are no basis for comparing candidates.
constexpr std::size_t fewestCommonShots = 10;

using candidateMap = std::function<cellMap(const gridCandidate&)>;

// The shots that have a model elevation throughout the box of the
// candidates, when they are at least half of those the box's middle has;
// none otherwise.
std::vector<std::size_t> sharedShots(const robustPlacement& placement, const std::vector<gridCandidate>& candidates,
                                     const candidateMap& mapOf, double pad) {
    gridCandidate low{HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL};
    for (const gridCandidate& c : candidates) {
        low = {std::fmin(low.first, c.first), std::fmin(low.second, c.second)};
        high = {std::fmax(high.first, c.first), std::fmax(high.second, c.second)};
    }
    const gridCandidate middle{0.5 * (low.first + high.first), 0.5 * (low.second + high.second)};
    const std::vector<cellMap> extremes{mapOf(low), mapOf({high.first, low.second}), mapOf({low.first, high.second}),
                                        mapOf(high), mapOf(middle)};
    std::vector<std::size_t> common = placement.modelledThroughout(extremes, pad);
    if (common.size() >= fewestCommonShots && 2 * common.size() >= placement.modelledCount(mapOf(middle)))
        return common;
    return {};
}

// Each candidate measured on the placement's shots, on as many threads as the search may use.
std::vector<robustMeasure> measureOn(const searchInputs& inputs, const robustPlacement& placement,
                                     const std::vector<gridCandidate>& candidates, const candidateMap& mapOf) {
    std::vector<robustMeasure> measures(candidates.size());
    measureEach(inputs, candidates.size(), [&](std::size_t k) {
        measures[k] = placement.measure(mapOf(candidates[k]));
        return measures[k].rms;
    });
    return measures;
}

// Measured each on its own shots, a candidate that sees fewer than half of
// what the best covered sees has no value.
void dropThoseThatSeeLittle(std::vector<robustMeasure>& measures) {
    std::size_t largest = 0;
    for (const robustMeasure& m : measures) largest = std::max(largest, m.available);
    for (robustMeasure& m : measures)
        if (2 * m.available < largest) m.rms = notANumber;
}

// The measures of the candidates on shots that every one of them can compare.
// A shot that has a model elevation at some candidates and none at others
// (it lies by an edge of the raster or of its data) would make their
// trimmed measures those of different shots, and pull the search towards
// whichever keeps the shots that suit it. So the candidates are measured on
// the shots that have a model elevation throughout the grid. A grid as wide
// as the raster has no such shots: each candidate then has its own.
std::vector<robustMeasure> measureComparably(const searchInputs& inputs, const robustPlacement& placement,
                                             const std::vector<gridCandidate>& candidates, const candidateMap& mapOf,
                                             double pad) {
    const std::vector<std::size_t> common = sharedShots(placement, candidates, mapOf, pad);
    if (!common.empty()) {
        const robustShots shared = shotSubset(placement.measured(), common);
        return measureOn(inputs, robustPlacement(inputs.raster, shared), candidates, mapOf);
    }
    std::vector<robustMeasure> measures = measureOn(inputs, placement, candidates, mapOf);
    dropThoseThatSeeLittle(measures);
    return measures;
}

// The refinement stays within the box the finest grid on thinned shots
// spanned about its best, and is measured on the shots that have a model
// elevation throughout that box, as that grid's candidates were.
constexpr double refinementReach = 4.0 * finestStep;

struct refinedSearch {
    searchOutcome outcome;
    robustMeasure atOutcome;
    robustMeasure atOrigin;  // on the same shots
};

// The grids on thinned shots end within a step of the lowest measure; the
// refinement on every shot that can compare finds it. The search's origin
// (where the raster lies, or no turn) is measured on the same shots and kept
// when the refinement ends no lower: where a round's refinement left the
// raster, the next round's thinned grids may see a neighbour as better, and
// that neighbour is no reason to move.
refinedSearch refineOnEveryShot(const searchInputs& inputs, const robustPlacement& all, const candidateMap& mapOf,
                                const gridCandidate& best, const gridCandidate& origin, bool secondAxis, double pad) {
    const double reachBeyond = secondAxis ? refinementReach : 0.0;
    const std::vector<gridCandidate> box{origin,
                                         {best.first - refinementReach, best.second - reachBeyond},
                                         {best.first + refinementReach, best.second + reachBeyond}};
    const std::vector<std::size_t> common = sharedShots(all, box, mapOf, pad);
    const positionCellMap mapAt = [&mapOf](const refinementPoint& p) { return mapOf({p[0], p[1]}); };
    const refinementTask task{{best.first, best.second}, secondAxis ? 2u : 1u, refinementReach};
    const refinedPosition refined = refinePosition(all, common, mapAt, task, inputs.threadCount);
    std::vector<robustMeasure> measures{measureOnShots(all, common, mapAt, {origin.first, origin.second},
                                                       inputs.threadCount),
                                        refined.measure};
    if (common.empty()) dropThoseThatSeeLittle(measures);
    refinedSearch found;
    found.atOrigin = measures[0];
    const bool moves = measures[1].rms < measures[0].rms;
    found.atOutcome = moves ? measures[1] : measures[0];
    found.outcome = {moves ? gridCandidate{refined.position[0], refined.position[1]} : origin, found.atOutcome.rms};
    return found;
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
pivotNode decoupledPivot(const searchInputs& inputs, const robustShots& shots) {
    double sumX = 0.0, sumY = 0.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i) sumX += shots.x[i], sumY += shots.y[i];
    const double count = double(std::max<std::size_t>(shots.x.size(), 1));
    const pivotNode middle = nodeNearest(inputs.raster, sumX / count, sumY / count);
    const std::vector<double> weights = keptShotWeights(inputs.raster, shots, inputs.points.size());
    const positionVector offset =
        decouplingPivotOffset(shotSensitivities(inputs.raster, inputs.points, weights, middle.x, middle.y));
    const double cell = shorterCellSide(inputs.raster.transform);
    return nodeNearest(inputs.raster, middle.x + offset[0] * cell, middle.y + offset[1] * cell);
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

std::vector<robustMeasure> measureOffsets(const searchInputs& inputs, const robustPlacement& measured,
                                          const std::vector<gridCandidate>& candidates) {
    const double cell = shorterCellSide(inputs.raster.transform);
    const candidateMap mapOf = [&](const gridCandidate& c) {
        return measured.translationMap(c.first * cell, c.second * cell);
    };
    return measureComparably(inputs, measured, candidates, mapOf, 0.0);
}

}  // namespace

offsetFound searchRobustOffset(const searchInputs& inputs, const robustShots& shots, double reach, double startX,
                               double startY) {
    const double cell = shorterCellSide(inputs.raster.transform);
    const gridPlacements placements(inputs.raster, shots);
    const gridMeasure measure = [&](const std::vector<gridCandidate>& candidates, bool decisive) {
        return valuesOf(measureOffsets(inputs, placements.forGrid(decisive), candidates));
    };
    const candidateMap mapOf = [&](const gridCandidate& c) {
        return placements.forGrid(true).translationMap(c.first * cell, c.second * cell);
    };
    searchPlan plan = planFor(reach, true);
    plan.start = {startX / cell, startY / cell};
    plan.refine = [&](const gridCandidate& best) {
        return refineOnEveryShot(inputs, placements.forGrid(true), mapOf, best, plan.start, true, 0.0).outcome;
    };
    const searchOutcome outcome = searchCoarseToFine(measure, plan);
    return {outcome.best.first * cell, outcome.best.second * cell, outcome.value};
}

probeFound probeRobustly(const searchInputs& inputs, const robustShots& shots, double reach, double startX,
                         double startY) {
    const offsetFound best = searchRobustOffset(inputs, shots, reach, startX, startY);
    const double cell = shorterCellSide(inputs.raster.transform);
    const robustPlacement placement(inputs.raster, shots);
    const std::vector<robustMeasure> pair =
        measureOffsets(inputs, placement, {{0.0, 0.0}, {best.dx / cell, best.dy / cell}});
    return {std::hypot(best.dx, best.dy) / cell, pair[1].rms, pair[0].rms};
}

turnFound searchRobustTurn(const searchInputs& inputs, const robustShots& shots, double reach) {
    const pivotNode pivot = decoupledPivot(inputs, thinnedShots(shots, pivotShotCount));
    const double cell = shorterCellSide(inputs.raster.transform);
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
    const gridPlacements placements(inputs.raster, shots);
    const auto measureTurns = [&](const std::vector<gridCandidate>& candidates, bool decisive) {
        const robustPlacement& measured = placements.forGrid(decisive);
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (const gridCandidate& c : candidates) low = std::fmin(low, c.first), high = std::fmax(high, c.first);
        const double sagitta = farthest * (1.0 - std::cos(0.5 * (high - low) / farthest));
        const candidateMap mapOf = [&](const gridCandidate& c) {
            return measured.turnMap(-c.first * degreesPerCell, pivot.x, pivot.y);
        };
        return measureComparably(inputs, measured, candidates, mapOf, sagitta + 1e-6);
    };
    const gridMeasure measure = [&](const std::vector<gridCandidate>& candidates, bool decisive) {
        return valuesOf(measureTurns(candidates, decisive));
    };
    // No turn and the turn found, on the same shots: the refinement measures
    // both; a search that measured nothing has them measured here.
    std::vector<robustMeasure> pair;
    searchPlan plan = planFor(reach / degreesPerCell, false);
    plan.refine = [&](const gridCandidate& best) {
        const robustPlacement& all = placements.forGrid(true);
        const candidateMap mapOf = [&](const gridCandidate& c) {
            return all.turnMap(-c.first * degreesPerCell, pivot.x, pivot.y);
        };
        const double span = std::fabs(best.first) + 2.0 * refinementReach;
        const double sagitta = farthest * (1.0 - std::cos(0.5 * span / farthest));
        const refinedSearch refined = refineOnEveryShot(inputs, all, mapOf, best, {0.0, 0.0}, false, sagitta + 1e-6);
        pair = {refined.atOrigin, refined.atOutcome};
        return refined.outcome;
    };
    const searchOutcome outcome = searchCoarseToFine(measure, plan);
    found.angle = outcome.best.first * degreesPerCell;
    if (pair.empty()) pair = measureTurns({{0.0, 0.0}, outcome.best}, true);
    found.rms = pair[1].rms;
    const double gain = double(pair[1].kept) * (pair[0].rms * pair[0].rms - found.rms * found.rms);
    found.beyondChance = gain > turnSignificance * found.rms * found.rms;
    return found;
}

}  // namespace kalvex
