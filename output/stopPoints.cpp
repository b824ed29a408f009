#include "output/stopPoints.h"

namespace kalvex {

stopPointHook stopPointReached = nullptr;

}  // namespace kalvex
