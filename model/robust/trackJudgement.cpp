#include "model/robust/trackJudgement.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kalvex {

namespace {

constexpr double trackLimit = 4.0;
constexpr double shotLimit = 5.0;
constexpr double madToDeviation = 1.4826;  // a normal distribution's standard deviation over its median deviation

double median(std::vector<double> values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(middle), values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    return 0.5 * (upper + *std::max_element(values.begin(), values.begin() + std::ptrdiff_t(middle)));
}

double robustDeviation(const std::vector<double>& values, double centre) {
    std::vector<double> deviations;
    deviations.reserve(values.size());
    for (double value : values) deviations.push_back(std::fabs(value - centre));
    return madToDeviation * median(deviations);
}

}  // namespace

judgement judgeTracks(const std::vector<std::int32_t>& trackOf, const std::vector<double>& residuals) {
    judgement verdict;
    std::vector<double> all;
    std::map<std::size_t, std::vector<double>> byTrack;
    for (std::size_t i = 0; i < residuals.size(); ++i) {
        if (!std::isfinite(residuals[i])) continue;
        all.push_back(residuals[i]);
        byTrack[std::size_t(std::uint32_t(trackOf[i]))].push_back(residuals[i]);
    }
    if (all.size() < 3) return verdict;
    const double spread = robustDeviation(all, median(all));
    // Without any spread every shot would stand out; nothing can be told apart.
    if (!(spread > 0.0)) return verdict;

    std::vector<double> trackMedians;
    for (const auto& track : byTrack) trackMedians.push_back(median(track.second));
    const double centre = median(trackMedians);
    std::vector<double> kept;
    std::size_t index = 0;
    for (const auto& track : byTrack) {
        const double trackMedian = trackMedians[index++];
        if (std::fabs(trackMedian - centre) > trackLimit * spread) {
            verdict.silencedTracks.push_back(track.first);
            verdict.silencedMedians.push_back(trackMedian);
        } else {
            kept.insert(kept.end(), track.second.begin(), track.second.end());
        }
    }
    if (kept.empty()) return verdict;
    const double keptCentre = median(kept);
    verdict.spread = robustDeviation(kept, keptCentre);
    if (!(verdict.spread > 0.0)) return verdict;
    for (std::size_t i = 0; i < residuals.size(); ++i) {
        if (!std::isfinite(residuals[i])) continue;
        const std::size_t track = std::size_t(std::uint32_t(trackOf[i]));
        const bool silenced = std::binary_search(verdict.silencedTracks.begin(), verdict.silencedTracks.end(), track);
        if (!silenced && std::fabs(residuals[i] - keptCentre) > shotLimit * verdict.spread) verdict.outliers.push_back(i);
    }
    return verdict;
}

}  // namespace kalvex
