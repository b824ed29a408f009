#pragma once
// The help text and the settings block that debug mode prints.
#include "app/runSettings.h"

namespace kalvex {

void printHelp();
void printSettings(const runSettings& settings);

}  // namespace kalvex
