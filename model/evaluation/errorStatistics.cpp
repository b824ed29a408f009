#include "model/evaluation/errorStatistics.h"

#include <algorithm>
#include <cmath>

namespace kalvex {

errorStatistics computeErrorStatistics(const std::vector<errorRecord>& errors) {
    errorStatistics statistics;
    if (errors.empty()) {
        statistics.standardDeviation = statistics.mean = statistics.minimum = statistics.maximum = notANumber;
        return statistics;
    }
    double sum = 0.0;
    statistics.minimum = statistics.maximum = errors.front().error;
    for (const errorRecord& record : errors) {
        sum += record.error;
        statistics.minimum = std::min(statistics.minimum, record.error);
        statistics.maximum = std::max(statistics.maximum, record.error);
    }
    const double count = double(errors.size());
    statistics.mean = sum / count;
    double squares = 0.0;
    for (const errorRecord& record : errors) squares += (record.error - statistics.mean) * (record.error - statistics.mean);
    statistics.standardDeviation = std::sqrt(squares / count);
    return statistics;
}

std::vector<trackStatistics> statisticsPerTrack(const std::vector<errorRecord>& errors, std::size_t trackCount) {
    std::vector<trackStatistics> tracks(trackCount);
    auto slotOf = [&tracks](const errorRecord& entry) -> trackStatistics* {
        const bool exists = entry.trackIndex >= 0 && std::size_t(entry.trackIndex) < tracks.size();
        return exists ? &tracks[std::size_t(entry.trackIndex)] : nullptr;
    };
    for (const errorRecord& entry : errors) {
        if (trackStatistics* track = slotOf(entry)) {
            ++track->count;
            track->sum += entry.error;
        }
    }
    for (const errorRecord& entry : errors) {
        if (trackStatistics* track = slotOf(entry)) {
            const double deviation = entry.error - track->mean();
            track->sumOfSquaredDeviations += deviation * deviation;
        }
    }
    return tracks;
}

}  // namespace kalvex
