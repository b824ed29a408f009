#pragma once
// The weightings map: the altimeter points that keep a model elevation at the
// end, coloured by the weight of their track.
#include <ostream>
#include <string>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

void writeWeightingsMap(std::ostream& script, const elevationRaster& raster, const trackWeightList& trackWeights,
                        const std::string& pngPath, const std::vector<errorRecord>& finalErrors);

}  // namespace kalvex
