#pragma once
// Statistical track filtering: the lowering of the mean-error limit between
// filtering stages. The weight update and the filtering step itself are
// operations of alignmentModel.
#include "app/runSettings.h"

namespace kalvex {

// Lowers sfMaxError towards sfCutoff and announces the new limit; a limit
// already at or below the floor stays as it is, silently.
void lowerMaxError(runSettings& settings);

}  // namespace kalvex
