#pragma once
// The per-shot error table: every altimeter point read, with its error before
// and after the alignment. Only the errors before are kept during the run;
// the rows are written one by one from the model as the alignment left it.
#include <ostream>
#include <vector>

#include "model/alignmentModel.h"

namespace kalvex {

struct shotErrorTable {
    std::vector<double> initialErrors;  // per point held at the start, in point order; NaN: no model elevation
};

// The points of the model with their errors now, where they have a model elevation.
shotErrorTable initialShotErrors(const alignmentModel& model);

// Header "orbit,x,y,elevation,initial_error,final_error,weight,removed" and one
// row per shot, full double precision, an empty field for a missing value.
// After an alignment each row holds the final error of the final error list,
// the track's weight, and whether the shot was removed (it is then one of
// the model's removed points); without one, only the initial errors.
void writeErrorTable(std::ostream& table, const shotErrorTable& initial, const alignmentModel& model, bool aligned);

}  // namespace kalvex
