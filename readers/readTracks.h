#pragma once
// Reading a whole altimeter track table through the reader its name calls for.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/records.h"
#include "readers/fileReader.h"
#include "readers/pointFilter.h"

namespace kalvex {

struct trackSet {
    std::vector<molaPoint> points;     // trackIndex indexes orbits
    std::vector<std::int32_t> orbits;  // in order of first appearance
    std::vector<std::int32_t> removedByFilter;  // rows each filter removed, in the filters' order
    std::size_t outsideBox = 0;                 // points read whole that lay outside the box
};

// The points within the box (an empty range: no bound on that axis). No
// value when the file cannot be read.
std::optional<trackSet> readTrackFile(std::ostream& console, const std::string& fileName, const std::vector<pointFilter>& filters,
                                      const valueRange& lonRange, const valueRange& latRange, bool verbose);

}  // namespace kalvex
