// The translation and rotation searches over the raster's georeference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using kalvex::testing::consoleCapture;

constexpr double infinity = std::numeric_limits<double>::infinity();

elevationRaster makeRaster(std::uint32_t width, std::uint32_t height, const geoTransform& transform,
                           const std::function<double(int, int)>& value) {
    elevationRaster raster;
    raster.width = width;
    raster.height = height;
    raster.transform = transform;
    raster.cells.resize(std::size_t(width) * height);
    for (std::uint32_t r = 0; r < height; ++r)
        for (std::uint32_t c = 0; c < width; ++c) raster.cell(c, r) = float(value(int(c), int(r)));
    raster.loaded = true;
    return raster;
}

double hills(int c, int r) { return 10.0 * std::sin(c * 0.3) + 8.0 * std::cos(r * 0.25) + 0.05 * c * r; }

molaPoint pointAt(double x, double y, double elevation, std::int32_t track = 0) {
    molaPoint point;
    point.trackIndex = track;
    point.x = x;
    point.y = y;
    point.elevation = elevation;
    return point;
}

tiePoint tieAt(double x, double y) {
    tiePoint point;
    point.x = x;
    point.y = y;
    point.elevation = 0.0;
    return point;
}

// Points at random interior positions (at least margin cells from the edge).
std::vector<molaPoint> scatteredPoints(const elevationRaster& raster, int count, double margin, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> column(margin, raster.width - 1.0 - margin);
    std::uniform_real_distribution<double> row(margin, raster.height - 1.0 - margin);
    std::vector<molaPoint> points;
    for (int i = 0; i < count; ++i) {
        const double c = column(random);
        const double r = row(random);
        points.push_back(pointAt(raster.nodeX(c, r), raster.nodeY(c, r), 0.0, i % 2));
    }
    return points;
}

alignmentModel readyModel(elevationRaster raster, std::vector<molaPoint> points) {
    alignmentModel model;
    model.raster = std::move(raster);
    model.molaPoints = std::move(points);
    model.trackWeights = {1.0, 1.0};
    model.notReady = false;
    return model;
}

// ---------------------------------------------------------------- translation

TEST(TranslationStage, FindsTheOffsetThatFitsThePointsAndMovesTiePointsAlong) {
    elevationRaster raster = makeRaster(40, 40, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, hills);
    std::vector<molaPoint> points = scatteredPoints(raster, 300, 8.0, 1);
    const std::vector<double> atTruth = raster.sampleModel(points, 2.0, -3.0, 0.0);
    for (std::size_t i = 0; i < points.size(); ++i) points[i].elevation = atTruth[i];
    alignmentModel model = readyModel(raster, points);
    model.tiePoints = {tieAt(110.0, 190.0), tieAt(-4.5, 7.25)};

    const double incoming = model.currentRms().rms;
    consoleCapture console;
    const double best = model.translationStage(incoming, 5.0, 1.0);
    EXPECT_EQ(console.text(), "x-translation: 2\ny-translation: -3\n");
    EXPECT_NEAR(best, 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(model.raster.transform[0], 102.0);
    EXPECT_DOUBLE_EQ(model.raster.transform[3], 197.0);
    EXPECT_DOUBLE_EQ(model.tiePoints[0].x, 112.0);
    EXPECT_DOUBLE_EQ(model.tiePoints[0].y, 187.0);
    EXPECT_DOUBLE_EQ(model.tiePoints[1].x, -2.5);
    EXPECT_DOUBLE_EQ(model.tiePoints[1].y, 4.25);
    EXPECT_NEAR(model.currentRms().rms, 0.0, 1e-9);
}

TEST(TranslationStage, FindsAWholeCellShiftOfASmoothSurface) {
    // The points measure a smooth surface; the raster holds it sampled at its
    // nodes but georeferenced three cells too far west and two too far north.
    const auto surface = [](double x, double y) {
        return 40.0 * std::sin(x * 0.11) * std::cos(y * 0.07) + 0.02 * x * y;
    };
    const geoTransform truth{500.0, 0.5, 0.0, 800.0, 0.0, -0.5};
    elevationRaster raster = makeRaster(80, 70, truth, [&](int c, int r) {
        return surface(truth[0] + c * truth[1], truth[3] + r * truth[5]);
    });
    std::vector<molaPoint> points = scatteredPoints(raster, 400, 6.0, 2);
    for (molaPoint& point : points) point.elevation = surface(point.x, point.y);
    raster.transform[0] -= 3 * 0.5;
    raster.transform[3] += 2 * 0.5;
    alignmentModel model = readyModel(raster, points);

    consoleCapture console;
    model.translationStage(model.currentRms().rms, 2.5, 0.5);
    EXPECT_EQ(console.text(), "x-translation: 1.5\ny-translation: -1\n");
    EXPECT_DOUBLE_EQ(model.raster.transform[0], 500.0);
    EXPECT_DOUBLE_EQ(model.raster.transform[3], 800.0);
}

TEST(TranslationStage, OnlyAStrictlyLowerRmsCountsAndTheFirstOfEqualOnesWins) {
    const elevationRaster flat = makeRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, [](int, int) { return 7.0; });
    std::vector<molaPoint> points = scatteredPoints(flat, 50, 8.0, 3);
    for (molaPoint& point : points) point.elevation = 7.0;

    alignmentModel model = readyModel(flat, points);
    consoleCapture equal;
    EXPECT_EQ(model.translationStage(0.0, 5.0, 1.0), 0.0);
    EXPECT_EQ(equal.text(), "x-translation: 0\ny-translation: 0\n");
    EXPECT_EQ(model.raster.transform[0], 0.0);

    alignmentModel stale = readyModel(flat, points);
    stale.debug = true;
    consoleCapture first;
    EXPECT_EQ(stale.translationStage(1.0, 1.0, 1.0), 0.0);
    EXPECT_EQ(first.text(),
              "Beginning Translation Stage\n"
              "New Lowest RMS with x-y translation of (-1,-1) is 0\n"
              "x-translation: -1\ny-translation: -1\n");
    EXPECT_EQ(stale.raster.transform[0], -1.0);
    EXPECT_EQ(stale.raster.transform[3], -1.0);
}

TEST(TranslationStage, IncomingRmsThatIsNotANumberIsNeverBeaten) {
    elevationRaster raster = makeRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, hills);
    alignmentModel model = readyModel(raster, scatteredPoints(raster, 50, 8.0, 4));
    consoleCapture console;
    EXPECT_TRUE(std::isnan(model.translationStage(notANumber, 3.0, 1.0)));
    EXPECT_EQ(console.text(), "x-translation: 0\ny-translation: 0\n");
}

TEST(TranslationStage, StepThatCannotAdvanceTriesOnlyTheUnmovedRaster) {
    elevationRaster raster = makeRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, hills);
    std::vector<molaPoint> points = scatteredPoints(raster, 50, 8.0, 5);
    const double stale = 1.0e9;
    for (const auto& [padding, delta] : std::vector<std::pair<double, double>>{
             {5.0, 0.0}, {5.0, -1.0}, {5.0, notANumber}, {5.0, infinity}, {infinity, 1.0}, {notANumber, 1.0}, {1.0e6, 1.0e-12}, {0.0, 0.0}}) {
        alignmentModel model = readyModel(raster, points);
        consoleCapture console;
        const double best = model.translationStage(stale, padding, delta);
        EXPECT_EQ(console.text(), "x-translation: 0\ny-translation: 0\n") << padding << " " << delta;
        EXPECT_DOUBLE_EQ(best, model.currentRms().rms);
        EXPECT_EQ(model.raster.transform, raster.transform);
    }
}

TEST(TranslationStage, DoesNothingWhileNotReady) {
    alignmentModel model;
    model.raster = makeRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, hills);
    consoleCapture console;
    EXPECT_EQ(model.translationStage(3.0, 5.0, 1.0), -1.0);
    EXPECT_EQ(model.rotationStage(3.0, -5.0, 5.0, 0.1), -1.0);
    EXPECT_EQ(console.text(), "");
}

// ---------------------------------------------------------------- rotation

TEST(Rotation, QuarterTurnAboutANodeOfANorthUpRaster) {
    elevationRaster raster = makeRaster(30, 30, {100.0, 2.0, 0.0, 500.0, 0.0, -2.0}, hills);
    const double pivotX = raster.nodeX(10, 20), pivotY = raster.nodeY(10, 20);
    const double targetX = raster.nodeX(10, 19), targetY = raster.nodeY(10, 19);
    raster.rotateGeotransform(10, 20, 90.0);
    EXPECT_NEAR(raster.nodeX(10, 20), pivotX, 1e-9);
    EXPECT_NEAR(raster.nodeY(10, 20), pivotY, 1e-9);
    EXPECT_NEAR(raster.nodeX(11, 20), targetX, 1e-9);
    EXPECT_NEAR(raster.nodeY(11, 20), targetY, 1e-9);
}

TEST(Rotation, PivotKeepsItsPlaceUnderAnyGeoreference) {
    elevationRaster raster = makeRaster(30, 30, {-73.2, 0.3, 0.04, 12.5, -0.02, -0.31}, hills);
    const double x = raster.nodeX(7, 13), y = raster.nodeY(7, 13);
    const double farX = raster.nodeX(27, 2), farY = raster.nodeY(27, 2);
    raster.rotateGeotransform(7, 13, -37.0);
    EXPECT_NEAR(raster.nodeX(7, 13), x, 1e-12);
    EXPECT_NEAR(raster.nodeY(7, 13), y, 1e-12);
    // Distances between nodes are kept.
    EXPECT_NEAR(std::hypot(raster.nodeX(27, 2) - x, raster.nodeY(27, 2) - y), std::hypot(farX - x, farY - y), 1e-12);
}

TEST(Rotation, PointsTurnCounterClockwise) {
    std::vector<tiePoint> points{tieAt(3.0, 2.0), tieAt(2.0, 5.0)};
    points[0].elevation = 9.0;
    rotatePoints(points, 90.0, 2.0, 2.0);
    EXPECT_NEAR(points[0].x, 2.0, 1e-12);
    EXPECT_NEAR(points[0].y, 3.0, 1e-12);
    EXPECT_EQ(points[0].elevation, 9.0);
    EXPECT_NEAR(points[1].x, -1.0, 1e-12);
    EXPECT_NEAR(points[1].y, 2.0, 1e-12);
}

// A raster whose georeference is the true one turned about node (16, 16):
// the points were measured on the true one.
struct turnedScene {
    elevationRaster truth = makeRaster(65, 65, {300.0, 1.0, 0.0, 400.0, 0.0, -1.0}, hills);
    alignmentModel model;
    double angle = -5.0;

    turnedScene() {
        for (int i = 0; i < 65; ++i) angle += 0.1;  // the 66th angle of the scan, about 1.5
        std::vector<molaPoint> points = scatteredPoints(truth, 400, 9.0, 6);
        const std::vector<double> measured = truth.sampleModel(points, 0.0, 0.0, 0.0);
        for (std::size_t i = 0; i < points.size(); ++i) points[i].elevation = measured[i];
        elevationRaster turned = truth;
        turned.rotateGeotransform(16, 16, -angle);
        model = readyModel(turned, points);
        model.tiePoints = {tieAt(model.raster.nodeX(40, 30), model.raster.nodeY(40, 30))};
    }
};

TEST(RotationStage, FindsTheTurnOfTheRaster) {
    turnedScene scene;
    const double incoming = scene.model.currentRms().rms;
    ASSERT_GT(incoming, 0.5);
    consoleCapture console;
    const double best = scene.model.rotationStage(incoming, -5.0, 5.0, 0.1);
    EXPECT_EQ(console.text(), "Min RMS Rotation About: 16 : 16\nMin RMS Rotation Angle:1.5\n");
    EXPECT_LT(best, 1e-9);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(scene.model.raster.transform[i], scene.truth.transform[i], 1e-12);
    EXPECT_NEAR(scene.model.tiePoints[0].x, scene.truth.nodeX(40, 30), 1e-9);
    EXPECT_NEAR(scene.model.tiePoints[0].y, scene.truth.nodeY(40, 30), 1e-9);
}

TEST(RotationStage, SwappedRangeAndNegativeStepScanTheSameAngles) {
    turnedScene usual;
    turnedScene swapped;
    const double incoming = usual.model.currentRms().rms;
    std::string usualText, swappedText;
    {
        consoleCapture console;
        usual.model.rotationStage(incoming, -5.0, 5.0, 0.1);
        usualText = console.text();
    }
    {
        consoleCapture console;
        swapped.model.rotationStage(incoming, 5.0, -5.0, -0.1);
        swappedText = console.text();
    }
    EXPECT_EQ(swappedText, usualText);
    EXPECT_EQ(swapped.model.raster.transform, usual.model.raster.transform);
}

TEST(RotationStage, OneColumnRasterHasNoPivot) {
    elevationRaster raster = makeRaster(1, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, hills);
    alignmentModel model = readyModel(raster, {pointAt(0.0, 5.0, 1.0)});
    model.debug = true;
    consoleCapture console;
    EXPECT_EQ(model.rotationStage(4.0, -5.0, 5.0, 0.1), 4.0);
    EXPECT_EQ(console.text(), "Beginning Rotation Stage\nNo Rotation Found\n");
    EXPECT_EQ(model.raster.transform, raster.transform);
}

TEST(RotationStage, EqualOrNotANumberIncomingRmsIsNeverBeaten) {
    const elevationRaster flat = makeRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, [](int, int) { return 7.0; });
    std::vector<molaPoint> points = scatteredPoints(flat, 30, 10.0, 7);
    for (molaPoint& point : points) point.elevation = 7.0;
    for (double incoming : {0.0, notANumber}) {
        alignmentModel model = readyModel(flat, points);
        consoleCapture console;
        const double best = model.rotationStage(incoming, -5.0, 5.0, 0.1);
        EXPECT_EQ(console.text(), "No Rotation Found\n");
        EXPECT_TRUE(best == incoming || (std::isnan(best) && std::isnan(incoming)));
        EXPECT_EQ(model.raster.transform, flat.transform);
    }
}

TEST(RotationStage, PassWithoutANumberEndsTheSearch) {
    elevationRaster raster = makeRaster(30, 30, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, hills);
    alignmentModel model = readyModel(raster, {pointAt(5000.0, 5000.0, 1.0)});
    consoleCapture console;
    EXPECT_EQ(model.rotationStage(2.0, -5.0, 5.0, 0.1), 2.0);
    EXPECT_EQ(console.text(), "No Rotation Found\n");
}

TEST(RotationStage, TiesFillTheRegionListUpToItsLimit) {
    // Every trial about every pivot gives the same RMS on a flat raster: the
    // first one wins, and the 404 tied quarters end the search after one pass.
    const elevationRaster flat = makeRaster(3, 3, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, [](int, int) { return 7.0; });
    alignmentModel model = readyModel(flat, {pointAt(1.0, 1.0, 7.0)});
    model.debug = true;
    consoleCapture console;
    EXPECT_EQ(model.rotationStage(1.0, -5.0, 5.0, 0.1), 0.0);
    EXPECT_EQ(console.text(),
              "Beginning Rotation Stage\n2 : 0\n2 : 0\n1\n"
              "Min RMS Rotation About: 0 : 0\nMin RMS Rotation Angle:-5\n");
}

TEST(RotationStage, StepThatCannotAdvanceTriesOneAngle) {
    turnedScene scene;
    const double incoming = scene.model.currentRms().rms;
    for (double step : {0.0, notANumber, infinity, 1.0e-300}) {
        alignmentModel model = scene.model;
        consoleCapture console;
        const double best = model.rotationStage(incoming, scene.angle, 5.0, step);
        EXPECT_EQ(console.text(), "Min RMS Rotation About: 16 : 16\nMin RMS Rotation Angle:1.5\n") << step;
        EXPECT_LT(best, 1e-9);
    }
    alignmentModel model = scene.model;
    consoleCapture console;
    EXPECT_EQ(model.rotationStage(incoming, -infinity, 5.0, 0.1), incoming);
    EXPECT_EQ(console.text(), "No Rotation Found\n");
}

}  // namespace
}  // namespace kalvex
