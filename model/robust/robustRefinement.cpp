#include "model/robust/robustRefinement.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "model/evaluation/searchThreads.h"
#include "model/raster/localPlane.h"

namespace kalvex {

namespace {

constexpr int mostPasses = 24;
// The kept share changes with the position, so the steps shrink by about half
// from one to the next: a step shorter than this (in cells, or cells the
// farthest shot moves) leaves about as much to go, which is nothing a user
// would act on.
constexpr double settledStep = 1e-3;
constexpr int measureRefits = 2;
constexpr double mostStretch = 4.0;
// A step that raises the trimmed sum of squares went beyond where the
// terrain's gradients hold; it is halved this often before the position stays.
constexpr int mostHalvings = 8;
// The position's map is affine in a translation and smooth in a turn: its
// rate of change is taken over this much each way.
constexpr double rateSpan = 1e-3;
// Below this share of its diagonal a pivot of the normal matrix is rounding:
// the shots do not fix that unknown beyond those before it.
constexpr double blindPivot = 1e-10;

// Shots a thread takes at a time in a pass.
constexpr std::size_t shotsPerPiece = 16384;

constexpr std::size_t planeTerms = 3;
constexpr std::size_t mostUnknowns = planeTerms + 2;

struct planeTerm {
    double offset = 0.0;
    double alongU = 0.0;
    double alongV = 0.0;
    double at(double u, double v) const { return offset + alongU * u + alongV * v; }
};

// Every shot at one position: its error, how the error's model elevation
// changes per unit of each number of the position, and whether it has one.
struct linearShots {
    std::vector<std::size_t> shot;  // among the placement's shots
    std::vector<double> u;           // in the frame of the plane
    std::vector<double> v;
    std::vector<double> error;
    std::array<std::vector<double>, 2> change;
    std::vector<unsigned char> modelled;
    std::vector<double> squares;  // from the plane; infinite where not modelled
    std::vector<double> ranked;   // the modelled squares, reordered by the selection

    // No indices: every shot.
    linearShots(const robustShots& measured, const std::vector<std::size_t>& indices) : shot(indices) {
        if (shot.empty()) {
            shot.resize(measured.u.size());
            std::iota(shot.begin(), shot.end(), std::size_t(0));
        }
        const std::size_t count = shot.size();
        for (std::vector<double>* buffer : {&error, &change[0], &change[1], &squares, &ranked}) buffer->resize(count);
        modelled.resize(count);
        u.reserve(count);
        v.reserve(count);
        for (const std::size_t i : shot) u.push_back(measured.u[i]), v.push_back(measured.v[i]);
    }
};

cellMap rateOfChange(const positionCellMap& mapOf, refinementPoint at, std::size_t parameter) {
    refinementPoint before = at, after = at;
    before[parameter] -= rateSpan;
    after[parameter] += rateSpan;
    const cellMap low = mapOf(before), high = mapOf(after);
    const double span = 2.0 * rateSpan;
    return {(high.columnPerColumn - low.columnPerColumn) / span, (high.columnPerRow - low.columnPerRow) / span,
            (high.column - low.column) / span,                   (high.rowPerColumn - low.rowPerColumn) / span,
            (high.rowPerRow - low.rowPerRow) / span,             (high.row - low.row) / span};
}

// The shots' errors at the position and their changes: the model elevation
// is the plane through the eight cells about the nearest node, so within that
// node's cell its change is the plane's slope along the shot's way.
void linearize(const robustPlacement& placement, const positionCellMap& mapOf, const refinementPoint& position,
               std::size_t parameters, int threadCount, linearShots& shots) {
    const elevationRaster& raster = placement.measuredRaster();
    const std::vector<double>& columns = placement.shotColumns();
    const std::vector<double>& rows = placement.shotRows();
    const std::vector<double>& elevations = placement.measured().elevation;
    const cellMap map = mapOf(position);
    std::array<cellMap, 2> rates{};
    for (std::size_t k = 0; k < parameters; ++k) rates[k] = rateOfChange(mapOf, position, k);
    const float* cells = raster.cells.data();
    const std::size_t width = raster.width;
    const double columnEnd = double(raster.width) - 1.0, rowEnd = double(raster.height) - 1.0;
    const auto linearizeShot = [&](std::size_t i) {
        const std::size_t j = shots.shot[i];
        const double column0 = columns[j], row0 = rows[j];
        const double column = map.columnPerColumn * column0 + map.columnPerRow * row0 + map.column;
        const double row = map.rowPerColumn * column0 + map.rowPerRow * row0 + map.row;
        const double columnHalf = column + 0.5, rowHalf = row + 0.5;
        const bool inside = columnHalf >= 1.0 && columnHalf < columnEnd && rowHalf >= 1.0 && rowHalf < rowEnd;
        const std::size_t c = std::size_t(inside ? columnHalf : 1.0), r = std::size_t(inside ? rowHalf : 1.0);
        const neighbourPlane plane = neighbourPlaneOf(cells + (r - 1) * width + (c - 1), width);
        shots.error[i] = elevations[j] - (plane.g + plane.a * (column - double(c)) + plane.b * (row - double(r)));
        for (std::size_t k = 0; k < parameters; ++k) {
            const cellMap& rate = rates[k];
            const double columnRate = rate.columnPerColumn * column0 + rate.columnPerRow * row0 + rate.column;
            const double rowRate = rate.rowPerColumn * column0 + rate.rowPerRow * row0 + rate.row;
            shots.change[k][i] = plane.a * columnRate + plane.b * rowRate;
        }
        shots.modelled[i] = inside && std::isfinite(shots.error[i]) ? 1 : 0;
    };
    const std::size_t count = shots.shot.size();
    const std::size_t pieces = (count + shotsPerPiece - 1) / shotsPerPiece;
    measureCandidates(pieces, threadCount, HUGE_VAL, [&](std::size_t piece, double) {
        const std::size_t end = std::min(count, (piece + 1) * shotsPerPiece);
        for (std::size_t i = piece * shotsPerPiece; i < end; ++i) linearizeShot(i);
        return 0.0;
    });
}

struct trimmedSum {
    double sum = HUGE_VAL;
    double threshold = HUGE_VAL;
    std::size_t kept = 0;
    std::size_t modelled = 0;

    double meanSquare() const { return kept > 0 ? sum / double(kept) : HUGE_VAL; }
};

// The residuals from the plane, the kept share of the smallest, and their sum of squares.
trimmedSum trim(linearShots& shots, double keptShare, const planeTerm& plane) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < shots.error.size(); ++i) {
        const double residual = shots.error[i] - plane.at(shots.u[i], shots.v[i]);
        shots.squares[i] = shots.modelled[i] ? residual * residual : HUGE_VAL;
        if (shots.modelled[i]) shots.ranked[count++] = shots.squares[i];
    }
    trimmedSum trimmed;
    trimmed.modelled = count;
    if (count == 0) return trimmed;
    trimmed.kept = std::max<std::size_t>(1, std::size_t(std::ceil(keptShare * double(count))));
    trimmed.threshold = smallestSquare(shots.ranked, count, trimmed.kept - 1);
    std::size_t below = 0;
    double sum = 0.0;
    for (const double square : shots.squares)
        if (square < trimmed.threshold) sum += square, ++below;
    trimmed.sum = sum + double(trimmed.kept - below) * trimmed.threshold;
    return trimmed;
}

using normalMatrix = std::array<std::array<double, mostUnknowns>, mostUnknowns>;
using unknownVector = std::array<double, mostUnknowns>;

// The least-squares solution of the normal equations by a Cholesky
// factorisation; an unknown whose pivot is rounding (the shots along one
// line fix no tilt across it, flat ground no step) stays 0.
unknownVector solveNormal(const normalMatrix& normal, const unknownVector& right, std::size_t count) {
    normalMatrix lower{};
    std::array<bool, mostUnknowns> blind{};
    for (std::size_t j = 0; j < count; ++j) {
        double pivot = normal[j][j];
        for (std::size_t k = 0; k < j; ++k) pivot -= lower[j][k] * lower[j][k];
        if (!(pivot > blindPivot * normal[j][j]) || !std::isfinite(pivot)) {
            blind[j] = true;
            continue;
        }
        lower[j][j] = std::sqrt(pivot);
        for (std::size_t i = j + 1; i < count; ++i) {
            double value = normal[i][j];
            for (std::size_t k = 0; k < j; ++k) value -= lower[i][k] * lower[j][k];
            lower[i][j] = value / lower[j][j];
        }
    }
    unknownVector forward{}, solution{};
    for (std::size_t j = 0; j < count; ++j) {
        if (blind[j]) continue;
        double value = right[j];
        for (std::size_t k = 0; k < j; ++k) value -= lower[j][k] * forward[k];
        forward[j] = value / lower[j][j];
    }
    for (std::size_t j = count; j-- > 0;) {
        if (blind[j]) continue;
        double value = forward[j];
        for (std::size_t k = j + 1; k < count; ++k) value -= lower[k][j] * solution[k];
        solution[j] = value / lower[j][j];
    }
    return solution;
}

struct stepAndPlane {
    refinementPoint step{};
    planeTerm plane;
};

// The least squares of the kept residuals: each error as the plane plus the
// changes times the step. The kept are those below the threshold and, of
// those equal to it, the first ones, as the measure keeps them.
stepAndPlane solveKept(const linearShots& shots, const trimmedSum& trimmed,
                       std::size_t parameters) {
    const std::size_t count = planeTerms + parameters;
    normalMatrix normal{};
    unknownVector right{};
    std::size_t ties = trimmed.kept;
    for (const double square : shots.squares) ties -= square < trimmed.threshold ? 1 : 0;
    for (std::size_t i = 0; i < shots.squares.size(); ++i) {
        const bool tie = shots.squares[i] == trimmed.threshold && ties > 0;
        if (!(shots.squares[i] < trimmed.threshold) && !tie) continue;
        ties -= tie ? 1 : 0;
        // Every unknown's column, also those not solved for, which stay 0: loops of a fixed length unroll.
        const unknownVector row{1.0, shots.u[i], shots.v[i], parameters > 0 ? shots.change[0][i] : 0.0,
                                parameters > 1 ? shots.change[1][i] : 0.0};
        for (std::size_t j = 0; j < mostUnknowns; ++j) {
            right[j] += row[j] * shots.error[i];
            for (std::size_t k = 0; k < mostUnknowns; ++k) normal[j][k] += row[j] * row[k];
        }
    }
    const unknownVector solution = solveNormal(normal, right, count);
    stepAndPlane found;
    found.plane = {solution[0], solution[1], solution[2]};
    for (std::size_t k = 0; k < parameters; ++k) found.step[k] = solution[planeTerms + k];
    return found;
}

// The plane of every modelled error.
planeTerm planeOfAll(linearShots& shots) {
    trimmedSum everything;
    everything.threshold = 1.0;
    everything.kept = 0;
    for (std::size_t i = 0; i < shots.squares.size(); ++i) {
        shots.squares[i] = shots.modelled[i] ? 0.0 : HUGE_VAL;
        everything.kept += shots.modelled[i];
    }
    return solveKept(shots, everything, 0).plane;
}

// Choosing the kept share by the residuals keeps the shots whose error the
// step would explain least, so each step goes only part of the way, and the
// next one in the same direction by about the same share of what is left.
// Stretched by what that share says is left, the steps get there in a few.
double stretchFor(const refinementPoint& last, const refinementPoint& next) {
    const double lastSize = last[0] * last[0] + last[1] * last[1];
    if (!(lastSize > 0.0)) return 1.0;
    const double share = (last[0] * next[0] + last[1] * next[1]) / lastSize;
    if (!(share > 0.0) || !(share < 1.0)) return 1.0;
    return std::fmin(1.0 / (1.0 - share), mostStretch);
}

// As the measure fits it: to every error, then twice to the kept share of
// what it leaves, which the first plane still leans towards the bad shots in.
planeTerm planeOfTheMeasure(linearShots& shots, double keptShare) {
    planeTerm plane = planeOfAll(shots);
    for (int refit = 0; refit < measureRefits; ++refit) {
        const trimmedSum trimmed = trim(shots, keptShare, plane);
        if (trimmed.kept == 0) break;
        plane = solveKept(shots, trimmed, 0).plane;
    }
    return plane;
}


// The errors at the position, the plane the measure takes out there, and the
// kept share of what it leaves.
trimmedSum measuredAt(const robustPlacement& placement, const positionCellMap& mapOf, const refinementPoint& position,
                      std::size_t parameters, int threadCount, linearShots& shots) {
    linearize(placement, mapOf, position, parameters, threadCount, shots);
    const double keptShare = placement.measured().keptShare;
    return trim(shots, keptShare, planeOfTheMeasure(shots, keptShare));
}

robustMeasure measureOf(const trimmedSum& trimmed) {
    return {trimmed.kept > 0 ? std::sqrt(trimmed.meanSquare()) : notANumber, trimmed.kept, trimmed.modelled};
}

}  // namespace

refinedPosition refinePosition(const robustPlacement& placement, const std::vector<std::size_t>& indices,
                               const positionCellMap& mapOf, const refinementTask& task, int threadCount) {
    const std::size_t parameters = std::min<std::size_t>(task.parameters, 2);
    refinedPosition found{task.start, {}};
    if (placement.shotColumns().empty() || parameters == 0) return found;
    linearShots shots(placement.measured(), indices);
    refinementPoint position = task.start, step{};
    trimmedSum accepted;
    int halvings = 0;
    for (int pass = 0; pass < mostPasses; ++pass) {
        const trimmedSum trimmed = measuredAt(placement, mapOf, position, parameters, threadCount, shots);
        const bool seesEnough = pass == 0 || 2 * trimmed.modelled >= accepted.modelled;
        if (!(trimmed.meanSquare() <= accepted.meanSquare()) || !seesEnough) {
            if (pass == 0 || halvings == mostHalvings) break;
            ++halvings;
            for (std::size_t k = 0; k < parameters; ++k) step[k] *= 0.5, position[k] = found.position[k] + step[k];
            continue;
        }
        found = {position, measureOf(trimmed)};
        accepted = trimmed, halvings = 0;
        if (pass > 0 && std::fabs(step[0]) < settledStep && std::fabs(step[1]) < settledStep) break;
        const stepAndPlane next = solveKept(shots, trimmed, parameters);
        const double stretch = pass > 0 ? stretchFor(step, next.step) : 1.0;
        for (std::size_t k = 0; k < parameters; ++k) {
            const double target = std::clamp(found.position[k] + stretch * next.step[k], task.start[k] - task.reach,
                                             task.start[k] + task.reach);
            step[k] = std::isfinite(target) ? target - found.position[k] : 0.0;
            position[k] = found.position[k] + step[k];
        }
    }
    return found;
}

robustMeasure measureOnShots(const robustPlacement& placement, const std::vector<std::size_t>& indices,
                             const positionCellMap& mapOf, const refinementPoint& position, int threadCount) {
    if (placement.shotColumns().empty()) return {};
    linearShots shots(placement.measured(), indices);
    return measureOf(measuredAt(placement, mapOf, position, 0, threadCount, shots));
}

}  // namespace kalvex
