#pragma once
// Population statistics of an error list, over all entries and per track.
#include <cmath>
#include <cstddef>
#include <vector>

#include "model/records.h"

namespace kalvex {

// Standard deviation, mean, minimum and maximum of the errors; NaN for an
// empty list.
errorStatistics computeErrorStatistics(const std::vector<errorRecord>& errors);

// What one track slot gathers from an error list.
struct trackStatistics {
    std::size_t count = 0;
    double sum = 0.0;
    double sumOfSquaredDeviations = 0.0;
    double mean() const { return sum / double(count); }
    double standardDeviation() const { return std::sqrt(sumOfSquaredDeviations / double(count)); }
};

// Per track slot, in two passes: sums and counts, then squared deviations
// about each track's signed mean. An entry of a slot that does not exist is
// left out.
std::vector<trackStatistics> statisticsPerTrack(const std::vector<errorRecord>& errors, std::size_t trackCount);

}  // namespace kalvex
