#pragma once
// Statistical track filtering: the lowering of the mean-error limit between
// filtering stages.
#include <ostream>

#include "app/runSettings.h"

namespace kalvex {

// The mean-error limit lowered by the settings' share towards their floor,
// announced; a limit already at or below the floor stays, silently.
double lowerMaxError(std::ostream& console, double maxError, const runSettings& settings);

}  // namespace kalvex
