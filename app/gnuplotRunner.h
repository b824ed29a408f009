#pragma once
#include <string>
#include <vector>

namespace kalvex {

// Text of a path inside a single-quoted gnuplot string: each single quote
// doubled, so that any file name works and none can inject commands.
std::string gnuplotQuoted(const std::string& path);

// Runs gnuplot once over the scripts, in order, and waits for it to end.
// Prints one warning when gnuplot cannot be found or started.
void runGnuplot(const std::vector<std::string>& scripts);

}  // namespace kalvex
