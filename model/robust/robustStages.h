#pragma once
// The two searches of the robust alignment, measured with the robust measure
// on as many threads as the inputs allow: a translation of the raster, and a
// turn about a node of it. Both only measure; moving the raster is the
// caller's decision. Steps are in cells, a turn's step in how far it moves the
// shot farthest from the pivot. Every grid compares its candidates on the
// same shots.
#include "model/evaluation/searchInputs.h"
#include "model/robust/robustObjective.h"

namespace kalvex {

struct offsetFound {
    double dx = 0.0;  // map units
    double dy = 0.0;
    double rms = notANumber;
};

// reach: cells each way that the first, coarse grid spans at least, about
// the raster moved by (startX, startY) in map units.
offsetFound searchRobustOffset(const searchInputs& inputs, const robustShots& shots, double reach,
                               double startX = 0.0, double startY = 0.0);

// Where a robust search of the translation, started with the raster moved by
// (startX, startY) in map units as the robust alignment starts from where the
// raster was read, finds its best, and the measure there and where the raster
// is, on the same shots.
struct probeFound {
    double cells = 0.0;  // from where the raster is to the best the search found
    double there = notANumber;
    double here = notANumber;
};
probeFound probeRobustly(const searchInputs& inputs, const robustShots& shots, double reach, double startX,
                         double startY);

struct turnFound {
    int column = 0;  // the pivot node
    int row = 0;
    double angle = 0.0;  // degrees, counter-clockwise
    double rms = notANumber;
    // Lowers the measure by many times what a turn fitted to independent
    // residuals gains by chance: worth trying, but residuals that are not
    // independent may still gain that much; the caller judges the turn once
    // the position has settled.
    bool beyondChance = false;
};

// reach: degrees each way that the first, coarse grid spans at least. The
// turn pivots about the node about which, as the terrain under the shots
// tells, it changes nothing that a translation could.
turnFound searchRobustTurn(const searchInputs& inputs, const robustShots& shots, double reach);

}  // namespace kalvex
