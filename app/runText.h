#pragma once
// Texts that the driver, both modes and the summary share: the statistics
// block on the console and the base of every output's name.
#include <cstddef>
#include <ostream>
#include <string>

#include "model/evaluation/errorStatistics.h"

namespace kalvex {

// "Count: " and the four statistics, one line each, then an empty line.
void printStatistics(std::ostream& console, std::size_t count, const errorStatistics& statistics);

// The GeoTIFF path cut at the last "." of its file name, followed by the -as text.
std::string outputBase(const std::string& rasterPath, const std::string& addString);

}  // namespace kalvex
