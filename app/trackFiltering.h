#pragma once
// Statistical track filtering: the lowering of the mean-error limit between
// filtering stages. The weight update and the filtering step itself are
// operations of alignmentModel.
#include "app/runSettings.h"

namespace kalvex {

// The mean-error limit lowered by the settings' share towards their floor,
// announced; a limit already at or below the floor stays, silently.
double lowerMaxError(double maxError, const runSettings& settings);

}  // namespace kalvex
