#pragma once
// The tie point table of the console and the report.
#include <ostream>
#include <string>
#include <vector>

#include "model/records.h"

namespace kalvex {

// How a row writes the x and y of a tie point: held in degrees, as degrees,
// minutes and seconds or as radians; projected, as they are.
enum class tieCoordinates { degreesMinutesSeconds, radians, projected };

// Title, blank line, header, one row per tie point, blank line.
void writeTiePointTable(std::ostream& stream, const std::vector<std::string>& tiePointIds,
                        const std::vector<tiePoint>& tiePoints, const std::string& title, tieCoordinates layout);

}  // namespace kalvex
