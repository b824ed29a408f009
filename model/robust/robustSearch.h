#pragma once
// A coarse-to-fine grid search for the lowest value of a measure over one or
// two coordinates: a coarse grid over the whole range, then grids a quarter as
// fine about the best candidate, down to the finest step, and last a
// refinement from the best, or the lowest point of the quadratic through the
// values about the best, when it is lower still. A best candidate on the edge of its grid says the lowest value may
// lie beyond it, so the grid is moved there and measured again instead of
// being refined.
#include <functional>
#include <vector>

#include "model/records.h"

namespace kalvex {

struct gridCandidate {
    double first = 0.0;
    double second = 0.0;
};

// The values of the candidates in their order; NaN where there is none.
// decisive is false for the grids before the last, which only lead the search
// towards the lowest value and whose values are compared only with each
// other, so that they may be measured more cheaply.
using gridMeasure = std::function<std::vector<double>(const std::vector<gridCandidate>& candidates, bool decisive)>;

struct searchOutcome {
    gridCandidate best;         // (0, 0) when nothing had a value
    double value = notANumber;  // at the best candidate
};

// Takes the search on from the best candidate of the finest grid, which the
// grids then measure on thinned shots only.
using searchRefinement = std::function<searchOutcome(const gridCandidate& best)>;

struct searchPlan {
    bool secondAxis = true;   // false: only the first coordinate is searched
    double firstRange = 0.0;  // the coarse grid reaches at least this far from its middle each way
    double secondRange = 0.0;
    double coarseStep = 1.0;
    double finestStep = 0.05;
    gridCandidate start;      // the middle of the coarse grid
    // Without one, the finest grid measures every shot and the quadratic through it ends the search.
    searchRefinement refine;
};

// Ties go to the first candidate in scan order: rows of the second coordinate
// upwards, and within a row the first coordinate upwards.
searchOutcome searchCoarseToFine(const gridMeasure& measure, const searchPlan& plan);

}  // namespace kalvex
