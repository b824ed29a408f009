// Plane and quadratic fits of the point errors, their application to the
// raster and the tie points, and the outlier removal.
#include <gtest/gtest.h>

#include <cmath>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::consoleCapture;
const geoTransform unitCells{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
const geoTransform nearLongitude137{136.9987, 1.0e-5, 0.0, 20.4213, 0.0, -1.0e-5};
const geoTransform polarMetres{1.0e6, 20.0, 0.0, -6.5e5, 0.0, -20.0};

// c0 + c1 u + c2 v + c3 u^2 + c4 u v + c5 v^2 about (x0, y0).
struct surface {
    double x0, y0;
    std::array<double, 6> c;
    double operator()(double x, double y) const {
        const double u = x - x0, v = y - y0;
        return c[0] + c[1] * u + c[2] * v + c[3] * u * u + c[4] * u * v + c[5] * v * v;
    }
};

// A ready model over a raster of one value, without shots.
alignmentModel flatModel(std::uint32_t size, const geoTransform& transform, float value = 0.0f) {
    alignmentModel model;
    model.raster = testing::makeRaster(size, size, transform, [value](int, int) { return value; });
    model.notReady = false;
    model.trackWeights = {1.0};
    return model;
}

// Shots measuring the surface over a raster of zeros, so that each one's error
// is the surface, on a staggered grid of cells; tie points on and off the raster.
alignmentModel sceneOf(const geoTransform& transform, std::uint32_t size, const surface& measured) {
    alignmentModel model = flatModel(size, transform);
    for (int i = 0; i < 25 * 25; ++i) {
        const double c = 2.0 + (i / 25 + 0.5) * (size - 4.0) / 25 + 0.1 * (i % 3);
        const double r = 2.0 + (i % 25 + 0.5) * (size - 4.0) / 25 - 0.1 * (i / 25 % 4);
        model.molaPoints.push_back({0, model.raster.nodeX(c, r), model.raster.nodeY(c, r), 0.0});
        model.molaPoints.back().elevation = measured(model.molaPoints.back().x, model.molaPoints.back().y);
    }
    for (const double c : {-20.0, 10.3, size - 1.0})
        for (const double r : {0.0, 33.3})
            model.tiePoints.push_back({0, model.raster.nodeX(c, r), model.raster.nodeY(c, r), 0.0});
    return model;
}

// Coordinates near 137 degrees with cells of 1e-5 and polar metres near 1e6
// lose every digit to cancellation unless the fits work in a local frame.
TEST(SurfaceFit, KnownSurfacesAreAddedExactlyAtRealCoordinates) {
    for (const auto& [transform, measured] : std::vector<std::pair<geoTransform, surface>>{
             {nearLongitude137, {136.9994, 20.4206, {1.5, 800.0, -1200.0, 0, 0, 0}}},
             {polarMetres, {1.0012e6, -6.513e5, {-2.0, 0.002, 0.0007, 0, 0, 0}}},
             {nearLongitude137, {136.99935, 20.42055, {0.5, 300.0, -500.0, 3.0e6, -2.0e6, 4.0e6}}},
             {polarMetres, {1.0015e6, -6.5151e5, {12.0, -0.003, 0.001, 1.0e-6, 3.0e-7, -2.0e-6}}}}) {
        const bool quadratic = measured.c[3] != 0.0;
        alignmentModel model = sceneOf(transform, 150, measured);
        consoleCapture console;
        // A curved surface is sampled through local planes, which leave a little.
        EXPECT_NEAR(quadratic ? model.quadraticFitStage() : model.linearFitStage(), 0.0, quadratic ? 1e-3 : 1e-6);
        EXPECT_EQ(console.text(), "");
        for (const tiePoint& tie : model.tiePoints) EXPECT_NEAR(tie.elevation, measured(tie.x, tie.y), 1e-6) << measured.x0;
        for (std::uint32_t i = 0; i < 150 * 150; i += 97) {  // float32 cells: allow for their rounding
            const double expected = measured(model.raster.nodeX(i % 150, i / 150), model.raster.nodeY(i % 150, i / 150));
            EXPECT_NEAR(model.raster.cells[i], expected, 1e-6 + std::fabs(expected) * 6e-8) << measured.x0 << " " << i;
        }
    }
}

// Shots 4 above a raster of 100 in two tracks 19 apart: a weight of 0 pulls
// the plane to 0 at the second track; with both weighted the raster rises by 4.
TEST(PlaneFit, ErrorsAreFittedAndATrackOfWeightZeroPullsTheSurfaceTowardsZero) {
    alignmentModel model = flatModel(30, unitCells, 100.0f);
    for (double y = 2.0; y < 27.0; y += 1.0)
        model.molaPoints.insert(model.molaPoints.end(), {{0, 5, y, 104}, {1, 24, y, 104}});
    const std::vector<double> secondSilenced{1.0, 0.0};
    const std::array<double, 3> tilted = model.raster.planeFit(model.molaPoints, &secondSilenced);
    EXPECT_NEAR(tilted[0] * 5.0 + tilted[2], 4.0, 1e-9);
    EXPECT_NEAR(tilted[0] * 24.0 + tilted[2] + std::fabs(tilted[1]), 0.0, 1e-9);
    model.trackWeights = {1.0, 1.0};
    model.notReady = true;  // the stages do nothing until the model is ready
    EXPECT_TRUE(std::isnan(model.linearFitStage()) && std::isnan(model.quadraticFitStage()));
    model.notReady = false;
    EXPECT_NEAR(model.linearFitStage(), 0.0, 1e-9);
    for (float cell : model.raster.cells) EXPECT_FLOAT_EQ(cell, 104.0f);
}

// Fits that the shots do not determine, or that fail, say so and change nothing.
TEST(SurfaceFit, UndeterminedOrFailedFitsWarnAndAreNeverApplied) {
    const std::string fewerThanTwo =
        "There is only one or fewer valid mola point in the raster region, not performing linear fit\n";
    const std::string undetermined = "Warning: The valid mola points do not determine a best fit ";
    const std::string unchanged = ", the raster was left unchanged\n";
    struct row { bool quadratic; std::vector<std::array<double, 3>> shots; std::string console; };
    std::vector<row> rows{{false, {{-40, 5, 9}, {5, 400, 9}}, fewerThanTwo},
                          {false, {{-40, 5, 9}, {5, 5, 9}}, fewerThanTwo},
                          {false, {{5, 5, 9}, {5, 5, 7}}, undetermined + "plane" + unchanged},  // one place twice
                          {true, {{-40, 5, 9}}, undetermined + "quadratic surface" + unchanged},
                          {true, {}, undetermined + "quadratic surface" + unchanged},  // one straight track
                          {true, {}, undetermined + "quadratic surface" + unchanged},  // two parallel tracks
                          {true, {}, "NAN ERROR\n"}};                                  // an error that is no number
    for (int i = 0; i < 40; ++i) {
        rows[4].shots.push_back({3.0 + 1.4 * i, 0.98 * i + 4.1, 3.0 + 0.2 * i});
        rows[5].shots.insert(rows[5].shots.end(), {{3.0 + 2.3 * i, 40, 0.3 * i}, {3.0 + 2.3 * i, 90, 0.3 * i + 1}});
        rows[6].shots.push_back({3.0 + 3.1 * (i % 7), 3.0 + 3.7 * i, i == 5 ? notANumber : 0.01 * i * i});
    }
    for (const row& test : rows) {
        alignmentModel model = flatModel(150, nearLongitude137);
        for (const auto& [c, r, z] : test.shots)
            model.molaPoints.push_back({0, model.raster.nodeX(c, r), model.raster.nodeY(c, r), z});
        model.tiePoints = {{0, 137.0, 20.42, 0.0}};
        consoleCapture console;
        test.quadratic ? model.quadraticFitStage() : model.linearFitStage();
        EXPECT_EQ(console.text(), test.console) << test.shots.size();
        for (float cell : model.raster.cells) ASSERT_EQ(cell, 0.0f) << test.console;
        EXPECT_EQ(model.tiePoints[0].elevation, 0.0);
        if (test.console == "NAN ERROR\n") {
            EXPECT_EQ(model.raster.quadraticFit(model.molaPoints, nullptr), (std::array<double, 6>{}));
        }
    }
}

// Shots along one line fix the offset and the slope along it only; the plane
// added has no slope across the line, whether the shots share one longitude
// exactly (whose mean is not exactly that longitude) or scatter a little.
TEST(SurfaceFit, ShotsAlongOneLineGetThePlaneWithoutSlopeAcrossItAndOneWarning) {
    for (const double scatter : {0.0, 0.05}) {  // in cells, across the track
        alignmentModel model = flatModel(60, {137.4, 1.0e-4, 0.0, -4.6, 0.0, -1.0e-4});
        for (int i = 0; i < 50; ++i) {
            const double c = 21.3 + (i % 2 == 0 ? scatter : -scatter), r = 3.0 + i;
            model.molaPoints.push_back({0, model.raster.nodeX(c, r), model.raster.nodeY(c, r), 2.0 + 0.05 * r});
        }
        model.tiePoints = {{0, model.raster.nodeX(59.0, 10.0), model.raster.nodeY(59.0, 10.0), 100.0}};
        consoleCapture console;
        EXPECT_NEAR(model.linearFitStage(), 0.0, 1e-6);
        model.linearFitStage();
        EXPECT_EQ(console.text(), "Warning: The valid mola points lie along one line, the plane is fitted without a "
                                  "slope across it\n");
        for (std::uint32_t i = 0; i < 60 * 60; i += 37) EXPECT_NEAR(model.raster.cells[i], 2.0 + 0.05 * (i / 60), 1e-3) << i;
        EXPECT_NEAR(model.tiePoints[0].elevation, 102.5, 1e-3);
    }
}

// Shots on the nodes 7 to 23 of a raster of zeros, whose offsets from their
// mean 15 are exact eighths of the largest: the quadratic fit prints its
// matrix before, during and after solving, with twelve digits that stay on
// the console, then the coefficients in map terms.
TEST(SurfaceFit, DebugPrintsTheCoefficientsAndTheQuadraticMatrices) {
    alignmentModel plane = flatModel(30, unitCells), bowl = plane;
    plane.raster.debug = bowl.raster.debug = true;
    const surface measured{15, 15, {1.0, 0.25, -0.5, 0.125, 0.0625, -0.25}};
    for (int i = 0; i < 17 * 17; ++i) bowl.molaPoints.push_back({0, 7.0 + i % 17, 7.0 + i / 17, measured(7 + i % 17, 7 + i / 17)});
    for (double x = 2.0; x < 27.0; x += 1.3)
        for (double y = 2.0; y < 27.0; y += 3.1) plane.molaPoints.push_back({0, x, y, 0.01 * x - 0.5 * y + 7});
    consoleCapture console;
    plane.linearFitStage();
    EXPECT_EQ(console.text(), "\nBest Fit Plane:\nCx: 0.01\nCy: -0.5\nC 7\n");
    bowl.quadraticFitStage();
    EXPECT_EQ(console.text().substr(39), testing::testDataText("fits/quadratic_debug.txt"));
    EXPECT_EQ(std::cout.precision(), 12);
}

// The mean is taken once, before any removal; a point exactly at the threshold
// goes, and one without a model elevation stays.
TEST(OutlierRemoval, MeanIsTakenOnceEqualityRemovesAndWeightsDecide) {
    const alignmentModel flat = flatModel(20, unitCells);
    struct row { std::vector<molaPoint> points; std::vector<double> weights; double threshold; std::string console;
                 std::vector<double> keptX; };
    for (const row& test : std::vector<row>{
             {{{0, 3, 3, 0.0}, {1, 4, 3, 1.0}, {2, 5, 3, 100.0}, {3, 6, 3, 2.0}}, {}, 30.0,
              "The coordinate 2:5:3:100 was removed.\n", {3, 4, 6}},
             {{{0, 3, 4, 0}, {0, 4, 4, 0}, {0, 5, 4, 0}, {0, 6, 4, 0}, {0, 7, 4, 0}, {0, 8, 4, 0},
               {7, 12.5, 7.25, 100.0}, {7, 13.5, 8.25, 100.0}, {7, 40.0, 8.0, 1.0e6}}, {}, 30.0,
              "The coordinate 7:12.5:7.25:100 was removed.\nThe coordinate 7:13.5:8.25:100 was removed.\n",
              {3, 4, 5, 6, 7, 8, 40}},
             {{{0, 3, 3, 0.0}, {0, 4, 3, 0.0}, {0, 5, 3, 0.0}, {1, 6, 3, 100.0}}, {1.0, 0.1}, 30.0, "", {3, 4, 5, 6}},
             {{{0, 3, 3, 5.0}, {0, -9, 3, 5.0}, {0, 4, 3, 5.0}}, {}, 0.0,
              "The coordinate 0:3:3:5 was removed.\nThe coordinate 0:4:3:5 was removed.\n", {-9}}}) {
        std::vector<molaPoint> points = test.points;
        consoleCapture console;
        flat.raster.removeOutliers(points, test.weights.empty() ? nullptr : &test.weights, test.threshold);
        std::vector<double> keptX;
        for (const molaPoint& point : points) keptX.push_back(point.x);
        EXPECT_EQ(console.text(), test.console);
        EXPECT_EQ(keptX, test.keptX);
    }
}

}  // namespace
}  // namespace kalvex
