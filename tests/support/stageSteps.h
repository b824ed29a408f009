#pragma once
// One stage of the plain alignment applied to a model as the run applies it:
// the stage reads the model's state, the model takes what it found.
#include "app/alignmentModel.h"

namespace kalvex::testing {

// The plane (quadratic surface) of the weighted errors added; the RMS after it.
double planeStep(alignmentModel& model);
double quadraticStep(alignmentModel& model);
// The best offset (turn) searched and made; the RMS the search found.
double translationStep(alignmentModel& model, double currentRms, double padding, double delta);
double rotationStep(alignmentModel& model, double currentRms, double lo, double hi, double step);

}  // namespace kalvex::testing
