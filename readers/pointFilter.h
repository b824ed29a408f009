#pragma once
#include <cstdint>
#include <string>
#include <utility>

namespace kalvex {

// One attribute test applied while altimeter rows are read: a row for which
// the test holds is removed.
struct pointFilter {
    static constexpr std::int32_t equalTo = 1;
    static constexpr std::int32_t lessThan = 2;
    static constexpr std::int32_t greaterThan = 3;

    std::int32_t comparison = equalTo;
    double threshold = 0.0;
    std::int32_t column = -1;
    std::int32_t removedCount = 0;
    std::string keyword;

    pointFilter() = default;
    pointFilter(std::int32_t comparisonKind, std::string keywordText, double thresholdValue)
        : comparison(comparisonKind), threshold(thresholdValue), keyword(std::move(keywordText)) {}

    bool holds(double value) const {
        switch (comparison) {
            case equalTo: return value == threshold;
            case lessThan: return value < threshold;
            case greaterThan: return value > threshold;
            default: return false;
        }
    }
};

}  // namespace kalvex
