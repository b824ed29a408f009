#pragma once
// How far a run moved the raster: the final georeference as the initial one
// turned about the centre of the raster and then shifted.
#include <cstdint>

#include "model/raster/elevationRaster.h"

namespace kalvex {

struct georeferenceMotion {
    double pivotX = 0.0;           // the centre of the raster's nodes before the move
    double pivotY = 0.0;
    double rotationDegrees = 0.0;  // counter-clockwise, within (-180, 180]
    double translationX = 0.0;     // where the pivot went, in map units
    double translationY = 0.0;
    double columns = 0.0;          // the same shift in cells of the raster before the move
    double rows = 0.0;
};

georeferenceMotion motionBetween(const geoTransform& before, const geoTransform& after, std::uint32_t width,
                                 std::uint32_t height);

}  // namespace kalvex
