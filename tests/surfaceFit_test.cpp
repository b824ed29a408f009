// Plane and quadratic fits of the point errors, their application to the
// raster and the tie points, and the outlier removal.
#include <gtest/gtest.h>

#include <cmath>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::consoleCapture;
using surfaceFunction = std::function<double(double, double)>;
const geoTransform unitCells{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
const geoTransform nearLongitude137{136.9987, 1.0e-5, 0.0, 20.4213, 0.0, -1.0e-5};
const geoTransform polarMetres{1.0e6, 20.0, 0.0, -6.5e5, 0.0, -20.0};

alignmentModel flatModel(std::uint32_t size, const geoTransform& transform, float value = 0.0f) {
    alignmentModel model;
    model.raster = testing::makeRaster(size, size, transform, [value](int, int) { return value; });
    model.notReady = false;
    model.trackWeights = {1.0};
    return model;
}

void addShot(alignmentModel& model, double c, double r, const surfaceFunction& surface) {
    const double x = model.raster.nodeX(c, r), y = model.raster.nodeY(c, r);
    model.molaPoints.push_back({0, x, y, surface(x, y)});
}

// Shots measuring the surface over a raster of zeros, so that each one's
// error is the surface, on a staggered grid; tie points on and off the raster.
alignmentModel sceneOf(const geoTransform& transform, std::uint32_t size, const surfaceFunction& surface,
                       int perSide = 25) {
    alignmentModel model = flatModel(size, transform);
    const double spacing = double(size - 4) / perSide;
    for (int i = 0; i < perSide; ++i)
        for (int j = 0; j < perSide; ++j)
            addShot(model, 2.0 + (i + 0.5) * spacing + 0.1 * (j % 3), 2.0 + (j + 0.5) * spacing - 0.1 * (i % 4), surface);
    for (double c : {-20.0, 10.3, double(size - 1)})
        for (double r : {0.0, 33.3}) model.tiePoints.push_back({0, model.raster.nodeX(c, r), model.raster.nodeY(c, r), 0.0});
    return model;
}

double quadraticNear137(double x, double y) {
    const double u = x - 136.99935, v = y - 20.42055;
    return 0.5 + 3.0e6 * u * u - 2.0e6 * u * v + 4.0e6 * v * v + 300.0 * u - 500.0 * v;
}

// Coordinates near 137 degrees with cells of 1e-5 and polar metres near 1e6
// lose every digit to cancellation unless the fits work in a local frame.
TEST(SurfaceFit, KnownSurfacesAreAddedExactlyAtRealCoordinates) {
    struct row { const char* name; geoTransform transform; surfaceFunction surface; bool quadratic; };
    for (const row& test : std::vector<row>{
             {"plane near 137", nearLongitude137,
              [](double x, double y) { return 1.5 + 800.0 * (x - 136.9994) - 1200.0 * (y - 20.4206); }, false},
             {"plane polar", polarMetres,
              [](double x, double y) { return -2.0 + 0.002 * (x - 1.0012e6) + 0.0007 * (y + 6.513e5); }, false},
             {"quadratic near 137", nearLongitude137, quadraticNear137, true},
             {"quadratic polar", polarMetres, [](double x, double y) {
                  const double u = x - 1.0015e6, v = y + 6.5151e5;
                  return 12.0 + 1.0e-6 * u * u + 3.0e-7 * u * v - 2.0e-6 * v * v - 0.003 * u + 0.001 * v;
              }, true}}) {
        alignmentModel model = sceneOf(test.transform, 150, test.surface);
        consoleCapture console;
        // The curved surface is sampled through local planes, which leave a little.
        EXPECT_NEAR(test.quadratic ? model.quadraticFitStage() : model.linearFitStage(), 0.0, test.quadratic ? 1e-3 : 1e-6);
        EXPECT_EQ(console.text(), "");
        for (const tiePoint& tie : model.tiePoints) EXPECT_NEAR(tie.elevation, test.surface(tie.x, tie.y), 1e-6) << test.name;
        for (std::uint32_t r = 0; r < 150; r += 7)
            for (std::uint32_t c = 0; c < 150; c += 5) {  // float32 cells: allow for their rounding
                const double expected = test.surface(model.raster.nodeX(c, r), model.raster.nodeY(c, r));
                EXPECT_NEAR(model.raster.cell(c, r), expected, 1e-6 + std::fabs(expected) * 6e-8) << test.name;
            }
    }
}

// The two tracks are 19 apart: a weight of 0 pulls the plane to 0 at the second.
TEST(PlaneFit, ErrorsAreFittedAndATrackOfWeightZeroPullsTheSurfaceTowardsZero) {
    alignmentModel model = flatModel(30, unitCells, 100.0f);
    for (double y = 2.0; y < 27.0; y += 1.0) model.molaPoints.insert(model.molaPoints.end(), {{0, 5, y, 104}, {1, 24, y, 104}});
    const std::vector<double> secondSilenced{1.0, 0.0};
    const std::array<double, 3> tilted = model.raster.planeFit(model.molaPoints, &secondSilenced);
    EXPECT_NEAR(tilted[0] * 5.0 + tilted[2], 4.0, 1e-9);
    EXPECT_NEAR(tilted[0] * 24.0 + tilted[2], 0.0, 1e-9);
    EXPECT_NEAR(tilted[1], 0.0, 1e-9);
    model.trackWeights = {1.0, 1.0};
    EXPECT_NEAR(model.linearFitStage(), 0.0, 1e-9);
    for (float cell : model.raster.cells) EXPECT_FLOAT_EQ(cell, 104.0f);
}

// Fits that the shots do not determine, or that fail, say so and change nothing.
TEST(SurfaceFit, UndeterminedOrFailedFitsWarnAndAreNeverApplied) {
    const std::string fewerThanTwo =
        "There is only one or fewer valid mola point in the raster region, not performing linear fit\n";
    const std::string quadraticWarning =
        "Warning: The valid mola points do not determine a best fit quadratic surface, the raster was left unchanged\n";
    struct row { const char* name; bool quadratic; std::vector<std::array<double, 3>> shots; std::string console; };
    std::vector<row> rows{{"no valid shot, plane", false, {{-40, 5, 9}, {5, 400, 9}}, fewerThanTwo},
                          {"one valid shot, plane", false, {{-40, 5, 9}, {5, 5, 9}}, fewerThanTwo},
                          {"one place twice, plane", false, {{5, 5, 9}, {5, 5, 7}},
                           "Warning: The valid mola points do not determine a best fit plane, the raster was left unchanged\n"},
                          {"no valid shot, quadratic", true, {{-40, 5, 9}}, quadraticWarning},
                          {"one straight track, quadratic", true, {}, quadraticWarning},
                          {"two parallel tracks, quadratic", true, {}, quadraticWarning},
                          {"error not a number, quadratic", true, {}, "NAN ERROR\n"}};
    for (int i = 0; i < 40; ++i) {
        rows[4].shots.push_back({3.0 + 1.4 * i, 0.7 * (3.0 + 1.4 * i) + 2.0, 3.0 + 0.2 * i});
        rows[5].shots.insert(rows[5].shots.end(), {{3.0 + 2.3 * i, 40, 0.3 * i}, {3.0 + 2.3 * i, 90, 0.3 * i + 1}});
        rows[6].shots.push_back({3.0 + 3.1 * (i % 7), 3.0 + 3.7 * i, i == 5 ? notANumber : 0.01 * i * i});
    }
    for (const row& test : rows) {
        alignmentModel model = flatModel(150, nearLongitude137, 0.0f);
        for (const auto& [c, r, z] : test.shots) addShot(model, c, r, [z = z](double, double) { return z; });
        model.tiePoints = {{0, 137.0, 20.42, 0.0}};
        consoleCapture console;
        test.quadratic ? model.quadraticFitStage() : model.linearFitStage();
        EXPECT_EQ(console.text(), test.console) << test.name;
        for (float cell : model.raster.cells) ASSERT_EQ(cell, 0.0f) << test.name;
        EXPECT_EQ(model.tiePoints[0].elevation, 0.0);
        if (test.console == "NAN ERROR\n") {
            EXPECT_EQ(model.raster.quadraticFit(model.molaPoints, nullptr), (std::array<double, 6>{}));
        }
    }
    alignmentModel idle = sceneOf(unitCells, 30, [](double, double) { return 5.0; }, 5);
    idle.notReady = true;
    EXPECT_TRUE(std::isnan(idle.linearFitStage()) && std::isnan(idle.quadraticFitStage()));
    for (float cell : idle.raster.cells) ASSERT_EQ(cell, 0.0f);
}

// Shots along one line fix the offset and the slope along it only; the plane
// added has no slope across the line, whether the shots share one longitude
// exactly (whose mean is not exactly that longitude) or scatter a little.
TEST(SurfaceFit, ShotsAlongOneLineGetThePlaneWithoutSlopeAcrossIt) {
    for (const double scatter : {0.0, 0.05}) {  // in cells, across the track
        alignmentModel model = flatModel(60, {137.4, 1.0e-4, 0.0, -4.6, 0.0, -1.0e-4}, 0.0f);
        for (int i = 0; i < 50; ++i) addShot(model, 21.3 + (i % 2 == 0 ? scatter : -scatter), 3.0 + i, [](double, double y) {
            return 2.0 + 0.05 * (-4.6 - y) / 1.0e-4;
        });
        model.tiePoints = {{0, model.raster.nodeX(59.0, 10.0), model.raster.nodeY(59.0, 10.0), 100.0}};
        consoleCapture console;
        EXPECT_NEAR(model.linearFitStage(), 0.0, 1e-6);
        model.linearFitStage();
        EXPECT_EQ(console.text(), "Warning: The valid mola points lie along one line, the plane is fitted without a "
                                  "slope across it\n");
        for (std::uint32_t r = 0; r < 60; r += 3)
            for (std::uint32_t c = 0; c < 60; c += 3) EXPECT_NEAR(model.raster.cell(c, r), 2.0 + 0.05 * r, 1e-3);
        EXPECT_NEAR(model.tiePoints[0].elevation, 102.5, 1e-3);
    }
}

TEST(SurfaceFit, DebugPrintsTheCoefficientsAndTheQuadraticMatrices) {
    alignmentModel plane = flatModel(30, unitCells);
    plane.raster.debug = true;
    for (double x = 2.0; x < 27.0; x += 1.3)
        for (double y = 2.0; y < 27.0; y += 3.1) plane.molaPoints.push_back({0, x, y, 0.01 * x - 0.5 * y + 7});
    consoleCapture planeConsole;
    plane.linearFitStage();
    EXPECT_EQ(planeConsole.text(), "\nBest Fit Plane:\nCx: 0.01\nCy: -0.5\nC 7\n");

    alignmentModel bowl = sceneOf(nearLongitude137, 60, quadraticNear137, 8);
    bowl.raster.debug = true;
    consoleCapture console;
    bowl.quadraticFitStage();
    EXPECT_EQ(std::cout.precision(), 12);
    std::istringstream lines(console.text());
    std::vector<std::string> identity;  // after solving: the identity, then the coefficients
    std::string line, shape;
    while (std::getline(lines, line)) {
        shape += std::to_string(std::count(line.begin(), line.end(), '\t'));
        if (identity.size() < 6 && shape.size() > 15) identity.push_back(line.substr(0, 12));
    }
    EXPECT_EQ(shape, "077777707777770777777000000000");
    EXPECT_EQ(identity, (std::vector<std::string>{"1\t0\t0\t0\t0\t0\t", "0\t1\t0\t0\t0\t0\t", "0\t0\t1\t0\t0\t0\t",
                                                  "0\t0\t0\t1\t0\t0\t", "0\t0\t0\t0\t1\t0\t", "0\t0\t0\t0\t0\t1\t"}));
    const std::string text = console.text();
    EXPECT_NE(text.find("\n\nBest Fit Plane:\nCx^2: "), std::string::npos) << text;
    for (const auto& [label, value] : std::vector<std::pair<std::string, double>>{
             {"\nCx^2: ", 3.0e6}, {"\nCxy:  ", -2.0e6}, {"\nCy^2: ", 4.0e6},
             {"\nCx: ", -781154700}, {"\nCy: ", 110633800}, {"\nC: ", 52379226108.1625}})
        EXPECT_NEAR(std::stod(text.substr(text.find(label) + label.size())), value, 1e-2 + std::fabs(value) * 1e-8) << label;
}

// The mean is taken once, before any removal; a point exactly at the threshold goes.
TEST(OutlierRemoval, MeanIsTakenOnceEqualityRemovesAndWeightsDecide) {
    const alignmentModel flat = flatModel(20, unitCells);
    struct row { std::vector<molaPoint> points; std::vector<double> weights; double threshold; std::string console;
                 std::vector<double> keptX; };
    for (const row& test : std::vector<row>{
             {{{0, 3, 3, 0.0}, {1, 4, 3, 1.0}, {2, 5, 3, 100.0}, {3, 6, 3, 2.0}}, {}, 30.0,
              "The coordinate 2:5:3:100 was removed.\n", {3, 4, 6}},
             {{{0, 3, 3, 0.0}, {0, 4, 3, 0.0}, {0, 5, 3, 0.0}, {0, 6, 3, 40.0}}, {}, 30.0,
              "The coordinate 0:6:3:40 was removed.\n", {3, 4, 5}},
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
        EXPECT_EQ(console.text(), test.console);
        std::vector<double> keptX;
        for (const molaPoint& point : points) keptX.push_back(point.x);
        EXPECT_EQ(keptX, test.keptX);
    }
}

}  // namespace
}  // namespace kalvex
