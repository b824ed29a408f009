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

// Runs kalvex; returns the process exit status.
int runKalvex(int argumentCount, const char* const* argumentVector);

// "Count: " and the four statistics, one line each, then an empty line.
void printStatistics(std::size_t count, const errorStatistics& statistics);

// Removes the points outside the raster's box grown by the margin.
void trimToRaster(alignmentModel& model, double margin);

// The GeoTIFF path cut at the last "." of its file name, followed by the -as text.
std::string outputBase(const std::string& rasterPath, const std::string& addString);

// Main mode: tie points, stage loop, final fit and outputs. Nothing after a
// failed tie point read. runFailed is set when an output file could not be
// created or no altimeter point was left to align to.
std::optional<alignmentRecord> runMainMode(alignmentModel& model, const runSettings& settings,
                                           const std::string& base, std::ostream& errorMapStream,
                                           std::vector<std::string>& scriptList, bool& runFailed);

}  // namespace kalvex
