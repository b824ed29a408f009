#pragma once
// The translation search: a square grid of horizontal offsets of the raster,
// keeping the first one that lowers the weighted RMS the most.
#include "model/evaluation/searchInputs.h"

namespace kalvex {

// What a translation search found: the RMS at the best offset, the offset,
// and whether it lies on the outermost candidates of the grid.
struct translationOutcome {
    double rms = 0.0;
    double dx = 0.0;
    double dy = 0.0;
    bool onRangeEdge = false;
};

// Offsets from -padding to +padding by delta on both axes, scanned row by
// row; an offset counts only when its RMS lies below currentRms and below
// every offset before it. Prints the best offset.
translationOutcome searchTranslation(const searchInputs& inputs, double currentRms, double padding, double delta);

}  // namespace kalvex
