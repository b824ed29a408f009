// Statistical track filtering: a track whose weighted errors keep a large
// mean or spread loses a share of its weight in every filtering stage, so that
// a bad orbit counts less and less in the RMS the stages minimise.
#include "app/trackFiltering.h"

#include <cmath>
#include <cstddef>
#include <iostream>
#include <vector>

#include "model/alignmentModel.h"
#include "model/errorStatistics.h"

namespace kalvex {

void alignmentModel::updateTrackWeights(const trackFilterLimits& limits) {
    const std::vector<errorRecord> errors = raster.errorList(molaPoints, &trackWeights);
    const std::vector<trackStatistics> tracks = statisticsPerTrack(errors, trackWeights.size());
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        // A track without a single sampled point has nothing to judge it by.
        if (tracks[t].count == 0) continue;
        const bool fails =
            std::fabs(tracks[t].mean()) > limits.maxError || tracks[t].standardDeviation() > limits.maxStdDev;
        if (!fails) continue;
        trackWeights[t] -= limits.decrement;
        if (trackWeights[t] < 0.0) trackWeights[t] = 0.0;
    }
}

void alignmentModel::filterTracks(const trackFilterLimits& limits) {
    if (notReady) return;
    updateTrackWeights(limits);
    raster.removeOutliers(molaPoints, &trackWeights, limits.errorThreshold);
}

double lowerMaxError(double maxError, const runSettings& settings) {
    if (!(maxError > settings.sfCutoff)) return maxError;
    // The integer part, taken on the double itself: no conversion can overflow.
    double lowered = std::trunc(settings.sfDecrease * maxError);
    if (lowered <= settings.sfCutoff) lowered = settings.sfCutoff;
    std::cout << "The new max error threshold is: " << lowered << std::endl;
    return lowered;
}

}  // namespace kalvex
