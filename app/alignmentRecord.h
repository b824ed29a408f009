#pragma once
// What the main mode reports of its stage loop and final fit.
#include "model/records.h"

namespace kalvex {

struct alignmentRecord {
    int stages = 0;           // stages run
    bool converged = false;   // the RMS changed no more than the convergence value over the last stages
    double initialRms = notANumber;  // weighted, as printed after "Initial RMS: "
    double finalRms = notANumber;    // weighted, as printed after "Final RMS: "
    bool firstTranslationOnRangeEdge = false;  // the raster may be off by more than the first range
};

}  // namespace kalvex
