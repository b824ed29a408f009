#include "output/report.h"

#include <cmath>
#include <cstddef>
#include <iomanip>

#include "model/evaluation/errorStatistics.h"
#include "output/tiePointTable.h"

namespace kalvex {

namespace {

// The field widths match the header's column names; alignment and precision
// are those the tie point table left on the stream.
void writeOrbitRows(std::ostream& report, const std::vector<trackStatistics>& slots,
                    const std::vector<std::int32_t>& orbits, const trackWeightList& weights) {
    for (std::size_t s = 0; s < slots.size(); ++s) {
        const trackStatistics& slot = slots[s];
        if (slot.count == 0) continue;
        report << orbits[s] << '\t' << std::setw(17) << weights.of(std::int32_t(s)) << '\t' << std::setw(11) << slot.count
               << '\t' << std::setw(10) << slot.mean() << '\t' << slot.standardDeviation() << std::endl;
    }
}

}  // namespace

errorStatistics writeReport(std::ostream& report, const reportContents& contents, tieCoordinates layout) {
    writeTiePointTable(report, contents.tiePointIds, contents.tiePoints, "Final Control Points", layout);
    report << "Orbit Statistics" << std::endl;
    report << "Orbit\tWeighting Applied\tPoint Count\tMean Error\tStandard Deviation" << std::endl;
    writeOrbitRows(report, statisticsPerTrack(contents.finalErrors, contents.orbits.size()), contents.orbits,
                   contents.trackWeights);
    return computeErrorStatistics(contents.finalErrors);
}

}  // namespace kalvex
