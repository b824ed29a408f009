// The C library's conversions decide every field; the common field, a plain
// decimal number, goes through from_chars instead, which rounds it exactly as
// they do without copying the field or scanning it twice.
#include "readers/numberConversion.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace kalvex {

namespace {

// The blanks strtod and strtol skip in the classic locale.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view withoutLeadingBlanks(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start])) ++start;
    return text.substr(start);
}

bool startsLikeDecimal(std::string_view text) {
    if (text.empty()) return false;
    const char first = text.front();
    return first == '-' || first == '.' || (first >= '0' && first <= '9');
}

// from_chars' value of the number at the start of the text, when strtod is
// sure to give the same one from the same characters: the text starts like a
// decimal number and its value is a normal double. end receives where the
// number stops.
std::optional<double> quickLeadingDouble(std::string_view text, std::size_t& end) {
    if (!startsLikeDecimal(text)) return std::nullopt;
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || std::fpclassify(value) != FP_NORMAL) return std::nullopt;
    end = std::size_t(result.ptr - text.data());
    // "0x..." is hexadecimal to strtod, but its value is zero here anyway.
    if (end < text.size() && (text[end] == 'x' || text[end] == 'X')) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> leadingDouble(std::string_view text) {
    std::size_t end = 0;
    if (const std::optional<double> quick = quickLeadingDouble(withoutLeadingBlanks(text), end)) return quick;
    const std::string copy(text);
    const char* start = copy.c_str();
    char* stop = nullptr;
    errno = 0;
    const double value = std::strtod(start, &stop);
    if (stop == start) return std::nullopt;
    // Underflow also reports a range error, but its result is a usable tiny number.
    if (errno == ERANGE && std::isinf(value)) return std::nullopt;
    return value;
}

bool isUsableValue(double value) { return std::isfinite(value) && std::fabs(value) <= largestUsableValue; }

std::optional<double> leadingFiniteDouble(std::string_view text) {
    const std::optional<double> value = leadingDouble(text);
    if (!value || !isUsableValue(*value)) return std::nullopt;
    return value;
}

std::optional<std::int32_t> leadingInt32(std::string_view text) {
    const std::string_view trimmed = withoutLeadingBlanks(text);
    // A minus or a digit first: from_chars and strtol read the same digits,
    // and both refuse what does not fit in 32 bits.
    if (!trimmed.empty() && (trimmed.front() == '-' || (trimmed.front() >= '0' && trimmed.front() <= '9'))) {
        std::int32_t value = 0;
        const std::from_chars_result result = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
        if (result.ec != std::errc()) return std::nullopt;
        return value;
    }
    const std::string copy(text);
    const char* start = copy.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE) return std::nullopt;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<double> wholePlainDecimal(std::string_view text) {
    std::size_t end = 0;
    const std::optional<double> value = quickLeadingDouble(text, end);
    if (!value || end != text.size()) return std::nullopt;
    return value;
}

}  // namespace kalvex
