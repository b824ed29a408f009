#include "app/trackFiltering.h"

#include <cmath>
#include <ostream>

namespace kalvex {

double lowerMaxError(std::ostream& console, double maxError, const runSettings& settings) {
    if (!(maxError > settings.sfCutoff)) return maxError;
    // The integer part, taken on the double itself: no conversion can overflow.
    double lowered = std::trunc(settings.sfDecrease * maxError);
    if (lowered <= settings.sfCutoff) lowered = settings.sfCutoff;
    console << "The new max error threshold is: " << lowered << std::endl;
    return lowered;
}

}  // namespace kalvex
