#pragma once
// The per-shot error table: every altimeter point that had a model elevation
// at the start, with its error before and after the alignment.
#include <ostream>
#include <vector>

#include "model/alignmentModel.h"

namespace kalvex {

struct shotError {
    std::size_t startIndex = 0;  // position among all the points held at the start
    molaPoint point;
    double initialError = notANumber;
    double finalError = notANumber;  // NaN: removed, or no model elevation at the end
    double weight = notANumber;      // NaN: no alignment ran
    bool removed = false;
};

struct shotErrorTable {
    std::vector<molaPoint> startPoints;  // every altimeter point held at the start
    std::vector<shotError> shots;        // those of them that had a model elevation
};

// The points of the model that have a model elevation now, with their errors.
shotErrorTable initialShotErrors(const alignmentModel& model);

// Fills in the final errors and weights after the alignment; a point that is
// no longer among the model's altimeter points was removed as an outlier.
void finishShotErrors(shotErrorTable& table, const alignmentModel& model);

// Header "orbit,x,y,elevation,initial_error,final_error,weight,removed" and one
// row per shot, full double precision, an empty field for a missing value.
void writeErrorTable(std::ostream& table, const std::vector<shotError>& shots,
                     const std::vector<std::int32_t>& orbits);

}  // namespace kalvex
