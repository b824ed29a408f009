// The move of the raster that a run summary reports.
#include <gtest/gtest.h>

#include <cmath>

#include "model/raster/georeferenceMotion.h"

namespace kalvex {
namespace {

// Turning the georeference before the move by the reported angle about the
// reported pivot and shifting it by the reported translation gives the
// georeference after the move, whatever pivot the stages turned about, also
// for a georeference that already turned as it was read.
TEST(GeoreferenceMotion, RebuildsTheMovedGeoreference) {
    const geoTransform northUp{100.0, 0.5, 0.0, 200.0, 0.0, -0.5};
    for (const geoTransform& before : {northUp, northUp.turnedAbout(3, 4, 30.0)}) {
        elevationRaster raster;
        raster.transform = before.turnedAbout(7, 22, -0.7);
        raster.transform[0] += 0.25;
        raster.transform = raster.transform.turnedAbout(30, 3, 0.2);
        const georeferenceMotion motion = motionBetween(before, raster.transform, 40, 30);
        EXPECT_NEAR(motion.rotationDegrees, -0.5, 1e-9);
        const double turn = motion.rotationDegrees * 3.141592653589793 / 180.0;
        for (const auto& [column, row] : {std::pair{0, 0}, std::pair{39, 29}}) {
            const double x = before.mapX(column, row) - motion.pivotX;
            const double y = before.mapY(column, row) - motion.pivotY;
            EXPECT_NEAR(raster.nodeX(column, row),
                        motion.pivotX + std::cos(turn) * x - std::sin(turn) * y + motion.translationX, 1e-9);
            EXPECT_NEAR(raster.nodeY(column, row),
                        motion.pivotY + std::sin(turn) * x + std::cos(turn) * y + motion.translationY, 1e-9);
        }
    }
}

}  // namespace
}  // namespace kalvex
