#pragma once
// The help text and the settings block that debug mode prints.
#include <ostream>

#include "app/runSettings.h"

namespace kalvex {

void printHelp(std::ostream& console);
void printSettings(std::ostream& console, const runSettings& settings);

}  // namespace kalvex
