#pragma once
// What the fuzz harnesses share: the bytes of an input as a file that a reader
// can open by name, a quiet console, and a stop at a broken promise.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kalvex::fuzzing {

// Writes the bytes to this process's scratch file with the ending, in
// memory-backed storage when there is any, removed when the harness ends.
std::string scratchFile(const std::uint8_t* data, std::size_t size, const std::string& extension);

// Stops the run with a crash that the fuzzer records as a finding.
void require(bool condition, const char* promise);

}  // namespace kalvex::fuzzing
