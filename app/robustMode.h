#pragma once
// The robust alignment (option -robust), which the main mode runs in place of
// the stage loop.
#include "app/runSettings.h"
#include "model/alignmentModel.h"

namespace kalvex {

// Moves and turns the raster with the tie points, silences bad tracks,
// removes outliers and adds the plane of the aligned errors to the raster:
// the model is left as the stage loop leaves it, ready for the final fit.
void runRobustAlignment(alignmentModel& model, const runSettings& settings);

}  // namespace kalvex
