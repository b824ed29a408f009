#pragma once
// Small text helpers shared by the scene writers.
#include <string>

namespace kalvex::scene {

// Writes the bytes as they are (no line-end translation); false on any failure.
bool writeBytes(const std::string& path, const std::string& bytes);

// printf-style fixed notation with the given number of decimals.
std::string fixed(double value, int decimals);

// Shortest general notation that reads back to a value within 1e-15 relative.
std::string general(double value);

}  // namespace kalvex::scene
