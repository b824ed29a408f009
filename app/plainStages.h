#pragma once
// The stages of the plain alignment, each found on the run's state and made
// by its owner: a surface of the weighted errors, a translation, a turn.
#include "app/alignmentModel.h"
#include "model/plain/rotationStage.h"
#include "model/plain/translationStage.h"

namespace kalvex {

// The plane (quadratic surface) of the weighted errors added; the RMS after it.
double planeStage(alignmentModel& model);
double quadraticStage(alignmentModel& model);
// The best offset (turn) searched and made; what the search found.
translationOutcome translationStage(alignmentModel& model, double currentRms, double padding, double delta);
rotationOutcome rotationStage(alignmentModel& model, double currentRms, double lo, double hi, double step);

}  // namespace kalvex
