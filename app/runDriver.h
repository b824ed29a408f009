#pragma once
// The run from the command line to gnuplot, in both modes.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/alignmentRecord.h"
#include "app/runSettings.h"
#include "model/alignmentModel.h"
#include "model/errorStatistics.h"

namespace kalvex {

// Runs kalvex with its console text on console; returns the process exit status.
int runKalvex(int argumentCount, const char* const* argumentVector, std::ostream& console);

// "Count: " and the four statistics, one line each, then an empty line.
void printStatistics(std::ostream& console, std::size_t count, const errorStatistics& statistics);

// The GeoTIFF path cut at the last "." of its file name, followed by the -as text.
std::string outputBase(const std::string& rasterPath, const std::string& addString);

}  // namespace kalvex
