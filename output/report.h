#pragma once
// The text report of a run: the final tie points and the statistics of every orbit.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "model/records.h"
#include "model/trackWeights.h"
#include "output/tiePointTable.h"

namespace kalvex {

// What the report shows, read-only.
struct reportContents {
    const std::vector<std::string>& tiePointIds;
    const std::vector<tiePoint>& tiePoints;
    const std::vector<std::int32_t>& orbits;
    const trackWeightList& trackWeights;
    const std::vector<errorRecord>& finalErrors;  // unweighted, of the points held at the end
};

// Returns the statistics of the final errors.
errorStatistics writeReport(std::ostream& report, const reportContents& contents, tieCoordinates layout);

}  // namespace kalvex
