// Rasters in a map projection of their own: the shots go into it through GDAL,
// and the real ISIS cube of Mawrth Vallis, in equirectangular metres, is
// aligned with real altimeter shots from end to end.
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>

#include "model/raster/rasterProjection.h"
#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

elevationRaster rasterProjectedBy(const char* proj) {
    OGRSpatialReference reference;
    EXPECT_EQ(reference.importFromProj4(proj), OGRERR_NONE);
    char* wkt = nullptr;
    reference.exportToWkt(&wkt);
    elevationRaster raster;
    raster.projected = true;
    raster.spatialReference = wkt;
    CPLFree(wkt);
    return raster;
}

// An equirectangular reference centred at 341 E takes either count of longitudes alike; a south polar stereographic
// one its own sphere, central meridian and latitude of true scale, where the distance from the pole is
// R (1 + sin |lat_ts|) tan(45 + lat / 2) degrees. Map positions go back to the same angles.
TEST(RasterProjection, ShotsGoIntoTheRastersOwnProjectionAndBack) {
    const double radius = 3396190.0, degree = pi / 180.0;
    const double fromPole = radius * (1.0 + std::sin(71.0 * degree)) * std::tan((45.0 - 80.0 / 2.0) * degree);
    const char* const equirectangular = "+proj=eqc +lat_ts=0 +lon_0=341 +R=3396190 +units=m";
    const char* const polar = "+proj=stere +lat_0=-90 +lat_ts=-71 +lon_0=30 +R=3396190 +units=m";
    struct row { const char* proj; double lon, lat, x, y; };
    for (const row& test : {row{equirectangular, 341.5, 24.0, 0.5 * degree * radius, 24.0 * degree * radius},
                            row{equirectangular, -18.5, 24.0, 0.5 * degree * radius, 24.0 * degree * radius},
                            row{polar, 120.0, -80.0, fromPole, 0.0}, row{polar, -240.0, -80.0, fromPole, 0.0}}) {
        const std::optional<rasterProjection> projection = rasterProjection::of(rasterProjectedBy(test.proj));
        ASSERT_TRUE(projection) << test.proj;
        std::vector<molaPoint> shots{{0, test.lon, test.lat, 0.0}};
        projection->toMap(shots);
        EXPECT_NEAR(shots[0].x, test.x, 1e-6) << test.proj << " " << test.lon;
        EXPECT_NEAR(shots[0].y, test.y, 1e-6) << test.proj << " " << test.lon;
        std::vector<tiePoint> back{{0, shots[0].x, shots[0].y, 0.0}};
        projection->toDegrees(back);
        EXPECT_NEAR(std::remainder(back[0].x - test.lon, 360.0), 0.0, 1e-9);
        EXPECT_NEAR(back[0].y, test.lat, 1e-9);
    }
    EXPECT_FALSE(rasterProjection::of(elevationRaster{}));  // no spatial reference
}

// The real cube holds 16-bit whole numbers in equirectangular metres; the tie point is in degrees of the other
// count of longitudes. The raster lies about 65 cells north of the shots and not east of them (the cube's own
// misregistration); the aligned raster is a float32 GeoTIFF in the cube's projection, and the tie point is
// written back as it was read.
TEST(ProjectedRun, TheRealCubeIsAlignedWithRealShots) {
    scratchFolder folder("cuberun");
    std::filesystem::copy_file(testDataDir() + "/rasters/Mawrth_Vallis_3413E_242N_mola.cub", folder.file("dem.cub"));
    std::filesystem::copy_file(testDataDir() + "/rasters/mawrth_vallis_shots.csv", folder.file("shots.csv"));
    writeTextFile(folder.file("ties.gpf"), "point_id,lat,lon,ht\na 24.5 341.4 -2500\n");
    const commandResult run = runProgram(
        {kalvexPath(), "dem.cub", "shots.csv", "ties.gpf", "-robust", "-p", "17782", "-od", "-os"}, folder.path());
    ASSERT_EQ(run.status, 0) << run.standardOutput;
    EXPECT_NE(run.standardOutput.find("Elevation\na\t341:24:0\t24:30:0\t-2500\n"), std::string::npos);
    EXPECT_NE(run.standardOutput.find("Final XYZ Coordinates\n\npointID\tLongitude\tLatitude\tElevation\na\t341:24:0."),
              std::string::npos);
    const nlohmann::json summary = nlohmann::json::parse(readTextFile(folder.file("dem_summary.json")));
    EXPECT_EQ(summary["raster"]["mapUnits"], "metres");
    EXPECT_NEAR(double(summary["translation"]["cells"][0]), 0.0, 0.25);
    EXPECT_NEAR(double(summary["translation"]["cells"][1]), 65.3, 0.5);
    alignmentModel aligned(discardedConsole());
    ASSERT_TRUE(aligned.readRaster(folder.file("dem_aligned.tif"), -32767.0));
    EXPECT_TRUE(aligned.state().raster.projected && !aligned.state().raster.wholeNumberCells);
    EXPECT_EQ(aligned.state().raster.width * 1000 + aligned.state().raster.height, 282u * 1000 + 333);
}

}  // namespace
}  // namespace kalvex::testing
