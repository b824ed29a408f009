#pragma once
// The tie point table of the console and the report.
#include <ostream>
#include <string>
#include <vector>

#include "model/records.h"

namespace kalvex {

// Title, blank line, header, one row per tie point (longitude and latitude in
// degrees, minutes and seconds, or projected coordinates), blank line.
void writeTiePointTable(std::ostream& stream, const std::vector<std::string>& tiePointIds,
                        const std::vector<tiePoint>& tiePoints, const std::string& title, bool degreesMinutesSeconds);

}  // namespace kalvex
