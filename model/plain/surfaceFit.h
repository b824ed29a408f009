#pragma once
// Plane and quadratic surfaces fitted to the point errors and added to the
// raster, so that the raster bends towards the altimeter points. With the
// raster's debug flag the fits print their coefficients (and the quadratic
// its matrices).
#include <array>
#include <ostream>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

// The plane of the errors added to the cells and to the tie point
// elevations. True when the points lie along one line, or too near one to
// hold the plane up across the raster (the plane then has no slope across
// it; the warning is printed unless lineTold).
bool addPlaneFit(std::ostream& console, elevationRaster& raster, std::vector<tiePoint>& tiePoints,
                 const std::vector<molaPoint>& points, const trackWeightList* weights, bool lineTold);

// Cx^2, Cxy, Cy^2, Cx, Cy, C0 of the least-squares quadratic surface of the
// errors in map coordinates; all 0 when its solution is rejected.
std::array<double, 6> quadraticFit(std::ostream& console, const elevationRaster& raster,
                                   const std::vector<molaPoint>& points, const trackWeightList* weights);

// The quadratic surface of the errors added to the cells and the tie point
// elevations. True when the points do not determine it across the raster:
// it is then not added, with a warning.
bool addQuadraticFit(std::ostream& console, elevationRaster& raster, std::vector<tiePoint>& tiePoints,
                     const std::vector<molaPoint>& points, const trackWeightList* weights);

}  // namespace kalvex
