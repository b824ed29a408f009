#pragma once
// The per-shot error table: every altimeter point read, with its error before
// and after the alignment.
#include <ostream>
#include <vector>

#include "model/alignmentModel.h"

namespace kalvex {

struct shotError {
    molaPoint point;
    double initialError = notANumber;  // NaN: no model elevation at the start
    double finalError = notANumber;    // NaN: removed, or no model elevation at the end
    double weight = notANumber;        // NaN: no alignment ran
    bool removed = false;
};

struct shotErrorTable {
    std::vector<shotError> shots;  // every altimeter point held at the start, in point order
};

// The points of the model with their errors now, where they have a model elevation.
shotErrorTable initialShotErrors(const alignmentModel& model);

// Fills in the final errors and weights after the alignment; a shot that is
// no longer among the model's altimeter points (by its shot number) was removed.
void finishShotErrors(shotErrorTable& table, const alignmentModel& model);

// Header "orbit,x,y,elevation,initial_error,final_error,weight,removed" and one
// row per shot, full double precision, an empty field for a missing value.
void writeErrorTable(std::ostream& table, const std::vector<shotError>& shots,
                     const std::vector<std::int32_t>& orbits);

}  // namespace kalvex
