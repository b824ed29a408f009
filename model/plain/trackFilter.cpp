#include "model/plain/trackFilter.h"

#include <cmath>
#include <cstddef>

#include "model/evaluation/errorStatistics.h"

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

}  // namespace kalvex
