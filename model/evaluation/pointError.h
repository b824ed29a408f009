#pragma once
// Model elevations of the altimeter points, their errors, and the weighted RMS
// that every stage of the run tries to lower.
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

// Point elevation minus model elevation, times the weight of the point's
// track when weights are given (null: plain errors).
double weightedError(const molaPoint& point, double modelElevation, const trackWeightList* weights);

// The model elevation under every point (NaN where it has none), with the
// raster's nodes moved by dx, dy and its cells raised by dz.
std::vector<double> sampleModel(const elevationRaster& raster, const std::vector<molaPoint>& points, double dx,
                                double dy, double dz);

// RMS and mean of the errors of the points that have a model elevation; both NaN when none has.
rmsResult rmsAndMean(const elevationRaster& raster, const std::vector<molaPoint>& points,
                     const trackWeightList* weights, double dx, double dy, double dz);

// The points that have a model elevation, with their errors, in point order.
std::vector<errorRecord> errorList(const elevationRaster& raster, const std::vector<molaPoint>& points,
                                   const trackWeightList* weights);

// Longitudes and latitudes beyond half a turn brought back by one turn.
std::vector<molaPoint> wrappedLongitudes(std::vector<molaPoint> points);

// Longitude and latitude in degrees to polar stereographic metres about the
// pole of each point's own hemisphere.
std::vector<molaPoint> polarStereographic(std::vector<molaPoint> points);

}  // namespace kalvex
