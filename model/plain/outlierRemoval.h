#pragma once
// Altimeter points whose error lies too far from the mean error.
#include <cstddef>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

// The positions, in ascending order, of the points with a model elevation
// whose (weighted) error lies threshold or more from the mean of all errors.
std::vector<std::size_t> outlierIndices(const elevationRaster& raster, const std::vector<molaPoint>& points,
                                        const trackWeightList* weights, double threshold);

}  // namespace kalvex
