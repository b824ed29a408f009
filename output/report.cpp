#include <cmath>
#include <cstddef>
#include <iomanip>

#include "model/alignmentModel.h"
#include "model/errorStatistics.h"

namespace kalvex {

namespace {

double weightOf(const std::vector<double>& weights, std::size_t slot) {
    return slot < weights.size() ? weights[slot] : notANumber;
}

// The field widths match the header's column names; alignment and precision
// are those the tie point table left on the stream.
void writeOrbitRows(std::ostream& report, const std::vector<trackStatistics>& slots,
                    const std::vector<std::int32_t>& orbits, const std::vector<double>& weights) {
    for (std::size_t s = 0; s < slots.size(); ++s) {
        const trackStatistics& slot = slots[s];
        if (slot.count == 0) continue;
        report << orbits[s] << '\t' << std::setw(17) << weightOf(weights, s) << '\t' << std::setw(11) << slot.count
               << '\t' << std::setw(10) << slot.mean() << '\t' << slot.standardDeviation() << std::endl;
    }
}

}  // namespace

errorStatistics alignmentModel::writeReport(std::ostream& report, bool degreesMinutesSeconds) const {
    if (notReady) return {};
    return writeReportFrom(report, degreesMinutesSeconds, currentErrorList());
}

errorStatistics alignmentModel::writeReportFrom(std::ostream& report, bool degreesMinutesSeconds,
                                                const std::vector<errorRecord>& finalErrors) const {
    if (notReady) return {};
    writeTiePointTable(report, "Final Control Points", degreesMinutesSeconds);
    report << "Orbit Statistics" << std::endl;
    report << "Orbit\tWeighting Applied\tPoint Count\tMean Error\tStandard Deviation" << std::endl;
    writeOrbitRows(report, statisticsPerTrack(finalErrors, orbits.size()), orbits, trackWeights);
    return computeErrorStatistics(finalErrors);
}

}  // namespace kalvex
