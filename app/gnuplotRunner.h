#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace kalvex {

// Runs gnuplot once over the scripts, in order, and waits for it to end.
// Prints one warning when gnuplot cannot be found or started.
void runGnuplot(const std::vector<std::string>& scripts, std::ostream& console);

}  // namespace kalvex
