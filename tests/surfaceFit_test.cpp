// Plane and quadratic fits of the point errors, their application to the
// raster and the tie points, and the outlier removal.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using kalvex::testing::consoleCapture;

elevationRaster constantRaster(std::uint32_t width, std::uint32_t height, const geoTransform& transform,
                               float value) {
    elevationRaster raster;
    raster.width = width;
    raster.height = height;
    raster.transform = transform;
    raster.cells.assign(std::size_t(width) * height, value);
    raster.loaded = true;
    return raster;
}

molaPoint pointAt(double x, double y, double elevation, std::int32_t track = 0) {
    molaPoint point;
    point.trackIndex = track;
    point.x = x;
    point.y = y;
    point.elevation = elevation;
    return point;
}

tiePoint tieAt(double x, double y, double elevation) {
    tiePoint point;
    point.x = x;
    point.y = y;
    point.elevation = elevation;
    return point;
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
struct scene {
    alignmentModel model;
    std::function<double(double, double)> surface;

    scene(const geoTransform& transform, std::uint32_t size, std::function<double(double, double)> errorSurface,
          int pointsPerSide = 25)
        : surface(std::move(errorSurface)) {
        model.raster = constantRaster(size, size, transform, 0.0f);
        model.notReady = false;
        model.trackWeights = {1.0};
        std::mt19937 random(11);
        std::uniform_real_distribution<double> jitter(-0.3, 0.3);
        const double spacing = double(size - 4) / pointsPerSide;
        for (int i = 0; i < pointsPerSide; ++i) {
            for (int j = 0; j < pointsPerSide; ++j) {
                const double c = 2.0 + (i + 0.5) * spacing + jitter(random);
                const double r = 2.0 + (j + 0.5) * spacing + jitter(random);
                const double x = model.raster.nodeX(c, r);
                const double y = model.raster.nodeY(c, r);
                model.molaPoints.push_back(pointAt(x, y, surface(x, y)));
            }
        }
        for (double c : {0.0, 10.3, 57.7, double(size - 1)})
            for (double r : {0.0, 33.3, double(size - 1)})
                model.tiePoints.push_back(tieAt(model.raster.nodeX(c, r), model.raster.nodeY(c, r), 0.0));
    }

    void expectSurfaceAdded(double tolerance) const {
        for (const tiePoint& tie : model.tiePoints)
            EXPECT_NEAR(tie.elevation, surface(tie.x, tie.y), tolerance) << tie.x << ", " << tie.y;
        const elevationRaster& raster = model.raster;
        for (std::uint32_t r = 0; r < raster.height; r += 7) {
            for (std::uint32_t c = 0; c < raster.width; c += 5) {
                const double expected = surface(raster.nodeX(c, r), raster.nodeY(c, r));
                // The cells hold float32: allow for their own rounding.
                EXPECT_NEAR(raster.cell(c, r), expected, tolerance + std::fabs(expected) * 6e-8) << c << ", " << r;
            }
        }
    }
};

const geoTransform nearLongitude137{136.9987, 1.0e-5, 0.0, 20.4213, 0.0, -1.0e-5};
const geoTransform polarMetres{1.0e6, 20.0, 0.0, -6.5e5, 0.0, -20.0};

// ---------------------------------------------------------------- plane

TEST(PlaneFit, PointsFiveAboveTheRasterRaiseEveryCellByFive) {
    alignmentModel model;
    model.raster = constantRaster(20, 20, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 100.0f);
    model.notReady = false;
    model.trackWeights = {1.0};
    for (double x = 2.0; x < 18.0; x += 1.7)
        for (double y = 3.0; y < 17.0; y += 2.3) model.molaPoints.push_back(pointAt(x, y, 105.0));
    model.tiePoints = {tieAt(4.0, 5.0, 10.0), tieAt(-50.0, 70.0, -3.0)};

    const std::array<double, 3> plane = model.raster.planeFit(model.molaPoints, &model.trackWeights);
    EXPECT_NEAR(plane[0], 0.0, 1e-12);
    EXPECT_NEAR(plane[1], 0.0, 1e-12);
    EXPECT_NEAR(plane[2], 5.0, 1e-12);

    consoleCapture console;
    const double rms = model.linearFitStage();
    EXPECT_EQ(console.text(), "");
    EXPECT_NEAR(rms, 0.0, 1e-9);
    for (float cell : model.raster.cells) EXPECT_FLOAT_EQ(cell, 105.0f);
    EXPECT_NEAR(model.tiePoints[0].elevation, 15.0, 1e-9);
    EXPECT_NEAR(model.tiePoints[1].elevation, 2.0, 1e-9);
}

TEST(PlaneFit, ErrorsGrowingWithXGiveThatSlope) {
    alignmentModel model;
    model.raster = constantRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 0.0f);
    for (double x = 2.0; x < 27.0; x += 1.3)
        for (double y = 2.0; y < 27.0; y += 3.1) model.molaPoints.push_back(pointAt(x, y, 0.01 * x));
    const std::array<double, 3> plane = model.raster.planeFit(model.molaPoints, nullptr);
    EXPECT_NEAR(plane[0], 0.01, 1e-12);
    EXPECT_NEAR(plane[1], 0.0, 1e-12);
    EXPECT_NEAR(plane[2], 0.0, 1e-12);
}

TEST(PlaneFit, FewerThanTwoValidPointsLeaveTheRasterAlone) {
    for (std::size_t validPoints : {0u, 1u}) {
        alignmentModel model;
        model.raster = constantRaster(10, 10, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 3.0f);
        model.notReady = false;
        model.trackWeights = {1.0};
        model.molaPoints = {pointAt(-40.0, 5.0, 9.0), pointAt(5.0, 400.0, 9.0)};  // outside
        if (validPoints == 1) model.molaPoints.push_back(pointAt(5.0, 5.0, 9.0));
        model.tiePoints = {tieAt(5.0, 5.0, 1.0)};
        consoleCapture console;
        model.linearFitStage();
        EXPECT_EQ(console.text(),
                  "There is only one or fewer valid mola point in the raster region, not performing linear fit\n");
        for (float cell : model.raster.cells) EXPECT_EQ(cell, 3.0f);
        EXPECT_EQ(model.tiePoints[0].elevation, 1.0);
    }
}

TEST(PlaneFit, TrackOfWeightZeroPullsTheSurfaceTowardsZero) {
    alignmentModel model;
    model.raster = constantRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 0.0f);
    for (double y = 2.0; y < 27.0; y += 1.0) {
        model.molaPoints.push_back(pointAt(5.0, y, 4.0, 0));
        model.molaPoints.push_back(pointAt(24.0, y, 4.0, 1));
    }
    const std::vector<double> equal{1.0, 1.0};
    const std::array<double, 3> level = model.raster.planeFit(model.molaPoints, &equal);
    EXPECT_NEAR(level[0], 0.0, 1e-12);
    EXPECT_NEAR(level[2], 4.0, 1e-12);

    const std::vector<double> secondSilenced{1.0, 0.0};
    const std::array<double, 3> tilted = model.raster.planeFit(model.molaPoints, &secondSilenced);
    EXPECT_NEAR(tilted[0] * 5.0 + tilted[2], 4.0, 1e-9);
    EXPECT_NEAR(tilted[0] * 24.0 + tilted[2], 0.0, 1e-9);
}

TEST(PlaneFit, KnownPlaneIsRecoveredNearLongitude137WithTinyCells) {
    scene plane(nearLongitude137, 150,
                [](double x, double y) { return 1.5 + 800.0 * (x - 136.9994) - 1200.0 * (y - 20.4206); });
    const std::array<double, 3> coefficients = plane.model.raster.planeFit(plane.model.molaPoints, nullptr);
    EXPECT_NEAR(coefficients[0], 800.0, 1e-6);
    EXPECT_NEAR(coefficients[1], -1200.0, 1e-6);
    EXPECT_NEAR(coefficients[2], 1.5 - 800.0 * 136.9994 + 1200.0 * 20.4206, 1e-5);
    consoleCapture console;
    EXPECT_NEAR(plane.model.linearFitStage(), 0.0, 1e-6);
    EXPECT_EQ(console.text(), "");
    plane.expectSurfaceAdded(1e-6);
}

TEST(PlaneFit, KnownPlaneIsRecoveredAtPolarMetres) {
    scene plane(polarMetres, 150,
                [](double x, double y) { return -2.0 + 0.002 * (x - 1.0012e6) + 0.0007 * (y + 6.513e5); });
    EXPECT_NEAR(plane.model.linearFitStage(), 0.0, 1e-6);
    plane.expectSurfaceAdded(1e-6);
}

TEST(PlaneFit, PointsOnOneStraightTrackAreNeverApplied) {
    scene track(nearLongitude137, 150, [](double, double) { return 0.0; });
    track.model.molaPoints.clear();
    for (int i = 0; i < 100; ++i) {
        const double c = 3.0 + 1.4 * i;
        const double x = track.model.raster.nodeX(c, 0.7 * c + 2.0);
        const double y = track.model.raster.nodeY(c, 0.7 * c + 2.0);
        track.model.molaPoints.push_back(pointAt(x, y, 3.0 + 0.2 * i));
    }
    const elevationRaster before = track.model.raster;
    const std::vector<tiePoint> tiesBefore = track.model.tiePoints;
    consoleCapture console;
    track.model.linearFitStage();
    const std::vector<std::string> lines = linesOf(console.text());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Warning: ", 0), 0u);
    EXPECT_EQ(track.model.raster.cells, before.cells);
    for (std::size_t i = 0; i < tiesBefore.size(); ++i)
        EXPECT_EQ(track.model.tiePoints[i].elevation, tiesBefore[i].elevation);
}

TEST(PlaneFit, DebugPrintsTheCoefficientsInMapCoordinates) {
    alignmentModel model;
    model.raster = constantRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 0.0f);
    model.raster.debug = true;
    model.notReady = false;
    model.trackWeights = {1.0};
    for (double x = 2.0; x < 27.0; x += 1.3)
        for (double y = 2.0; y < 27.0; y += 3.1) model.molaPoints.push_back(pointAt(x, y, 0.01 * x - 0.5 * y + 7));
    consoleCapture console;
    model.linearFitStage();
    const std::vector<std::string> lines = linesOf(console.text());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Best Fit Plane:");
    EXPECT_NEAR(numberAfter(lines[2], "Cx: "), 0.01, 1e-9);
    EXPECT_NEAR(numberAfter(lines[3], "Cy: "), -0.5, 1e-9);
    EXPECT_NEAR(numberAfter(lines[4], "C "), 7.0, 1e-9);
}

TEST(PlaneFit, StageDoesNothingWhileNotReady) {
    alignmentModel model;
    model.raster = constantRaster(10, 10, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 0.0f);
    model.molaPoints = {pointAt(3, 3, 5), pointAt(5, 6, 5)};
    model.trackWeights = {1.0};
    EXPECT_TRUE(std::isnan(model.linearFitStage()));
    EXPECT_TRUE(std::isnan(model.quadraticFitStage()));
    for (float cell : model.raster.cells) EXPECT_EQ(cell, 0.0f);
}

// ---------------------------------------------------------------- quadratic

double quadraticNear137(double x, double y) {
    const double u = x - 136.99935;
    const double v = y - 20.42055;
    return 0.5 + 3.0e6 * u * u - 2.0e6 * u * v + 4.0e6 * v * v + 300.0 * u - 500.0 * v;
}

TEST(QuadraticFit, KnownQuadraticIsRecoveredNearLongitude137WithTinyCells) {
    scene bowl(nearLongitude137, 150, quadraticNear137);
    const std::array<double, 6> q = bowl.model.raster.quadraticFit(bowl.model.molaPoints, nullptr);
    const double u0 = 136.99935, v0 = 20.42055;
    const std::array<double, 6> expected{3.0e6,
                                         -2.0e6,
                                         4.0e6,
                                         300.0 - 2 * 3.0e6 * u0 + 2.0e6 * v0,
                                         -500.0 - 2 * 4.0e6 * v0 + 2.0e6 * u0,
                                         0.5 + 3.0e6 * u0 * u0 - 2.0e6 * u0 * v0 + 4.0e6 * v0 * v0 - 300.0 * u0 +
                                             500.0 * v0};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(q[i], expected[i], 1e-8 * std::fabs(expected[i])) << i;
    consoleCapture console;
    bowl.model.quadraticFitStage();
    EXPECT_EQ(console.text(), "");
    bowl.expectSurfaceAdded(1e-6);
}

TEST(QuadraticFit, KnownQuadraticIsRecoveredAtPolarMetres) {
    scene bowl(polarMetres, 150, [](double x, double y) {
        const double u = x - 1.0015e6;
        const double v = y + 6.5151e5;
        return 12.0 + 1.0e-6 * u * u + 3.0e-7 * u * v - 2.0e-6 * v * v - 0.003 * u + 0.001 * v;
    });
    bowl.model.quadraticFitStage();
    bowl.expectSurfaceAdded(1e-6);
}

TEST(QuadraticFit, PointsOnTwoParallelTracksAreNeverApplied) {
    // On two lines of constant row the squared row is a mix of the row and 1:
    // the quadratic is not determined, however the rounding falls.
    scene tracks(nearLongitude137, 150, [](double, double) { return 0.0; });
    tracks.model.molaPoints.clear();
    for (int i = 0; i < 60; ++i) {
        for (double r : {40.0, 90.0}) {
            const double x = tracks.model.raster.nodeX(3.0 + 2.3 * i, r);
            const double y = tracks.model.raster.nodeY(3.0 + 2.3 * i, r);
            tracks.model.molaPoints.push_back(pointAt(x, y, 0.3 * i + r / 50.0));
        }
    }
    const std::vector<float> cellsBefore = tracks.model.raster.cells;
    consoleCapture console;
    tracks.model.quadraticFitStage();
    const std::vector<std::string> lines = linesOf(console.text());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Warning: ", 0), 0u);
    EXPECT_EQ(tracks.model.raster.cells, cellsBefore);
    for (const tiePoint& tie : tracks.model.tiePoints) EXPECT_EQ(tie.elevation, 0.0);
}

TEST(QuadraticFit, NoValidPointAtAllIsNeverApplied) {
    scene empty(nearLongitude137, 20, [](double, double) { return 0.0; });
    empty.model.molaPoints = {pointAt(0.0, 0.0, 4.0)};
    consoleCapture console;
    empty.model.quadraticFitStage();
    EXPECT_EQ(console.text().rfind("Warning: ", 0), 0u);
    for (float cell : empty.model.raster.cells) EXPECT_EQ(cell, 0.0f);
}

TEST(QuadraticFit, ErrorThatIsNotANumberFailsVerification) {
    scene bowl(nearLongitude137, 60, quadraticNear137, 8);
    bowl.model.molaPoints[5].elevation = notANumber;
    consoleCapture console;
    bowl.model.quadraticFitStage();
    EXPECT_EQ(console.text(), "NAN ERROR\n");
    for (float cell : bowl.model.raster.cells) EXPECT_EQ(cell, 0.0f);
    const std::array<double, 6> q = bowl.model.raster.quadraticFit(bowl.model.molaPoints, nullptr);
    for (double coefficient : q) EXPECT_EQ(coefficient, 0.0);
}

TEST(QuadraticFit, DebugPrintsThreeMatricesAndLeavesPrecisionTwelve) {
    scene bowl(nearLongitude137, 60, quadraticNear137, 8);
    bowl.model.raster.debug = true;
    consoleCapture console;
    bowl.model.quadraticFitStage();
    EXPECT_EQ(std::cout.precision(), 12);
    const std::vector<std::string> lines = linesOf(console.text());
    ASSERT_EQ(lines.size(), 1u + 3u * 7u + 8u);
    EXPECT_EQ(lines[0], "");
    for (int matrix = 0; matrix < 3; ++matrix) {
        for (int row = 0; row < 6; ++row) {
            const std::string& line = lines[std::size_t(1 + matrix * 7 + row)];
            std::istringstream values(line);
            int count = 0;
            for (std::string value; std::getline(values, value, '\t');) ++count;
            EXPECT_EQ(count, 7) << line;
            EXPECT_EQ(line.back(), '\t');
        }
        EXPECT_EQ(lines[std::size_t(7 + matrix * 7)], "");
    }
    // After solving: the identity and the coefficients of the local frame.
    for (int row = 0; row < 6; ++row) {
        std::string identity;
        for (int column = 0; column < 6; ++column) identity += (column == row ? "1\t" : "0\t");
        EXPECT_EQ(lines[std::size_t(15 + row)].substr(0, identity.size()), identity);
    }
    const std::size_t c = 22;
    EXPECT_EQ(lines[c], "");
    EXPECT_EQ(lines[c + 1], "Best Fit Plane:");
    EXPECT_NEAR(numberAfter(lines[c + 2], "Cx^2: "), 3.0e6, 1e-2);
    EXPECT_NEAR(numberAfter(lines[c + 3], "Cxy:  "), -2.0e6, 1e-2);
    EXPECT_NEAR(numberAfter(lines[c + 4], "Cy^2: "), 4.0e6, 1e-2);
    numberAfter(lines[c + 5], "Cx: ");
    numberAfter(lines[c + 6], "Cy: ");
    numberAfter(lines[c + 7], "C: ");
}

// ---------------------------------------------------------------- outliers

TEST(OutlierRemoval, MeanIsTakenOnceAndEqualityRemoves) {
    const elevationRaster raster = constantRaster(20, 20, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 0.0f);
    std::vector<molaPoint> points{pointAt(3, 3, 0.0, 0), pointAt(4, 3, 1.0, 1), pointAt(5, 3, 100.0, 2),
                                  pointAt(6, 3, 2.0, 3)};
    consoleCapture console;
    raster.removeOutliers(points, nullptr, 30.0);
    EXPECT_EQ(console.text(), "The coordinate 2:5:3:100 was removed.\n");
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].elevation, 0.0);
    EXPECT_EQ(points[1].elevation, 1.0);
    EXPECT_EQ(points[2].elevation, 2.0);

    std::vector<molaPoint> edge{pointAt(3, 3, 0.0), pointAt(4, 3, 0.0), pointAt(5, 3, 0.0), pointAt(6, 3, 40.0)};
    raster.removeOutliers(edge, nullptr, 30.0);  // |40 - 10| = 30 exactly
    EXPECT_EQ(edge.size(), 3u);
}

TEST(OutlierRemoval, AdjacentOutliersAreEachReported) {
    const elevationRaster raster = constantRaster(20, 20, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 0.0f);
    std::vector<molaPoint> points;
    for (int i = 0; i < 6; ++i) points.push_back(pointAt(3 + i, 4, 0.0, 0));
    points.push_back(pointAt(12.5, 7.25, 100.0, 7));
    points.push_back(pointAt(13.5, 8.25, 100.0, 7));
    points.push_back(pointAt(40.0, 8.0, 1.0e6, 7));  // outside: never removed
    consoleCapture console;
    raster.removeOutliers(points, nullptr, 30.0);
    EXPECT_EQ(console.text(),
              "The coordinate 7:12.5:7.25:100 was removed.\nThe coordinate 7:13.5:8.25:100 was removed.\n");
    ASSERT_EQ(points.size(), 7u);
    EXPECT_EQ(points.back().elevation, 1.0e6);
}

TEST(OutlierRemoval, WeightedErrorsDecide) {
    const elevationRaster raster = constantRaster(20, 20, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 0.0f);
    std::vector<molaPoint> points{pointAt(3, 3, 0.0, 0), pointAt(4, 3, 0.0, 0), pointAt(5, 3, 0.0, 0),
                                  pointAt(6, 3, 100.0, 1)};
    const std::vector<double> weights{1.0, 0.1};
    consoleCapture console;
    raster.removeOutliers(points, &weights, 30.0);
    EXPECT_EQ(console.text(), "");
    EXPECT_EQ(points.size(), 4u);
}

TEST(OutlierRemoval, ZeroThresholdRemovesEverySampledPointOnly) {
    const elevationRaster raster = constantRaster(20, 20, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, 0.0f);
    std::vector<molaPoint> points{pointAt(3, 3, 5.0), pointAt(-9, 3, 5.0), pointAt(4, 3, 5.0)};
    consoleCapture console;
    raster.removeOutliers(points, nullptr, 0.0);
    EXPECT_EQ(linesOf(console.text()).size(), 2u);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].x, -9.0);
}

}  // namespace
}  // namespace kalvex
