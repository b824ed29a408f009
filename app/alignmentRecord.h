#pragma once
// What the main mode reports of its stage loop and final fit.
#include "app/runVerdict.h"
#include "model/evaluation/positionUncertainty.h"
#include "model/records.h"

namespace kalvex {

struct alignmentRecord {
    int stages = 0;           // stages run
    bool converged = false;   // the RMS changed no more than the convergence value over the last stages
    double initialRms = notANumber;  // weighted, as printed after "Initial RMS: "
    double finalRms = notANumber;    // weighted, as printed after "Final RMS: "
    bool firstTranslationOnRangeEdge = false;  // the raster may be off by more than the first range
    bool measureLost = false;  // a robust round could measure no candidate at all
    // How precisely the shots fix the position where the alignment left it,
    // at the raster's centre: translation in cells along x and y, turn in degrees.
    positionUncertainty uncertainty;
    double betterPositionCells = 0.0;  // how far a robust probe found a clearly better position; 0: none
    bool failed = false;               // nothing was left to align to
    verdictReasons reasons;
};

}  // namespace kalvex
