#pragma once
// Every input is told by the last four characters of its name (".tif",
// ".csv", ".gpf", ...), exactly and case-sensitively.
#include <string>

namespace kalvex {

// The last four characters of a name (all of it when shorter).
inline std::string lastFourCharacters(const std::string& name) {
    return name.size() < 4 ? name : name.substr(name.size() - 4);
}

}  // namespace kalvex
