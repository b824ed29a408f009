#include "model/plain/trackFilter.h"

#include <cmath>
#include <cstddef>
#include <ostream>

#include "model/evaluation/errorStatistics.h"
#include "model/evaluation/pointError.h"
#include "model/plain/outlierRemoval.h"

namespace kalvex {

trackWeightList lowerFailingTracks(const std::vector<errorRecord>& weightedErrors, trackWeightList weights,
                                   const trackFilterLimits& limits) {
    const std::vector<trackStatistics> tracks = statisticsPerTrack(weightedErrors, weights.size());
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        // A track without a single sampled point has nothing to judge it by.
        if (tracks[t].count == 0) continue;
        const bool fails =
            std::fabs(tracks[t].mean()) > limits.maxError || tracks[t].standardDeviation() > limits.maxStdDev;
        if (fails) weights.lower(t, limits.decrement);
    }
    return weights;
}

tracksFiltered filterTracks(const searchInputs& inputs, const trackFilterLimits& limits) {
    tracksFiltered found;
    found.weights = lowerFailingTracks(errorList(inputs.raster, inputs.points, &inputs.weights), inputs.weights, limits);
    found.outliers = outlierIndices(inputs.raster, inputs.points, &found.weights, limits.errorThreshold);
    return found;
}

double lowerMaxError(std::ostream& console, double maxError, double decrease, double cutoff) {
    if (!(maxError > cutoff)) return maxError;
    // The integer part, taken on the double itself: no conversion can overflow.
    double lowered = std::trunc(decrease * maxError);
    if (lowered <= cutoff) lowered = cutoff;
    console << "The new max error threshold is: " << lowered << std::endl;
    return lowered;
}

}  // namespace kalvex
