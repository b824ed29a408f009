#pragma once
// The robust alignment (option -robust), which the main mode runs in place of
// the stage loop.
#include "app/alignmentModel.h"
#include "app/alignmentRecord.h"
#include "app/runSettings.h"

namespace kalvex {

// Moves and turns the raster with the tie points, silences bad tracks,
// removes outliers and adds the plane of the aligned errors to the raster:
// the model is left as the stage loop leaves it, ready for the final fit.
// The record counts the rounds as stages; it has converged when the last
// round left the raster where it was.
alignmentRecord runRobustAlignment(alignmentModel& model, const runSettings& settings);

}  // namespace kalvex
