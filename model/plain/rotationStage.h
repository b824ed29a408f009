#pragma once
// The rotation search: a scan of angles about pivots chosen by a quad-tree
// refinement, so that its cost grows with the logarithm of the raster size
// instead of with the number of nodes.
#include "model/evaluation/searchInputs.h"

namespace kalvex {

// What a rotation search found: the lowest RMS, and the turn that gives it
// (none when no trial beat the RMS the search started from).
struct rotationOutcome {
    double rms = 0.0;
    bool found = false;
    int column = -1;  // the pivot node
    int row = -1;
    double angle = 0.0;  // degrees, counter-clockwise
};

// Angles from lo to hi by step about the quarter centres of ever smaller
// regions of the raster. Prints the turn found, or that none was.
rotationOutcome searchRotation(const searchInputs& inputs, double currentRms, double lo, double hi, double step);

}  // namespace kalvex
