#pragma once
// What a search of the raster's position measures: the raster, the altimeter
// points and their track weights, read-only for the whole search.
#include <ostream>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

struct searchInputs {
    const elevationRaster& raster;
    const std::vector<molaPoint>& points;
    const trackWeightList& weights;
    int threadCount;  // threads a search may use; what it finds never depends on them
    bool debug;       // the searches then print their progress lines
    std::ostream& console;
};

}  // namespace kalvex
