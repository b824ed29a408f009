#pragma once
// The per-shot error table: every altimeter point read, with its error before
// and after the alignment. Only the errors before are kept during the run;
// the rows are written one by one from the shots as the alignment left them.
#include <ostream>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

struct shotErrorTable {
    std::vector<double> initialErrors;  // per point held at the start, in point order; NaN: no model elevation
};

// The shots as a run holds them at its end.
struct heldShots {
    const elevationRaster& raster;
    const std::vector<molaPoint>& points;
    const std::vector<std::size_t>& shotNumbers;  // each held point's place among the points held at the start
    const std::vector<numberedPoint>& removed;    // the points removed since
    const trackWeightList& weights;
    const std::vector<std::int32_t>& orbits;
};

// The points with their errors now, where they have a model elevation.
shotErrorTable initialShotErrors(const elevationRaster& raster, const std::vector<molaPoint>& points);

// Header "orbit,x,y,elevation,initial_error,final_error,weight,removed" and one
// row per shot, full double precision, an empty field for a missing value.
// After an alignment each row holds the final error of the final error list,
// the track's weight, and whether the shot was removed (it is then one of
// the removed points); without one, only the initial errors.
void writeErrorTable(std::ostream& table, const shotErrorTable& initial, const heldShots& shots, bool aligned);

}  // namespace kalvex
