// The translation and rotation searches over the raster's georeference.
#include <gtest/gtest.h>

#include <array>
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
using kalvex::testing::makeRaster;
constexpr double infinity = std::numeric_limits<double>::infinity();
const geoTransform unitCells{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};

double hills(int c, int r) { return 10.0 * std::sin(c * 0.3) + 8.0 * std::cos(r * 0.25) + 0.05 * c * r; }
double seven(int, int) { return 7.0; }

// Points at random interior positions (at least margin cells from the edge), measuring the raster plus dz.
std::vector<molaPoint> scatteredPoints(const elevationRaster& raster, int count, double margin, unsigned seed,
                                       double dx = 0.0, double dy = 0.0) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> column(margin, raster.width - 1.0 - margin);
    std::uniform_real_distribution<double> row(margin, raster.height - 1.0 - margin);
    std::vector<molaPoint> points;
    for (int i = 0; i < count; ++i) {
        const double c = column(random), r = row(random);
        points.push_back({i % 2, raster.nodeX(c, r), raster.nodeY(c, r), 0.0});
    }
    const std::vector<double> measured = raster.sampleModel(points, dx, dy, 0.0);
    for (std::size_t i = 0; i < points.size(); ++i) points[i].elevation = measured[i];
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

TEST(TranslationStage, FindsTheOffsetThatFitsThePointsAndMovesTiePointsAlong) {
    const elevationRaster raster = makeRaster(40, 40, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, hills);
    alignmentModel model = readyModel(raster, scatteredPoints(raster, 300, 8.0, 1, 2.0, -3.0));
    model.tiePoints = {{0, 110.0, 190.0, 0.0}, {0, -4.5, 7.25, 0.0}};
    consoleCapture console;
    EXPECT_NEAR(model.translationStage(model.currentRms().rms, 5.0, 1.0), 0.0, 1e-9);
    EXPECT_EQ(console.text(), "x-translation: 2\ny-translation: -3\n");
    EXPECT_DOUBLE_EQ(model.raster.transform[0], 102.0);
    EXPECT_DOUBLE_EQ(model.raster.transform[3], 197.0);
    EXPECT_DOUBLE_EQ(model.tiePoints[0].x, 112.0);
    EXPECT_DOUBLE_EQ(model.tiePoints[0].y, 187.0);
    EXPECT_DOUBLE_EQ(model.tiePoints[1].x, -2.5);
    EXPECT_DOUBLE_EQ(model.tiePoints[1].y, 4.25);
    EXPECT_NEAR(model.currentRms().rms, 0.0, 1e-9);
}

TEST(TranslationStage, OnlyAStrictlyLowerRmsCountsAndTheFirstOfEqualOnesWins) {
    const elevationRaster flat = makeRaster(30, 30, unitCells, seven);
    const std::vector<molaPoint> points = scatteredPoints(flat, 50, 8.0, 3);
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

TEST(TranslationStage, NotANumberIncomingOrAStepThatCannotAdvanceTriesOnlyTheUnmovedRaster) {
    const elevationRaster raster = makeRaster(30, 30, unitCells, hills);
    std::vector<molaPoint> points = scatteredPoints(raster, 50, 8.0, 5);
    for (molaPoint& point : points) point.elevation = 0.0;
    struct row { double incoming, padding, delta; };
    for (const row& test : std::vector<row>{{notANumber, 3.0, 1.0}, {1e9, 5.0, 0.0},      {1e9, 5.0, -1.0},
                                            {1e9, 5.0, notANumber}, {1e9, 5.0, infinity}, {1e9, infinity, 1.0},
                                            {1e9, notANumber, 1.0}, {1e9, 1.0e6, 1.0e-12}, {1e9, 0.0, 0.0}}) {
        SCOPED_TRACE(std::to_string(test.incoming) + " " + std::to_string(test.padding) + " " +
                     std::to_string(test.delta));
        alignmentModel model = readyModel(raster, points);
        consoleCapture console;
        const double best = model.translationStage(test.incoming, test.padding, test.delta);
        EXPECT_EQ(console.text(), "x-translation: 0\ny-translation: 0\n");
        if (std::isnan(test.incoming)) EXPECT_TRUE(std::isnan(best));
        else EXPECT_DOUBLE_EQ(best, model.currentRms().rms);
        EXPECT_EQ(model.raster.transform, raster.transform);
    }
}

TEST(TranslationStage, AnIncrementFarTooFineForItsRangeIsWidened) {
    const elevationRaster raster = makeRaster(40, 40, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, hills);
    alignmentModel model = readyModel(raster, scatteredPoints(raster, 300, 8.0, 1, 2.0, -3.0));
    consoleCapture console;
    model.translationStage(model.currentRms().rms, 4000.0, 0.5);
    EXPECT_EQ(console.text().substr(0, console.text().find('\n') + 1),
              "Warning: The translation increment 0.5 is too small for the translation range 4000, using 4\n");
}

TEST(SearchStages, DoNothingWhileNotReady) {
    alignmentModel model;
    model.raster = makeRaster(30, 30, unitCells, hills);
    consoleCapture console;
    EXPECT_EQ(model.translationStage(3.0, 5.0, 1.0), -1.0);
    EXPECT_EQ(model.rotationStage(3.0, -5.0, 5.0, 0.1), -1.0);
    EXPECT_EQ(console.text(), "");
}

TEST(Rotation, PivotKeepsItsPlaceDistancesAreKeptAndTurnsAreCounterClockwise) {
    elevationRaster northUp = makeRaster(30, 30, {100.0, 2.0, 0.0, 500.0, 0.0, -2.0}, hills);
    const double targetX = northUp.nodeX(10, 19), targetY = northUp.nodeY(10, 19);
    northUp.rotateGeotransform(10, 20, 90.0);
    EXPECT_NEAR(northUp.nodeX(11, 20), targetX, 1e-9);
    EXPECT_NEAR(northUp.nodeY(11, 20), targetY, 1e-9);

    elevationRaster raster = makeRaster(30, 30, {-73.2, 0.3, 0.04, 12.5, -0.02, -0.31}, hills);
    const double x = raster.nodeX(7, 13), y = raster.nodeY(7, 13);
    const double farX = raster.nodeX(27, 2), farY = raster.nodeY(27, 2);
    raster.rotateGeotransform(7, 13, -37.0);
    EXPECT_NEAR(raster.nodeX(7, 13), x, 1e-12);
    EXPECT_NEAR(raster.nodeY(7, 13), y, 1e-12);
    EXPECT_NEAR(std::hypot(raster.nodeX(27, 2) - x, raster.nodeY(27, 2) - y), std::hypot(farX - x, farY - y), 1e-12);

    std::vector<tiePoint> points{{0, 3.0, 2.0, 9.0}, {0, 2.0, 5.0, 0.0}};
    rotatePoints(points, 90.0, 2.0, 2.0);
    EXPECT_NEAR(points[0].x, 2.0, 1e-12);
    EXPECT_NEAR(points[0].y, 3.0, 1e-12);
    EXPECT_EQ(points[0].elevation, 9.0);
    EXPECT_NEAR(points[1].x, -1.0, 1e-12);
    EXPECT_NEAR(points[1].y, 2.0, 1e-12);
}

// A raster whose georeference is the true one turned about node (16, 16) by
// the 66th angle of the scan from -5 in steps of 0.1 (about 1.5): the points
// were measured on the true one.
struct turnedScene {
    elevationRaster truth = makeRaster(65, 65, {300.0, 1.0, 0.0, 400.0, 0.0, -1.0}, hills);
    alignmentModel model;
    double angle = -5.0;
    turnedScene() {
        for (int i = 0; i < 65; ++i) angle += 0.1;
        elevationRaster turned = truth;
        turned.rotateGeotransform(16, 16, -angle);
        model = readyModel(turned, scatteredPoints(truth, 400, 9.0, 6));
        model.tiePoints = {{0, model.raster.nodeX(40, 30), model.raster.nodeY(40, 30), 0.0}};
    }
};

TEST(RotationStage, FindsTheTurnOfTheRasterWhicheverWayTheRangeIsGiven) {
    const turnedScene scene;
    const double incoming = scene.model.currentRms().rms;
    ASSERT_GT(incoming, 0.5);
    for (const std::array<double, 3>& range : {std::array<double, 3>{-5.0, 5.0, 0.1}, {5.0, -5.0, -0.1}}) {
        alignmentModel model = scene.model;
        consoleCapture console;
        EXPECT_LT(model.rotationStage(incoming, range[0], range[1], range[2]), 1e-9);
        EXPECT_EQ(console.text(), "Min RMS Rotation About: 16 : 16\nMin RMS Rotation Angle:1.5\n");
        for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(model.raster.transform[i], scene.truth.transform[i], 1e-12);
        EXPECT_NEAR(model.tiePoints[0].x, scene.truth.nodeX(40, 30), 1e-9);
        EXPECT_NEAR(model.tiePoints[0].y, scene.truth.nodeY(40, 30), 1e-9);
    }
}

TEST(RotationStage, StepThatCannotAdvanceTriesOneAngle) {
    const turnedScene scene;
    const double incoming = scene.model.currentRms().rms;
    for (double step : {0.0, notANumber, infinity, 1.0e-300}) {
        alignmentModel model = scene.model;
        consoleCapture console;
        EXPECT_LT(model.rotationStage(incoming, scene.angle, 5.0, step), 1e-9);
        EXPECT_EQ(console.text(), "Min RMS Rotation About: 16 : 16\nMin RMS Rotation Angle:1.5\n") << step;
    }
    alignmentModel model = scene.model;
    consoleCapture console;
    EXPECT_EQ(model.rotationStage(incoming, -infinity, 5.0, 0.1), incoming);
    EXPECT_EQ(console.text(), "No Rotation Found\n");
}

TEST(RotationStage, NoPivotNoNumberOrNoBetterRmsFindsNoRotationAndTiesEndTheSearch) {
    const elevationRaster flat = makeRaster(30, 30, unitCells, seven);
    const std::vector<molaPoint> onFlat = scatteredPoints(flat, 30, 10.0, 7);
    struct row {
        const char* name; elevationRaster raster; std::vector<molaPoint> points; double incoming; bool debug;
        std::string text; double best;
    };
    const std::vector<row> rows{
        {"one column", makeRaster(1, 30, unitCells, hills), {{0, 0.0, 5.0, 1.0}}, 4.0, true,
         "Beginning Rotation Stage\nNo Rotation Found\n", 4.0},
        {"no point on the raster", makeRaster(30, 30, unitCells, hills), {{0, 5000.0, 5000.0, 1.0}}, 2.0, false,
         "No Rotation Found\n", 2.0},
        {"equal RMS", flat, onFlat, 0.0, false, "No Rotation Found\n", 0.0},
        {"incoming not a number", flat, onFlat, notANumber, false, "No Rotation Found\n", notANumber},
        // Every trial about every pivot ties: the first wins, the 404 tied quarters end the search.
        {"ties", makeRaster(3, 3, unitCells, seven), {{0, 1.0, 1.0, 7.0}}, 1.0, true,
         "Beginning Rotation Stage\n2 : 0\n2 : 0\n1\nMin RMS Rotation About: 0 : 0\nMin RMS Rotation Angle:-5\n", 0.0}};
    for (const row& test : rows) {
        SCOPED_TRACE(test.name);
        alignmentModel model = readyModel(test.raster, test.points);
        model.debug = test.debug;
        consoleCapture console;
        const double best = model.rotationStage(test.incoming, -5.0, 5.0, 0.1);
        EXPECT_EQ(console.text(), test.text);
        EXPECT_TRUE(best == test.best || (std::isnan(best) && std::isnan(test.best))) << best;
        if (test.best == test.incoming || std::isnan(test.best)) {
            EXPECT_EQ(model.raster.transform, test.raster.transform);
        }
    }
}

}  // namespace
}  // namespace kalvex
