#pragma once
// The command line: file classification, the option scan with its warnings,
// the values settled after the scan, and the computed defaults.
#include <optional>
#include <ostream>

#include "app/runSettings.h"

namespace kalvex {

// Parses the argument vector. Returns nothing after printing the help text or
// the file classification error; the caller then ends with status 1.
std::optional<runSettings> parseCommandLine(int argumentCount, const char* const* argumentVector,
                                            std::ostream& console);

// The translation range and increment that were not given, from the larger
// extent of the raster in map units.
void finishDefaults(runSettings& settings, double size);

// finishDefaults, after refusing with the option's warning a range (-p) of
// more cells of cellSize than a number holds, and then, for the grid search,
// an increment (-d) too small to step across the range in force: the computed
// default takes the refused value's place.
void finishSearchSettings(std::ostream& console, runSettings& settings, double size, double cellSize);

}  // namespace kalvex
