// The run summary (-os) of a run that fails after the raster was read, and
// the move of the raster that the summary reports.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "model/georeferenceMotion.h"
#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

TEST(RunSummary, WrittenWhenTheTiePointsCannotBeRead) {
    scratchFolder folder("runsummaryfailed");
    writePlaneRaster(folder.file("dem.tif"), 5);
    writeTextFile(folder.file("tracks.csv"), "lon,lat,topo,orbit\n101.2,48.7,4.1,7\n103.6,48,1,8\n");
    writeTextFile(folder.file("broken.gpf"), "no header here\n");
    const commandResult run =
        runProgram({kalvexPath(), "dem.tif", "tracks.csv", "broken.gpf", "-os", "-as", "a/b"}, folder.path());
    ASSERT_EQ(run.status, 1);
    const nlohmann::json summary = nlohmann::json::parse(readTextFile(folder.file("dem_summary.json")));
    EXPECT_EQ(summary["mode"], "main");
    EXPECT_EQ(summary["points"]["read"], 2);
    EXPECT_EQ(summary["points"]["withModelElevationAtStart"], 1);
    EXPECT_TRUE(summary["rms"]["finalWeighted"].is_null());
    EXPECT_TRUE(summary["stages"].is_null());
    ASSERT_EQ(summary["warnings"].size(), 1u);  // the -as text, refused before the raster was read
    EXPECT_EQ(summary["errors"], nlohmann::json::array({"Tie Coordinate Read Unsuccessful"}));
    EXPECT_EQ(summary["outputs"], nlohmann::json::array({"dem_Error_Map.gnu"}));
    EXPECT_EQ(summary["exitStatus"], 1);
}

// Turning the georeference before the move by the reported angle about the
// reported pivot and shifting it by the reported translation gives the
// georeference after the move.
TEST(GeoreferenceMotion, RebuildsTheMovedGeoreference) {
    struct motionCase {
        double angle;
        double shiftX;
        double shiftY;
    };
    for (const motionCase& move : {motionCase{0.0, 1.0, 0.5}, motionCase{-0.7, 0.25, -2.0}}) {
        elevationRaster raster;
        raster.transform = {100.0, 0.5, 0.0, 200.0, 0.0, -0.5};
        const geoTransform before = raster.transform;
        raster.rotateGeotransform(7, 22, move.angle);
        raster.transform[0] += move.shiftX;
        raster.transform[3] += move.shiftY;
        const georeferenceMotion motion = motionBetween(before, raster.transform, 40, 30);
        EXPECT_NEAR(motion.rotationDegrees, move.angle, 1e-9);
        const double turn = motion.rotationDegrees * 3.141592653589793 / 180.0;
        for (const auto& [column, row] : {std::pair{0, 0}, std::pair{39, 29}}) {
            const double x = before[0] + column * before[1] - motion.pivotX;
            const double y = before[3] + row * before[5] - motion.pivotY;
            EXPECT_NEAR(raster.nodeX(column, row),
                        motion.pivotX + std::cos(turn) * x - std::sin(turn) * y + motion.translationX, 1e-9);
            EXPECT_NEAR(raster.nodeY(column, row),
                        motion.pivotY + std::sin(turn) * x + std::cos(turn) * y + motion.translationY, 1e-9);
        }
        if (move.angle == 0.0) {
            EXPECT_DOUBLE_EQ(motion.columns, 2.0);
            EXPECT_DOUBLE_EQ(motion.rows, -1.0);
        }
    }
}

}  // namespace
}  // namespace kalvex::testing
