#pragma once
// Conversion of table fields to numbers. A field converts when it starts, after
// any leading blanks, with a number; whatever follows the number is ignored.
#include <cstdint>
#include <optional>
#include <string>

namespace kalvex {

// The number at the start of the text; none when there is no number there or
// it lies beyond the range of a double.
std::optional<double> leadingDouble(const std::string& text);

// As leadingDouble, but a coordinate or elevation must also be finite: a nan or
// inf in a table would otherwise poison every sum made over the points.
std::optional<double> leadingFiniteDouble(const std::string& text);

// The base-10 integer at the start of the text; none when there is none or it
// does not fit in 32 bits.
std::optional<std::int32_t> leadingInt32(const std::string& text);

}  // namespace kalvex
