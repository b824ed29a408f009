#pragma once
// Statistical track filtering: a track whose weighted errors keep a large
// mean or spread loses a share of its weight in every filtering stage, so that
// a bad orbit counts less and less in the RMS the stages minimise.
#include <vector>

#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

// What a filtering stage judges the tracks and shots by.
struct trackFilterLimits {
    double maxError = 0.0;        // largest acceptable |mean| of a track's weighted errors
    double maxStdDev = 0.0;       // largest acceptable standard deviation of them
    double decrement = 0.0;       // weight a failing track loses
    double errorThreshold = 0.0;  // a shot this far from the mean error is an outlier
};

// The weights after one judgement of the tracks by their weighted errors.
trackWeightList lowerFailingTracks(const std::vector<errorRecord>& weightedErrors, trackWeightList weights,
                                   const trackFilterLimits& limits);

}  // namespace kalvex
