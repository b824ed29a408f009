// Plane and quadratic fits of the point errors, added to the raster and the tie points, and the outlier removal.
#include <gtest/gtest.h>

#include <cmath>

#include "app/plainStages.h"
#include "model/evaluation/pointError.h"
#include "model/plain/outlierRemoval.h"
#include "model/plain/surfaceFit.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

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

// A ready state over a raster of zeros, so that a shot's error is its elevation, with shots at cells (c, r, z).
runState flatScene(std::uint32_t size, const geoTransform& transform,
                   const std::vector<std::array<double, 3>>& shots = {}) {
    runState scene;
    scene.raster = testing::makeRaster(size, size, transform, [](int, int) { return 0.0; });
    for (const auto& [c, r, z] : shots)
        scene.molaPoints.push_back({0, scene.raster.nodeX(c, r), scene.raster.nodeY(c, r), z});
    scene.notReady = false;
    scene.trackWeights = {1.0};
    return scene;
}

// The plane (or quadratic surface) of the scene's weighted errors, added to its cells and tie points.
void addFit(std::ostream& console, runState& scene, bool quadratic) {
    const trackWeightList* weights = &scene.trackWeights;
    addSurface(scene.raster, scene.tiePoints,
               quadratic ? quadraticOfErrors(console, scene.raster, scene.molaPoints, weights)
                         : planeOfErrors(console, scene.raster, scene.molaPoints, weights, false));
}

// Coordinates near 137 degrees with cells of 1e-5 and polar metres near 1e6 lose every digit to cancellation unless the
// fits work in a local frame. Shots measure the surface on a staggered grid; tie points lie on and off the raster.
TEST(SurfaceFit, KnownSurfacesAreAddedExactlyAtRealCoordinates) {
    for (const auto& [transform, measured] : std::vector<std::pair<geoTransform, surface>>{
             {nearLongitude137, {136.9994, 20.4206, {1.5, 800.0, -1200.0, 0, 0, 0}}},
             {polarMetres, {1.0012e6, -6.513e5, {-2.0, 0.002, 0.0007, 0, 0, 0}}},
             {nearLongitude137, {136.99935, 20.42055, {0.5, 300.0, -500.0, 3.0e6, -2.0e6, 4.0e6}}},
             {polarMetres, {1.0015e6, -6.5151e5, {12.0, -0.003, 0.001, 1.0e-6, 3.0e-7, -2.0e-6}}}}) {
        runState scene = flatScene(150, transform);
        for (int i = 0; i < 25 * 25; ++i) {
            const double c = 4.92 + i / 25 * 5.84 + 0.1 * (i % 3), r = 4.92 + i % 25 * 5.84 - 0.1 * (i / 25 % 4);
            scene.molaPoints.push_back({0, scene.raster.nodeX(c, r), scene.raster.nodeY(c, r), 0.0});
            scene.molaPoints.back().elevation = measured(scene.molaPoints.back().x, scene.molaPoints.back().y);
        }
        for (const double c : {-20.0, 10.3, 149.0})
            scene.tiePoints.push_back({0, scene.raster.nodeX(c, 150 - c), scene.raster.nodeY(c, 150 - c), 0.0});
        const bool quadratic = measured.c[3] != 0.0;
        std::ostringstream console;
        addFit(console, scene, quadratic);
        // A curved surface is sampled through local planes, which leave a little.
        EXPECT_NEAR(rmsAndMean(scene.raster, scene.molaPoints, &scene.trackWeights, 0, 0, 0).rms, 0.0,
                    quadratic ? 1e-3 : 1e-6);
        EXPECT_EQ(console.str(), "");
        for (const tiePoint& tie : scene.tiePoints) EXPECT_NEAR(tie.elevation, measured(tie.x, tie.y), 1e-6);
        for (std::uint32_t i = 0; i < 150 * 150; i += 97) {  // float32 cells: allow for their rounding
            const double expected =
                measured(scene.raster.nodeX(i % 150, i / 150), scene.raster.nodeY(i % 150, i / 150));
            EXPECT_NEAR(scene.raster.cells[i], expected, 1e-6 + std::fabs(expected) * 6e-8) << measured.x0 << " " << i;
        }
    }
}

// Fits that the shots do not determine, or that fail, say so and change nothing.
TEST(SurfaceFit, UndeterminedOrFailedFitsWarnAndAreNeverApplied) {
    const std::string warning = "Warning: The valid mola points do not determine a best fit ";
    const std::string unchanged = ", the raster was left unchanged\n";
    struct row { bool quadratic; std::vector<std::array<double, 3>> shots; std::string console; };
    std::vector<row> rows{
        {false, {{-40, 5, 9}, {5, 5, 9}},
         "There is only one or fewer valid mola point in the raster region, not performing linear fit\n"},
        {false, {{5, 5, 9}, {5, 5, 7}}, warning + "plane" + unchanged},  // one place twice
        {true, {{-40, 5, 9}}, warning + "quadratic surface" + unchanged},
        {true, {}, warning + "quadratic surface" + unchanged},  // one straight track
        {true, {}, warning + "quadratic surface" + unchanged},  // two parallel tracks
        {true, {}, "NAN ERROR\n"}};                             // an error that is no number
    for (int i = 0; i < 40; ++i) {
        rows[3].shots.push_back({3.0 + 1.4 * i, 0.98 * i + 4.1, 3.0 + 0.2 * i});
        rows[4].shots.insert(rows[4].shots.end(), {{3.0 + 2.3 * i, 40, 0.3 * i}, {3.0 + 2.3 * i, 90, 0.3 * i + 1}});
        rows[5].shots.push_back({3.0 + 3.1 * (i % 7), 3.0 + 3.7 * i, i == 5 ? notANumber : 0.01 * i * i});
    }
    for (const row& test : rows) {
        runState scene = flatScene(150, nearLongitude137, test.shots);
        scene.tiePoints = {{0, 137.0, 20.42, 0.0}};
        std::ostringstream console;
        addFit(console, scene, test.quadratic);
        EXPECT_EQ(console.str(), test.console) << test.shots.size();
        EXPECT_EQ(scene.raster.cells, std::vector<float>(150 * 150, 0.0f)) << test.console;
        EXPECT_EQ(scene.tiePoints[0].elevation, 0.0);
    }
    runState failed = flatScene(150, nearLongitude137, rows[5].shots), idle = flatScene(9, unitCells);
    EXPECT_EQ(quadraticFit(testing::discardedConsole(), failed.raster, failed.molaPoints, nullptr),
              (std::array<double, 6>{}));
    idle.notReady = true;
    const alignmentModel idleModel(testing::discardedConsole(), idle);
    EXPECT_EQ(testing::textOf({idleModel.currentRms().rms, idleModel.currentRms().mean}), "0 0 ");
}

// Shots along one line fix the offset and the slope along it only; the plane added has no slope across the line,
// whether the shots share one longitude exactly (whose mean is not exactly that longitude) or scatter a little. The
// model keeps that the warning was given: the next plane says it no more.
TEST(SurfaceFit, ShotsAlongOneLineGetThePlaneWithoutSlopeAcrossItAndOneWarning) {
    for (const double scatter : {0.0, 0.05}) {  // in cells, across the track
        std::vector<std::array<double, 3>> track;
        for (int i = 0; i < 50; ++i) track.push_back({21.3 + (i % 2 ? -scatter : scatter), 3.0 + i, 2.15 + 0.05 * i});
        runState scene = flatScene(60, {137.4, 1.0e-4, 0.0, -4.6, 0.0, -1.0e-4}, track);
        scene.tiePoints = {{0, scene.raster.nodeX(59.0, 10.0), scene.raster.nodeY(59.0, 10.0), 100.0}};
        std::ostringstream console;
        alignmentModel model(console, scene);
        EXPECT_NEAR(planeStage(model), 0.0, 1e-6);
        planeStage(model);
        EXPECT_EQ(console.str(), "Warning: The valid mola points lie along one line, the plane is fitted without a "
                                  "slope across it\n");
        for (std::uint32_t i = 0; i < 60 * 60; i += 37)
            EXPECT_NEAR(model.state().raster.cells[i], 2.0 + 0.05 * (i / 60), 1e-3);
        EXPECT_NEAR(model.state().tiePoints[0].elevation, 102.5, 1e-3);
    }
}

// Two tracks two cells apart, one 20 m above the other, scatter about one line enough to pass for two directions, but
// a plane through them would tilt the raster's far edges by a thousand metres: it gets no slope across them. A
// quadratic through two meandering tracks would swing as far: it is not added. Both say so, and the model keeps it.
TEST(SurfaceFit, FitsTheShotsDoNotHoldUpAcrossTheRasterAreNotAddedAsTheyWouldSwing) {
    std::vector<std::array<double, 3>> close, meandering;
    for (int i = 0; i < 100; ++i) {
        close.push_back({99.0 + 2.0 * (i % 2), 5.0 + 1.9 * i, i % 2 ? 20.0 : 0.0});
        meandering.push_back({(i % 2 ? 60.0 : 140.0) + std::sin(0.3 * i), 5.0 + 1.9 * i, 0.05 * i});
    }
    std::ostringstream console;
    alignmentModel plane(console, flatScene(200, unitCells, close));
    alignmentModel quadratic(console, flatScene(200, unitCells, meandering));
    planeStage(plane);
    EXPECT_EQ(console.str(), "Warning: The valid mola points lie too near one line to hold a plane up across the "
                             "raster, the plane is fitted without a slope across them\n");
    EXPECT_TRUE(plane.state().lineFitTold && !plane.state().quadraticLeftOpen);
    EXPECT_NEAR(plane.state().raster.cell(0, 100), 10.0, 0.01);
    EXPECT_NEAR(plane.state().raster.cell(199, 100), plane.state().raster.cell(0, 100), 1e-3);
    quadraticStage(quadratic);
    EXPECT_TRUE(quadratic.state().quadraticLeftOpen && !quadratic.state().lineFitTold);
    EXPECT_EQ(quadratic.state().raster.cells, std::vector<float>(200 * 200, 0.0f));
}

// The plane's coefficients; and on the nodes 7 to 23, whose offsets from their mean 15 are exact eighths of the
// largest, the quadratic fit's matrix before, during and after solving, with twelve digits that stay on the console.
TEST(SurfaceFit, DebugPrintsTheCoefficientsAndTheQuadraticMatrices) {
    const surface bowl{15, 15, {1.0, 0.25, -0.5, 0.125, 0.0625, -0.25}};
    std::vector<std::array<double, 3>> onBowl, onPlane;
    for (int i = 0; i < 17 * 17; ++i) onBowl.push_back({7.0 + i % 17, 7.0 + i / 17, bowl(7 + i % 17, 7 + i / 17)});
    for (int i = 0; i < 20 * 9; ++i) onPlane.push_back({2 + 1.3 * (i % 20), 2 + 3.1 * (i / 20), 0.0});
    for (auto& [x, y, z] : onPlane) z = 0.01 * x - 0.5 * y + 7;
    runState plane = flatScene(30, unitCells, onPlane), quadratic = flatScene(30, unitCells, onBowl);
    plane.raster.debug = quadratic.raster.debug = true;
    std::ostringstream console;
    addFit(console, plane, false);
    addFit(console, quadratic, true);
    EXPECT_EQ(console.str(), testing::testDataText("fits/debug.txt"));
    EXPECT_EQ(console.precision(), 12);
}

// The mean is taken once, before any removal; a point at the threshold goes, one without a model elevation stays.
TEST(OutlierRemoval, MeanIsTakenOnceEqualityRemovesAndPointsOffTheRasterStay) {
    runState flat = flatScene(20, unitCells);
    const trackWeightList weight{1.0};
    struct row { std::vector<molaPoint> points; double threshold; std::string console; std::vector<double> keptX; };
    for (const row& test : std::vector<row>{
             {{{0, 3, 3, 0.0}, {0, 4, 3, 1.0}, {0, 5, 3, 100.0}, {0, 6, 3, 2.0}}, 30.0,
              "The coordinate 0:5:3:100 was removed.\n", {3, 4, 6}},
             {{{0, 3, 4, 0}, {0, 4, 4, 0}, {0, 5, 4, 0}, {0, 6, 4, 0}, {0, 7, 4, 0}, {0, 8, 4, 0},
               {0, 12.5, 7.25, 100.0}, {0, 13.5, 8.25, 100.0}, {0, 40.0, 8.0, 1.0e6}}, 30.0,
              "The coordinate 0:12.5:7.25:100 was removed.\nThe coordinate 0:13.5:8.25:100 was removed.\n",
              {3, 4, 5, 6, 7, 8, 40}},
             {{{0, 3, 3, 5.0}, {0, -9, 3, 5.0}, {0, 4, 3, 5.0}}, 0.0,
              "The coordinate 0:3:3:5 was removed.\nThe coordinate 0:4:3:5 was removed.\n", {-9}},
             {{{0, 3, 3, 5.0}}, 0.0, "The coordinate 0:3:3:5 was removed.\n", {}}}) {
        flat.molaPoints = test.points;
        std::ostringstream console;
        alignmentModel model(console, flat);
        model.removePoints(outlierIndices(flat.raster, flat.molaPoints, test.threshold == 0.0 ? &weight : nullptr,
                                          test.threshold));
        std::vector<double> keptX;
        for (const molaPoint& point : model.state().molaPoints) keptX.push_back(point.x);
        EXPECT_EQ(console.str(), test.console);
        EXPECT_EQ(keptX, test.keptX);
    }
    // Weighted errors of the cells as they are: 4, half of 4 and 3, each 1 from their mean or not at all.
    flat.molaPoints = {{0, 3, 3, 4.0}, {1, 4, 3, 4.0}, {0, 5, 3, 3.0}};
    const trackWeightList halfOfTrack1{1.0, 0.5};
    EXPECT_EQ(outlierIndices(flat.raster, flat.molaPoints, &halfOfTrack1, 1.0), (std::vector<std::size_t>{0, 1}));
}

}  // namespace
}  // namespace kalvex
