#include "readers/numberConversion.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kalvex {

std::optional<double> leadingDouble(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(start, &end);
    if (end == start) return std::nullopt;
    // Underflow also reports a range error, but its result is a usable tiny number.
    if (errno == ERANGE && std::isinf(value)) return std::nullopt;
    return value;
}

bool isUsableValue(double value) { return std::isfinite(value) && std::fabs(value) <= largestUsableValue; }

std::optional<double> leadingFiniteDouble(const std::string& text) {
    const std::optional<double> value = leadingDouble(text);
    if (!value || !isUsableValue(*value)) return std::nullopt;
    return value;
}

std::optional<std::int32_t> leadingInt32(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE) return std::nullopt;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace kalvex
