#include "output/tiePointTable.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <iomanip>
#include <sstream>

namespace kalvex {

namespace {

// Degrees beyond this cannot be held as an integer; no map coordinate comes near it.
constexpr double largestWholeDegrees = 2147483647.0;

// Seconds a hair below 60 that the stream's precision writes as 60.
bool printsAsSixty(const std::ostream& stream, double seconds) {
    if (seconds < 59.0) return false;
    std::ostringstream text;
    text.copyfmt(stream);
    text.width(0);
    text << seconds;
    return std::strtod(text.str().c_str(), nullptr) >= 60.0;
}

// Degrees, minutes and seconds, each truncated towards zero and the seconds
// not rounded, unless the stream would write them as 60: then they are a
// whole minute, carried into the minutes and on into the degrees. The sign
// goes on the degrees, and a value between -1 and 0, whose degrees are 0,
// still shows its sign.
void writeDegreesMinutesSeconds(std::ostream& stream, double value) {
    const double wholeDegrees = std::trunc(value);
    if (!(std::fabs(wholeDegrees) <= largestWholeDegrees)) {
        stream << value;
        return;
    }
    long degrees = long(wholeDegrees);
    const double minutesWithFraction = (value - wholeDegrees) * 60.0;
    int minutes = std::abs(int(std::trunc(minutesWithFraction)));
    double seconds = std::fabs((minutesWithFraction - std::trunc(minutesWithFraction)) * 60.0);
    if (printsAsSixty(stream, seconds)) {
        seconds = 0.0;
        if (++minutes == 60) {
            minutes = 0;
            degrees += value < 0 ? -1 : 1;
        }
    }
    if (degrees == 0 && value < 0) stream << '-';
    stream << degrees << ':' << (minutes < 10 ? "0" : "") << minutes << ':' << seconds;
}

void writeDegreesRow(std::ostream& stream, const tiePoint& point) {
    stream << std::setprecision(7);
    writeDegreesMinutesSeconds(stream, point.x);
    stream << '\t';
    writeDegreesMinutesSeconds(stream, point.y);
    stream << '\t' << point.elevation;
}

// Radians need ten significant digits for a millimetre on a planet; the
// stream keeps the seven of the degrees row for what follows.
void writeRadiansRow(std::ostream& stream, const tiePoint& point) {
    stream << std::setprecision(10) << point.x * pi / 180.0 << '\t' << point.y * pi / 180.0 << '\t'
           << std::setprecision(7) << point.elevation;
}

// Projected coordinates: ten significant digits, x padded to line up the rows.
void writeProjectedRow(std::ostream& stream, const tiePoint& point) {
    stream << std::left << std::setprecision(10) << std::setw(10) << point.x << '\t' << point.y << '\t'
           << point.elevation;
}

const std::string& identifierOf(const std::vector<std::string>& identifiers, std::int32_t idIndex) {
    static const std::string unknown;
    if (idIndex < 0 || std::size_t(idIndex) >= identifiers.size()) return unknown;
    return identifiers[std::size_t(idIndex)];
}

}  // namespace

// The precision (and with projected coordinates the left adjustment) stays set
// on the stream: what follows on the console and in the report lines up with it.
void writeTiePointTable(std::ostream& stream, const std::vector<std::string>& tiePointIds,
                        const std::vector<tiePoint>& tiePoints, const std::string& title, tieCoordinates layout) {
    stream << title << std::endl;
    stream << std::endl;
    stream << "pointID\tLongitude\tLatitude\tElevation" << std::endl;
    for (const tiePoint& point : tiePoints) {
        stream << identifierOf(tiePointIds, point.idIndex) << '\t';
        switch (layout) {
            case tieCoordinates::degreesMinutesSeconds: writeDegreesRow(stream, point); break;
            case tieCoordinates::radians: writeRadiansRow(stream, point); break;
            case tieCoordinates::projected: writeProjectedRow(stream, point); break;
        }
        stream << std::endl;
    }
    stream << std::endl;
}

}  // namespace kalvex
