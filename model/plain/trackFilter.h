#pragma once
// Statistical track filtering: a track whose weighted errors keep a large
// mean or spread loses a share of its weight in every filtering stage, so that
// a bad orbit counts less and less in the RMS the stages minimise.
#include <cstddef>
#include <ostream>
#include <vector>

#include "model/evaluation/searchInputs.h"
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

// What a filtering stage found: the new weights of the tracks, and the
// positions, in ascending order, of the shots that lie too far from the mean
// error as those weights weigh it.
struct tracksFiltered {
    trackWeightList weights;
    std::vector<std::size_t> outliers;
};
tracksFiltered filterTracks(const searchInputs& inputs, const trackFilterLimits& limits);

// The mean-error limit lowered by the share decrease towards the floor
// cutoff, announced; a limit already at or below the floor stays, silently.
double lowerMaxError(std::ostream& console, double maxError, double decrease, double cutoff);

}  // namespace kalvex
