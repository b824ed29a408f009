#pragma once
// Coordinate values of triangulation reports: plain decimal degrees or
// degrees:minutes:seconds.
#include <cstdint>
#include <istream>
#include <optional>

namespace kalvex {

struct dmsAngle {
    std::int32_t degrees = 0;
    std::int32_t minutes = 0;
    double seconds = 0.0;
};

// Decimal degrees of an angle, wrapped once into [-180, 180]. The angle is
// negative when its degrees are, or when the text said so: degrees written
// -0 have no integer sign.
double dmsToDegrees(const dmsAngle& angle, bool negative);

// Reads one coordinate value: a single number, or three colon-separated parts
// when degreesMinutesSeconds is allowed. Returns nothing when the text is not
// a number, has two or more than three parts, has three where they are not
// allowed, has parts too large for an angle, or gives a value that no
// coordinate can have (see isUsableValue).
std::optional<double> readSexagesimal(std::istream& stream, bool degreesMinutesSeconds);

}  // namespace kalvex
