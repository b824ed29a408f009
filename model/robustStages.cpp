#include "model/robustStages.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

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
// independent; a turn is believed only when it gains many times that.
constexpr double turnSignificance = 25.0;

// Residuals beyond this many robust standard deviations are clipped before
// their correlation is taken, so that a few gross errors cannot fake one.
constexpr double correlationClip = 3.0;

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

struct pivotNode {
    int column = 0;
    int row = 0;
    double x = 0.0;
    double y = 0.0;
};

// The node nearest the shots' mean position, on the raster: turning about the
// middle of the shots leaves where they lie on average, and so the
// translation already found, nearly as it was.
pivotNode nodeNearestMiddle(const elevationRaster& raster, const robustShots& shots) {
    double sumX = 0.0, sumY = 0.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i) sumX += shots.x[i], sumY += shots.y[i];
    const double count = double(std::max<std::size_t>(shots.x.size(), 1));
    const geoTransform& t = raster.transform;
    const double u = sumX / count - t[0];
    const double v = sumY / count - t[3];
    const double det = t.determinant();
    const double column = std::round((u * t[5] - v * t[2]) / det);
    const double row = std::round((v * t[1] - u * t[4]) / det);
    pivotNode pivot;
    if (std::isfinite(column)) pivot.column = int(std::fmax(0.0, std::fmin(column, double(raster.width) - 1.0)));
    if (std::isfinite(row)) pivot.row = int(std::fmax(0.0, std::fmin(row, double(raster.height) - 1.0)));
    pivot.x = raster.nodeX(pivot.column, pivot.row);
    pivot.y = raster.nodeY(pivot.column, pivot.row);
    return pivot;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Neighbouring shots of a track see nearly the same error of the raster, so
// their residuals are not independent and chance alone gains more than one
// mean square per parameter: for residuals correlated by rho from shot to
// shot, (1 + rho) / (1 - rho) times as much.
double correlationInflation(const alignmentModel& model, const robustShots& shots) {
    const std::vector<double> residuals = robustResiduals(model.raster, shots);
    std::vector<double> sizes;
    for (double residual : residuals)
        if (std::isfinite(residual)) sizes.push_back(std::fabs(residual));
    const double clip = correlationClip * 1.4826 * median(sizes);
    const auto clipped = [clip](double residual) { return std::clamp(residual, -clip, clip); };
    double products = 0.0, squares = 0.0;
    for (std::size_t i = 0; i + 1 < residuals.size(); ++i) {
        const bool sameTrack = model.molaPoints[shots.source[i]].trackIndex ==
                               model.molaPoints[shots.source[i + 1]].trackIndex;
        if (!sameTrack || !std::isfinite(residuals[i]) || !std::isfinite(residuals[i + 1])) continue;
        products += clipped(residuals[i]) * clipped(residuals[i + 1]);
        squares += 0.5 * (clipped(residuals[i]) * clipped(residuals[i]) + clipped(residuals[i + 1]) * clipped(residuals[i + 1]));
    }
    const double rho = squares > 0.0 ? std::clamp(products / squares, 0.0, 0.98) : 0.0;
    return (1.0 + rho) / (1.0 - rho);
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

}  // namespace

offsetFound searchRobustOffset(const alignmentModel& model, const robustShots& shots, double reach) {
    const double cell = shorterCellSide(model.raster.transform);
    const gridPlacements placements(model.raster, shots);
    const gridMeasure measure = [&](const std::vector<gridCandidate>& candidates, bool decisive) {
        const robustPlacement& measured = placements.forGrid(decisive);
        return measureEach(model, candidates.size(), [&](std::size_t k) {
            return measured.translated(candidates[k].first * cell, candidates[k].second * cell).rms;
        });
    };
    const searchOutcome outcome = searchCoarseToFine(measure, planFor(reach, true));
    return {outcome.best.first * cell, outcome.best.second * cell, outcome.value};
}

turnFound searchRobustTurn(const alignmentModel& model, const robustShots& shots, double reach) {
    const pivotNode pivot = nodeNearestMiddle(model.raster, shots);
    const double cell = shorterCellSide(model.raster.transform);
    double farthest = 0.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i)
        farthest = std::fmax(farthest, std::hypot(shots.x[i] - pivot.x, shots.y[i] - pivot.y) / cell);
    turnFound found{pivot.column, pivot.row, 0.0, notANumber, false};
    if (!(farthest > 0.0) || !std::isfinite(farthest)) return found;

    // A turn of the raster by an angle samples it where the shots turned the other way lie.
    const double degreesPerCell = 180.0 / pi / farthest;
    const gridPlacements placements(model.raster, shots);
    const auto measureAt = [&](double angle, bool decisive) {
        return placements.forGrid(decisive).turned(-angle, pivot.x, pivot.y);
    };
    const gridMeasure measure = [&](const std::vector<gridCandidate>& candidates, bool decisive) {
        return measureEach(model, candidates.size(),
                           [&](std::size_t k) { return measureAt(candidates[k].first * degreesPerCell, decisive).rms; });
    };
    const searchOutcome outcome = searchCoarseToFine(measure, planFor(reach / degreesPerCell, false));
    found.angle = outcome.best.first * degreesPerCell;
    found.rms = outcome.value;
    const double kept = double(measureAt(found.angle, true).kept);
    const double startValue = measureAt(0.0, true).rms;
    const double gain = kept * (startValue * startValue - found.rms * found.rms);
    const double inflation = correlationInflation(model, turnedShots(shots, -found.angle, pivot.x, pivot.y));
    found.beyondNoise = gain > turnSignificance * inflation * found.rms * found.rms;
    return found;
}

}  // namespace kalvex
