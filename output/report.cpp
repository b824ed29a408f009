#include <cmath>
#include <cstddef>
#include <iomanip>

#include "model/alignmentModel.h"

namespace kalvex {

namespace {

// What one orbit slot gathers from the error list.
struct slotTotals {
    double errorSum = 0.0;
    double squaredDeviationSum = 0.0;
    std::size_t count = 0;
    double mean() const { return errorSum / double(count); }
    double standardDeviation() const { return std::sqrt(squaredDeviationSum / double(count)); }
};

struct errorTally {
    std::vector<slotTotals> slots;
    errorStatistics overall;
};

bool inSlots(const std::vector<slotTotals>& slots, std::int32_t trackIndex) {
    return trackIndex >= 0 && std::size_t(trackIndex) < slots.size();
}

// Population statistics, overall and per orbit slot, in two passes: sums,
// extremes and counts first, then squared deviations from the means. An
// entry whose slot does not exist counts only towards the overall figures.
errorTally tallyErrors(const std::vector<errorRecord>& errors, std::size_t slotCount) {
    errorTally tally;
    tally.slots.resize(slotCount);
    if (errors.empty()) {
        tally.overall = {notANumber, notANumber, notANumber, notANumber};
        return tally;
    }

    double sum = 0.0;
    double minimum = errors.front().error;
    double maximum = errors.front().error;
    for (const errorRecord& entry : errors) {
        sum += entry.error;
        if (entry.error < minimum)
            minimum = entry.error;
        else if (entry.error > maximum)
            maximum = entry.error;
        if (inSlots(tally.slots, entry.trackIndex)) {
            slotTotals& slot = tally.slots[std::size_t(entry.trackIndex)];
            slot.errorSum += entry.error;
            ++slot.count;
        }
    }
    const double count = double(errors.size());
    const double mean = sum / count;

    double squaredDeviationSum = 0.0;
    for (const errorRecord& entry : errors) {
        if (inSlots(tally.slots, entry.trackIndex)) {
            slotTotals& slot = tally.slots[std::size_t(entry.trackIndex)];
            const double deviation = entry.error - slot.mean();
            slot.squaredDeviationSum += deviation * deviation;
        }
        const double deviation = entry.error - mean;
        squaredDeviationSum += deviation * deviation;
    }
    tally.overall = {std::sqrt(squaredDeviationSum / count), mean, minimum, maximum};
    return tally;
}

double weightOf(const std::vector<double>& weights, std::size_t slot) {
    return slot < weights.size() ? weights[slot] : notANumber;
}

// The field widths match the header's column names; alignment and precision
// are those the tie point table left on the stream.
void writeOrbitRows(std::ostream& report, const std::vector<slotTotals>& slots,
                    const std::vector<std::int32_t>& orbits, const std::vector<double>& weights) {
    for (std::size_t s = 0; s < slots.size(); ++s) {
        const slotTotals& slot = slots[s];
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
    const errorTally tally = tallyErrors(finalErrors, orbits.size());
    writeOrbitRows(report, tally.slots, orbits, trackWeights);
    return tally.overall;
}

}  // namespace kalvex
