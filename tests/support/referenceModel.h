#pragma once
// A deliberately plain evaluation of the model elevation and the weighted RMS,
// one point at a time, and plain one-by-one translation and rotation scans.
// The tests hold the fast evaluation against it and the benchmarks time it.
#include <string>
#include <vector>

#include "app/alignmentModel.h"
#include "model/raster/elevationRaster.h"
#include "model/records.h"

namespace kalvex::testing {

// Model elevation of one point: the least-squares plane through the eight
// neighbours of the nearest interior node, from the normal equations in map
// coordinates taken relative to that node, solved by Cramer's rule. NaN where
// the point has no model elevation.
double referenceElevation(const elevationRaster& raster, const molaPoint& point, double dx, double dy, double dz);

struct referenceSums {
    double rms = notANumber;
    double mean = notANumber;
    std::size_t count = 0;
};
referenceSums referenceRms(const elevationRaster& raster, const std::vector<molaPoint>& points,
                           const trackWeightList* weights, double dx, double dy, double dz);

// The weighted RMS the way the point-by-point sampling gives it (sampleModel,
// then the sums in point order): the value every search must see.
double sampledRms(const elevationRaster& raster, const std::vector<molaPoint>& points,
                  const trackWeightList* weights, double dx, double dy, double dz);

// RMS of the model's points and weights under a given raster position.
using rmsFunction = double (*)(const elevationRaster& raster, const std::vector<molaPoint>& points,
                               const trackWeightList* weights, double dx, double dy, double dz);
double referenceRmsOnly(const elevationRaster& raster, const std::vector<molaPoint>& points,
                        const trackWeightList* weights, double dx, double dy, double dz);

// One-by-one scans with the same console lines as the stages, measuring every
// candidate with the given function.
double plainTranslationStage(alignmentModel& model, double currentRms, double padding, double delta, rmsFunction rms);
double plainRotationStage(alignmentModel& model, double currentRms, double lo, double hi, double step, rmsFunction rms);

}  // namespace kalvex::testing
