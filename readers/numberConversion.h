#pragma once
// Conversion of table fields to numbers. A field converts when it starts, after
// any leading blanks, with a number; whatever follows the number is ignored.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kalvex {

// The number at the start of the text; none when there is no number there or
// it lies beyond the range of a double.
std::optional<double> leadingDouble(std::string_view text);

// A coordinate or elevation beyond this size is no measurement but a broken
// value: squared and summed by the fits it would overflow to inf and turn
// the whole model into nan. The largest real values are map coordinates in
// metres, some 1e7.
constexpr double largestUsableValue = 1e15;

// Finite and no larger than largestUsableValue.
bool isUsableValue(double value);

// As leadingDouble, but a coordinate or elevation must also be usable: a nan,
// an inf or a huge number in a table would otherwise poison every sum made
// over the points.
std::optional<double> leadingFiniteDouble(std::string_view text);

// The base-10 integer at the start of the text; none when there is none or it
// does not fit in 32 bits.
std::optional<std::int32_t> leadingInt32(std::string_view text);

// The value of a plain decimal number that fills the whole text (a sign, if
// any, only in front or in the exponent; no blanks, no hexadecimal, no inf or
// nan) when that value is a normal double: then every conversion of the C
// library rounds it the same way. None in every other case, which the caller
// leaves to the C library.
std::optional<double> wholePlainDecimal(std::string_view text);

}  // namespace kalvex
