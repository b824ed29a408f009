#pragma once
// Reading a whole tie coordinate file through the reader its name calls for.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/records.h"

namespace kalvex {

struct tiePointSet {
    std::vector<tiePoint> points;          // idIndex indexes ids
    std::vector<std::string> ids;
};

// No value when the file cannot be read.
std::optional<tiePointSet> readTiePointFile(std::ostream& console, const std::string& fileName, bool verbose);

}  // namespace kalvex
