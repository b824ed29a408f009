#pragma once
// The two searches of the robust alignment, measured with the robust measure
// on as many threads as the model may use: a translation of the raster, and a
// turn about the node nearest the middle of the shots. Both only measure;
// moving the raster is the caller's decision. Steps are in cells, a turn's
// step in how far it moves the shot farthest from the pivot.
#include "model/alignmentModel.h"
#include "model/robustObjective.h"

namespace kalvex {

struct offsetFound {
    double dx = 0.0;  // map units
    double dy = 0.0;
    double rms = notANumber;
};

// reach: cells each way that the first, coarse grid spans at least.
offsetFound searchRobustOffset(const alignmentModel& model, const robustShots& shots, double reach);

struct turnFound {
    int column = 0;  // the pivot node
    int row = 0;
    double angle = 0.0;  // degrees, counter-clockwise
    double rms = notANumber;
    bool beyondNoise = false;  // lowers the measure by more than shots without any turn would
};

// reach: degrees each way that the first, coarse grid spans at least.
turnFound searchRobustTurn(const alignmentModel& model, const robustShots& shots, double reach);

}  // namespace kalvex
