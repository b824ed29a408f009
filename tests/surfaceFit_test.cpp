// Plane and quadratic fits of the point errors, their application to the
// raster and the tie points, and the outlier removal.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using kalvex::testing::consoleCapture;
using surfaceFunction = std::function<double(double, double)>;
const geoTransform unitCells{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
const geoTransform nearLongitude137{136.9987, 1.0e-5, 0.0, 20.4213, 0.0, -1.0e-5};
const geoTransform polarMetres{1.0e6, 20.0, 0.0, -6.5e5, 0.0, -20.0};

alignmentModel flatModel(std::uint32_t size, const geoTransform& transform, float value) {
    alignmentModel model;
    model.raster.width = model.raster.height = size;
    model.raster.transform = transform;
    model.raster.cells.assign(std::size_t(size) * size, value);
    model.raster.loaded = true;
    model.notReady = false;
    model.trackWeights = {1.0};
    return model;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

double numberAfter(const std::string& line, const std::string& label) {
    EXPECT_EQ(line.substr(0, label.size()), label);
    return std::stod(line.substr(label.size()));
}

// A model over a zero raster, so every point's error is its own elevation.
alignmentModel sceneOf(const geoTransform& transform, std::uint32_t size, const surfaceFunction& surface,
                       int perSide = 25) {
    alignmentModel model = flatModel(size, transform, 0.0f);
    std::mt19937 random(11);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    const double spacing = double(size - 4) / perSide;
    for (int i = 0; i < perSide; ++i) {
        for (int j = 0; j < perSide; ++j) {
            const double c = 2.0 + (i + 0.5) * spacing + jitter(random);
            const double r = 2.0 + (j + 0.5) * spacing + jitter(random);
            const double x = model.raster.nodeX(c, r), y = model.raster.nodeY(c, r);
            model.molaPoints.push_back({0, x, y, surface(x, y)});
        }
    }
    for (double c : {-20.0, 0.0, 10.3, 57.7, double(size - 1)})  // a tie point off the raster too
        for (double r : {0.0, 33.3, double(size - 1)})
            model.tiePoints.push_back({0, model.raster.nodeX(c, r), model.raster.nodeY(c, r), 0.0});
    return model;
}

double quadraticNear137(double x, double y) {
    const double u = x - 136.99935, v = y - 20.42055;
    return 0.5 + 3.0e6 * u * u - 2.0e6 * u * v + 4.0e6 * v * v + 300.0 * u - 500.0 * v;
}

TEST(PlaneFit, FewerThanTwoValidPointsLeaveTheRasterAlone) {
    for (std::size_t validPoints : {0u, 1u}) {
        alignmentModel model = flatModel(10, unitCells, 3.0f);
        model.molaPoints = {{0, -40.0, 5.0, 9.0}, {0, 5.0, 400.0, 9.0}};  // outside
        if (validPoints == 1) model.molaPoints.push_back({0, 5.0, 5.0, 9.0});
        model.tiePoints = {{0, 5.0, 5.0, 1.0}};
        consoleCapture console;
        model.linearFitStage();
        EXPECT_EQ(console.text(),
                  "There is only one or fewer valid mola point in the raster region, not performing linear fit\n");
        for (float cell : model.raster.cells) EXPECT_EQ(cell, 3.0f);
        EXPECT_EQ(model.tiePoints[0].elevation, 1.0);
    }
}

TEST(PlaneFit, ErrorsAreFittedAndATrackOfWeightZeroPullsTheSurfaceTowardsZero) {
    alignmentModel model = flatModel(30, unitCells, 100.0f);
    for (double y = 2.0; y < 27.0; y += 1.0) {
        model.molaPoints.push_back({0, 5.0, y, 104.0});
        model.molaPoints.push_back({1, 24.0, y, 104.0});
    }
    const std::vector<double> secondSilenced{1.0, 0.0};
    const std::array<double, 3> tilted = model.raster.planeFit(model.molaPoints, &secondSilenced);
    EXPECT_NEAR(tilted[0] * 5.0 + tilted[2], 4.0, 1e-9);
    EXPECT_NEAR(tilted[0] * 24.0 + tilted[2], 0.0, 1e-9);
    model.trackWeights = {1.0, 1.0};
    consoleCapture console;
    EXPECT_NEAR(model.linearFitStage(), 0.0, 1e-9);
    EXPECT_EQ(console.text(), "");
    for (float cell : model.raster.cells) EXPECT_FLOAT_EQ(cell, 104.0f);
}

TEST(SurfaceFit, KnownSurfacesAreAddedExactlyAtRealCoordinates) {
    struct row { const char* name; geoTransform transform; surfaceFunction surface; bool quadratic; };
    const std::vector<row> rows{
        {"plane near 137", nearLongitude137,
         [](double x, double y) { return 1.5 + 800.0 * (x - 136.9994) - 1200.0 * (y - 20.4206); }, false},
        {"plane polar", polarMetres,
         [](double x, double y) { return -2.0 + 0.002 * (x - 1.0012e6) + 0.0007 * (y + 6.513e5); }, false},
        {"quadratic near 137", nearLongitude137, quadraticNear137, true},
        {"quadratic polar", polarMetres,
         [](double x, double y) {
             const double u = x - 1.0015e6, v = y + 6.5151e5;
             return 12.0 + 1.0e-6 * u * u + 3.0e-7 * u * v - 2.0e-6 * v * v - 0.003 * u + 0.001 * v;
         },
         true}};
    for (const row& test : rows) {
        SCOPED_TRACE(test.name);
        alignmentModel model = sceneOf(test.transform, 150, test.surface);
        consoleCapture console;
        const double rms = test.quadratic ? model.quadraticFitStage() : model.linearFitStage();
        if (!test.quadratic) { EXPECT_NEAR(rms, 0.0, 1e-6); }
        EXPECT_EQ(console.text(), "");
        for (const tiePoint& tie : model.tiePoints)
            EXPECT_NEAR(tie.elevation, test.surface(tie.x, tie.y), 1e-6) << tie.x << ", " << tie.y;
        const elevationRaster& raster = model.raster;
        for (std::uint32_t r = 0; r < raster.height; r += 7) {
            for (std::uint32_t c = 0; c < raster.width; c += 5) {  // float32 cells: allow for their rounding
                const double expected = test.surface(raster.nodeX(c, r), raster.nodeY(c, r));
                EXPECT_NEAR(raster.cell(c, r), expected, 1e-6 + std::fabs(expected) * 6e-8) << c << ", " << r;
            }
        }
    }
}

TEST(SurfaceFit, UndeterminedLayoutsWarnAndAreNeverApplied) {
    struct row { const char* name; bool quadratic; std::vector<std::array<double, 3>> cells; };
    std::vector<row> rows{{"one straight track, quadratic", true, {}},
                          {"two parallel tracks, quadratic", true, {}},
                          {"no valid point, quadratic", true, {}}};
    for (int i = 0; i < 100; ++i) rows[0].cells.push_back({3.0 + 1.4 * i, 0.7 * (3.0 + 1.4 * i) + 2.0, 3.0 + 0.2 * i});
    for (int i = 0; i < 60; ++i)
        for (double r : {40.0, 90.0}) rows[1].cells.push_back({3.0 + 2.3 * i, r, 0.3 * i + r / 50.0});
    for (const row& test : rows) {
        SCOPED_TRACE(test.name);
        alignmentModel model = sceneOf(nearLongitude137, 150, [](double, double) { return 0.0; });
        model.molaPoints = {{0, 0.0, 0.0, 4.0}};
        if (!test.cells.empty()) model.molaPoints.clear();
        for (const auto& cell : test.cells)
            model.molaPoints.push_back(
                {0, model.raster.nodeX(cell[0], cell[1]), model.raster.nodeY(cell[0], cell[1]), cell[2]});
        consoleCapture console;
        test.quadratic ? model.quadraticFitStage() : model.linearFitStage();
        const std::vector<std::string> lines = linesOf(console.text());
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind("Warning: ", 0), 0u);
        for (float cell : model.raster.cells) EXPECT_EQ(cell, 0.0f);
        for (const tiePoint& tie : model.tiePoints) EXPECT_EQ(tie.elevation, 0.0);
    }
}

// Shots along one line fix the offset and the slope along it only; the plane
// added has no slope across the line, whether the shots share one longitude
// exactly (whose mean is not exactly that longitude) or scatter a little.
TEST(SurfaceFit, PointsAlongOneLineGetThePlaneWithoutSlopeAcrossIt) {
    const geoTransform at137{137.4, 1.0e-4, 0.0, -4.6, 0.0, -1.0e-4};
    const struct {
        const char* name;
        double scatter;  // in cells, across the track
    } rows[] = {{"one longitude", 0.0}, {"scatter of a thousandth of the length", 0.05}};
    for (const auto& test : rows) {
        SCOPED_TRACE(test.name);
        alignmentModel model = flatModel(60, at137, 0.0f);
        for (int i = 0; i < 50; ++i) {
            const double c = 21.3 + (i % 2 == 0 ? test.scatter : -test.scatter), r = 3.0 + i;
            model.molaPoints.push_back({0, model.raster.nodeX(c, r), model.raster.nodeY(c, r), 2.0 + 0.05 * r});
        }
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

TEST(SurfaceFit, StagesDoNothingWhileNotReady) {
    alignmentModel model = flatModel(10, unitCells, 0.0f);
    model.notReady = true;
    model.molaPoints = {{0, 3, 3, 5}, {0, 5, 6, 5}};
    EXPECT_TRUE(std::isnan(model.linearFitStage()));
    EXPECT_TRUE(std::isnan(model.quadraticFitStage()));
    for (float cell : model.raster.cells) EXPECT_EQ(cell, 0.0f);
}

TEST(QuadraticFit, ErrorThatIsNotANumberFailsVerification) {
    alignmentModel model = sceneOf(nearLongitude137, 60, quadraticNear137, 8);
    model.molaPoints[5].elevation = notANumber;
    consoleCapture console;
    model.quadraticFitStage();
    EXPECT_EQ(console.text(), "NAN ERROR\n");
    for (float cell : model.raster.cells) EXPECT_EQ(cell, 0.0f);
    for (double coefficient : model.raster.quadraticFit(model.molaPoints, nullptr)) EXPECT_EQ(coefficient, 0.0);
}

TEST(SurfaceFit, DebugPrintsTheCoefficients) {
    alignmentModel plane = flatModel(30, unitCells, 0.0f);
    plane.raster.debug = true;
    for (double x = 2.0; x < 27.0; x += 1.3)
        for (double y = 2.0; y < 27.0; y += 3.1) plane.molaPoints.push_back({0, x, y, 0.01 * x - 0.5 * y + 7});
    consoleCapture planeConsole;
    plane.linearFitStage();
    std::vector<std::string> lines = linesOf(planeConsole.text());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0] + "|" + lines[1], "|Best Fit Plane:");
    EXPECT_NEAR(numberAfter(lines[2], "Cx: "), 0.01, 1e-9);
    EXPECT_NEAR(numberAfter(lines[3], "Cy: "), -0.5, 1e-9);
    EXPECT_NEAR(numberAfter(lines[4], "C "), 7.0, 1e-9);

    alignmentModel bowl = sceneOf(nearLongitude137, 60, quadraticNear137, 8);
    bowl.raster.debug = true;
    consoleCapture console;
    bowl.quadraticFitStage();
    EXPECT_EQ(std::cout.precision(), 12);
    lines = linesOf(console.text());
    ASSERT_EQ(lines.size(), 1u + 3u * 7u + 8u);
    EXPECT_EQ(lines[0], "");
    for (std::size_t matrix = 0; matrix < 3; ++matrix) {
        for (std::size_t row = 0; row < 6; ++row) {
            const std::string& line = lines[1 + matrix * 7 + row];
            EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7) << line;
            EXPECT_EQ(line.back(), '\t');
            std::string identity;  // after solving: the identity, then the coefficients
            for (std::size_t column = 0; column < 6; ++column) identity += (column == row ? "1\t" : "0\t");
            if (matrix == 2) { EXPECT_EQ(line.substr(0, identity.size()), identity); }
        }
        EXPECT_EQ(lines[7 + matrix * 7], "");
    }
    EXPECT_EQ(lines[22] + "|" + lines[23], "|Best Fit Plane:");
    const std::array<const char*, 6> labels{"Cx^2: ", "Cxy:  ", "Cy^2: ", "Cx: ", "Cy: ", "C: "};
    const std::array<double, 3> expected{3.0e6, -2.0e6, 4.0e6};
    for (std::size_t i = 0; i < 6; ++i) {
        const double value = numberAfter(lines[24 + i], labels[i]);
        if (i < 3) { EXPECT_NEAR(value, expected[i], 1e-2) << labels[i]; }
    }
}

TEST(OutlierRemoval, MeanIsTakenOnceEqualityRemovesAndWeightsDecide) {
    const alignmentModel flat = flatModel(20, unitCells, 0.0f);
    struct row {
        const char* name; std::vector<molaPoint> points; std::vector<double> weights; double threshold;
        std::string console; std::vector<double> keptX;
    };
    const std::vector<row> rows{
        {"one outlier", {{0, 3, 3, 0.0}, {1, 4, 3, 1.0}, {2, 5, 3, 100.0}, {3, 6, 3, 2.0}}, {}, 30.0,
         "The coordinate 2:5:3:100 was removed.\n", {3, 4, 6}},
        {"exactly at the threshold", {{0, 3, 3, 0.0}, {0, 4, 3, 0.0}, {0, 5, 3, 0.0}, {0, 6, 3, 40.0}}, {}, 30.0,
         "The coordinate 0:6:3:40 was removed.\n", {3, 4, 5}},
        {"adjacent outliers, one outside",
         {{0, 3, 4, 0}, {0, 4, 4, 0}, {0, 5, 4, 0}, {0, 6, 4, 0}, {0, 7, 4, 0}, {0, 8, 4, 0}, {7, 12.5, 7.25, 100.0},
          {7, 13.5, 8.25, 100.0}, {7, 40.0, 8.0, 1.0e6}},
         {}, 30.0, "The coordinate 7:12.5:7.25:100 was removed.\nThe coordinate 7:13.5:8.25:100 was removed.\n",
         {3, 4, 5, 6, 7, 8, 40}},
        {"weighted", {{0, 3, 3, 0.0}, {0, 4, 3, 0.0}, {0, 5, 3, 0.0}, {1, 6, 3, 100.0}}, {1.0, 0.1}, 30.0, "",
         {3, 4, 5, 6}},
        {"zero threshold", {{0, 3, 3, 5.0}, {0, -9, 3, 5.0}, {0, 4, 3, 5.0}}, {}, 0.0,
         "The coordinate 0:3:3:5 was removed.\nThe coordinate 0:4:3:5 was removed.\n", {-9}}};
    for (const row& test : rows) {
        SCOPED_TRACE(test.name);
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
