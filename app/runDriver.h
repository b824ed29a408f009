#pragma once
// The run from the command line to gnuplot, in both modes.
#include <ostream>

namespace kalvex {

// Runs kalvex with its console text on console; returns the process exit status.
int runKalvex(int argumentCount, const char* const* argumentVector, std::ostream& console);

}  // namespace kalvex
