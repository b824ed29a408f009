#include "readers/sexagesimal.h"

#include <cctype>
#include <cmath>
#include <limits>
#include <vector>

#include "readers/numberConversion.h"

namespace kalvex {

namespace {

bool nextIsWhiteSpace(std::istream& stream) {
    const auto next = stream.peek();
    return next == std::char_traits<char>::eof() || std::isspace(static_cast<unsigned char>(next)) != 0;
}

// The integer part of a value, or nothing when it does not fit an int32.
std::optional<std::int32_t> truncatedToInt32(double value) {
    const double whole = std::trunc(value);
    if (!(whole >= std::numeric_limits<std::int32_t>::min() && whole <= std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

std::optional<double> usable(double value) {
    if (!isUsableValue(value))
        return std::nullopt;
    return value;
}

}  // namespace

double dmsToDegrees(const dmsAngle& angle, bool negative) {
    const double magnitude = std::fabs(static_cast<double>(angle.degrees)) + angle.minutes / 60.0 + angle.seconds / 3600.0;
    double result = negative || angle.degrees < 0 ? -magnitude : magnitude;
    if (result > 180.0)
        result -= 360.0;
    else if (result < -180.0)
        result += 360.0;
    return result;
}

std::optional<double> readSexagesimal(std::istream& stream, bool degreesMinutesSeconds) {
    // The sign comes from the text: -0:30:00 is west or south of zero even
    // though its degrees are the integer 0.
    stream >> std::ws;
    const bool negative = stream.peek() == '-';

    std::vector<double> parts(1);
    if (!(stream >> parts.front()))
        return std::nullopt;
    while (!nextIsWhiteSpace(stream)) {
        char separator = 0;
        if (!stream.get(separator))
            break;
        if (separator != ':')
            continue;
        double part = 0.0;
        if (!(stream >> part))
            return std::nullopt;
        parts.push_back(part);
    }

    if (parts.size() == 1)
        return usable(parts.front());
    if (parts.size() != 3 || !degreesMinutesSeconds)
        return std::nullopt;
    const auto degrees = truncatedToInt32(parts[0]);
    const auto minutes = truncatedToInt32(parts[1]);
    if (!degrees || !minutes || !std::isfinite(parts[2]))
        return std::nullopt;
    return usable(dmsToDegrees(dmsAngle{*degrees, *minutes, parts[2]}, negative));
}

}  // namespace kalvex
