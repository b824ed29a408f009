// The translation search: a square grid of horizontal offsets of the raster,
// keeping the first one that lowers the weighted RMS the most.
#include <cmath>
#include <iostream>

#include "model/alignmentModel.h"

namespace kalvex {

namespace {

// A scan needs a step that actually moves it from -padding to +padding;
// anything else would never end, so only the unmoved position is tried.
bool scanCanAdvance(double padding, double delta) {
    if (!(delta > 0.0) || !std::isfinite(delta) || !std::isfinite(padding)) return false;
    const double widest = std::fabs(padding);
    return widest + delta != widest;
}

}  // namespace

double alignmentModel::translationStage(double currentRms, double padding, double delta) {
    if (notReady) return -1.0;
    if (debug) std::cout << "Beginning Translation Stage" << std::endl;

    double best = currentRms;
    double bestDx = 0.0;
    double bestDy = 0.0;
    const auto tryOffset = [&](double dx, double dy) {
        const double rms = raster.rmsAndMean(molaPoints, &trackWeights, dx, dy, 0.0).rms;
        if (!(rms < best)) return;
        best = rms;
        bestDx = dx;
        bestDy = dy;
        if (debug)
            std::cout << "New Lowest RMS with x-y translation of (" << dx << "," << dy << ") is " << rms << std::endl;
    };

    if (scanCanAdvance(padding, delta)) {
        // 0 - padding rather than -padding: a zero padding reports 0, not -0.
        const double first = 0.0 - padding;
        for (double dy = first; dy <= padding; dy += delta)
            for (double dx = first; dx <= padding; dx += delta) tryOffset(dx, dy);
    } else {
        tryOffset(0.0, 0.0);
    }

    std::cout << "x-translation: " << bestDx << std::endl;
    std::cout << "y-translation: " << bestDy << std::endl;
    raster.transform[0] += bestDx;
    raster.transform[3] += bestDy;
    for (tiePoint& point : tiePoints) {
        point.x += bestDx;
        point.y += bestDy;
    }
    return best;
}

}  // namespace kalvex
