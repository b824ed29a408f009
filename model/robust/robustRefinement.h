#pragma once
// The end of a robust search on every shot. The grids on thinned shots leave
// the position within a step of the lowest measure; from there a few
// Gauss-Newton steps find it. At a position each shot's error changes with
// the position as the terrain's gradient under the shot tells, so the error
// is linear in a small step; the step is the least-squares one of the kept
// share of the residuals, solved together with the plane that the measure
// takes out, and the kept share is chosen anew at each position. Each step
// is one pass over the shots where a grid about the best and the quadratic
// through it measured every shot at some eighty positions.
#include <array>
#include <cstddef>
#include <functional>
#include <vector>

#include "model/robust/robustObjective.h"

namespace kalvex {

// A position as one or two numbers: a translation in cells, or a turn.
using refinementPoint = std::array<double, 2>;
// Where the raster at a position puts the shots, in the cells of where it lies.
using positionCellMap = std::function<cellMap(const refinementPoint&)>;

struct refinementTask {
    refinementPoint start{};
    std::size_t parameters = 2;  // 1: only the first number is refined
    double reach = 0.5;          // the position stays within this of start along each number
};

struct refinedPosition {
    refinementPoint position{};
    robustMeasure measure;  // there, on the shots refined
};

// Where the steps from start settle, on the placement's shots at the given
// ascending indices (all of them when there are none) with its kept share;
// start when the shots fix no step. A step is kept only where the measure is
// lower, and sees at least half the shots the start sees. Each pass over the
// shots is shared among threadCount threads; the result does not depend on
// how many.
refinedPosition refinePosition(const robustPlacement& placement, const std::vector<std::size_t>& indices,
                               const positionCellMap& mapOf, const refinementTask& task, int threadCount);

// The measure at a position on the same shots, as the refinement takes it.
robustMeasure measureOnShots(const robustPlacement& placement, const std::vector<std::size_t>& indices,
                             const positionCellMap& mapOf, const refinementPoint& position, int threadCount);

}  // namespace kalvex
