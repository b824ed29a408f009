// The translation and rotation searches over the raster's georeference.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::consoleCapture;
using testing::makeRaster;
using ::testing::NanSensitiveDoubleEq;
const double infinity = std::numeric_limits<double>::infinity();
const geoTransform unitCells{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};

double hills(int c, int r) { return 10.0 * std::sin(c * 0.3) + 8.0 * std::cos(r * 0.25) + 0.05 * c * r; }
double seven(int, int) { return 7.0; }

// Shots spread evenly over the interior (at least margin cells from the edge),
// in two tracks, measuring the raster moved by (dx, dy).
alignmentModel readyModel(const elevationRaster& raster, int count, double margin, double dx = 0.0, double dy = 0.0) {
    alignmentModel model;
    model.raster = raster;
    for (int i = 0; i < count; ++i) {
        const double c = margin + std::fmod(i * 0.6180339887, 1.0) * (raster.width - 1.0 - 2 * margin);
        const double r = margin + (i + 0.5) / count * (raster.height - 1.0 - 2 * margin);
        model.molaPoints.push_back({i % 2, raster.nodeX(c, r), raster.nodeY(c, r), 0.0});
        model.molaPoints.back().elevation = raster.sampleModel({model.molaPoints.back()}, dx, dy, 0.0)[0];
    }
    model.trackWeights = {1.0, 1.0};
    model.notReady = false;
    return model;
}

TEST(TranslationStage, FindsTheOffsetThatFitsThePointsAndMovesTiePointsAlong) {
    alignmentModel model = readyModel(makeRaster(40, 40, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, hills), 300, 8.0, 2.0, -3.0);
    model.tiePoints = {{0, 110.0, 190.0, 0.0}, {0, -4.5, 7.25, 0.0}};
    consoleCapture console;
    EXPECT_NEAR(model.translationStage(model.currentRms().rms, 5.0, 1.0), 0.0, 1e-9);
    EXPECT_EQ(console.text(), "x-translation: 2\ny-translation: -3\n");
    EXPECT_EQ(model.raster.transform, (geoTransform{102.0, 1.0, 0.0, 197.0, 0.0, -1.0}));
    EXPECT_EQ(std::vector<double>({model.tiePoints[0].x, model.tiePoints[0].y, model.tiePoints[1].x, model.tiePoints[1].y}),
              std::vector<double>({112.0, 187.0, -2.5, 4.25}));
    EXPECT_NEAR(model.currentRms().rms, 0.0, 1e-9);
}

// On a flat raster every offset ties: the incoming RMS is kept, or the first offset in scan order wins.
TEST(TranslationStage, OnlyAStrictlyLowerRmsCountsAndTheFirstOfEqualOnesWins) {
    alignmentModel model = readyModel(makeRaster(30, 30, unitCells, seven), 50, 8.0), stale = model;
    consoleCapture equal;
    EXPECT_EQ(model.translationStage(0.0, 5.0, 1.0), 0.0);
    EXPECT_EQ(equal.text(), "x-translation: 0\ny-translation: 0\n");
    EXPECT_EQ(model.raster.transform, unitCells);
    stale.debug = true;
    consoleCapture first;
    EXPECT_EQ(stale.translationStage(1.0, 1.0, 1.0), 0.0);
    EXPECT_EQ(first.text(), "Beginning Translation Stage\nNew Lowest RMS with x-y translation of (-1,-1) is 0\n"
                            "x-translation: -1\ny-translation: -1\n");
    EXPECT_EQ(stale.raster.transform, (geoTransform{-1.0, 1.0, 0.0, -1.0, 0.0, 1.0}));
}

// A step that cannot move the scan from -padding to +padding would never end.
TEST(TranslationStage, NotANumberIncomingOrAStepThatCannotAdvanceTriesOnlyTheUnmovedRaster) {
    alignmentModel scene = readyModel(makeRaster(30, 30, unitCells, hills), 50, 8.0);
    for (molaPoint& point : scene.molaPoints) point.elevation = 0.0;
    struct row { double incoming, padding, delta; };
    for (const row& test : std::vector<row>{{notANumber, 3.0, 1.0}, {1e9, 5.0, 0.0},      {1e9, 5.0, -1.0},
                                            {1e9, 5.0, notANumber}, {1e9, 5.0, infinity}, {1e9, infinity, 1.0},
                                            {1e9, notANumber, 1.0}, {1e9, 1.0e6, 1.0e-12}, {1e9, 0.0, 0.0}}) {
        alignmentModel model = scene;
        consoleCapture console;
        const double best = model.translationStage(test.incoming, test.padding, test.delta);
        EXPECT_EQ(console.text(), "x-translation: 0\ny-translation: 0\n") << test.padding << " " << test.delta;
        EXPECT_THAT(best, NanSensitiveDoubleEq(std::isnan(test.incoming) ? notANumber : scene.currentRms().rms));
        EXPECT_EQ(model.raster.transform, unitCells);
    }
}

TEST(TranslationStage, AnIncrementFarTooFineForItsRangeIsWidened) {
    alignmentModel model = readyModel(makeRaster(30, 30, unitCells, hills), 1, 8.0);
    consoleCapture console;
    model.translationStage(1.0, 4000.0, 0.5);
    EXPECT_EQ(console.text(), "Warning: The translation increment 0.5 is too small for the translation range 4000, "
                              "using 4\nx-translation: 0\ny-translation: 0\n");
}

TEST(SearchStages, DoNothingWhileNotReady) {
    alignmentModel model = readyModel(makeRaster(30, 30, unitCells, hills), 10, 8.0);
    model.notReady = true;
    consoleCapture console;
    EXPECT_EQ(model.translationStage(3.0, 5.0, 1.0), -1.0);
    EXPECT_EQ(model.rotationStage(3.0, -5.0, 5.0, 0.1), -1.0);
    EXPECT_EQ(console.text(), "");
}

// Turns are counter-clockwise about the pivot's map position, which stays put.
TEST(Rotation, PivotKeepsItsPlaceDistancesAreKeptAndTurnsAreCounterClockwise) {
    elevationRaster northUp = makeRaster(30, 30, {100.0, 2.0, 0.0, 500.0, 0.0, -2.0}, hills);
    const double targetX = northUp.nodeX(10, 19), targetY = northUp.nodeY(10, 19);
    northUp.rotateGeotransform(10, 20, 90.0);
    EXPECT_NEAR(northUp.nodeX(11, 20), targetX, 1e-9);
    EXPECT_NEAR(northUp.nodeY(11, 20), targetY, 1e-9);
    elevationRaster raster = makeRaster(30, 30, {-73.2, 0.3, 0.04, 12.5, -0.02, -0.31}, hills);
    const double x = raster.nodeX(7, 13), y = raster.nodeY(7, 13), farX = raster.nodeX(27, 2), farY = raster.nodeY(27, 2);
    raster.rotateGeotransform(7, 13, -37.0);
    EXPECT_NEAR(raster.nodeX(7, 13), x, 1e-12);
    EXPECT_NEAR(raster.nodeY(7, 13), y, 1e-12);
    EXPECT_NEAR(std::hypot(raster.nodeX(27, 2) - x, raster.nodeY(27, 2) - y), std::hypot(farX - x, farY - y), 1e-12);
    std::vector<tiePoint> points{{0, 3.0, 2.0, 9.0}, {0, 2.0, 5.0, 0.0}};
    rotatePoints(points, 90.0, 2.0, 2.0);
    for (const auto& [found, expected] : std::vector<std::pair<double, double>>{
             {points[0].x, 2.0}, {points[0].y, 3.0}, {points[1].x, -1.0}, {points[1].y, 2.0}})
        EXPECT_NEAR(found, expected, 1e-12);
    EXPECT_EQ(points[0].elevation, 9.0);
}

// The true georeference turned about node (16, 16) by the 66th angle of the
// scan from -5 in steps of 0.1 (about 1.5); the shots were measured on the true one.
TEST(RotationStage, FindsTheTurnOfTheRasterWhicheverWayTheRangeIsGivenAndWithAStepThatCannotAdvance) {
    const elevationRaster truth = makeRaster(65, 65, {300.0, 1.0, 0.0, 400.0, 0.0, -1.0}, hills);
    double angle = -5.0;
    for (int i = 0; i < 65; ++i) angle += 0.1;
    alignmentModel scene = readyModel(truth, 400, 9.0);
    scene.raster.rotateGeotransform(16, 16, -angle);
    scene.tiePoints = {{0, scene.raster.nodeX(40, 30), scene.raster.nodeY(40, 30), 0.0}};
    const double incoming = scene.currentRms().rms;
    ASSERT_GT(incoming, 0.5);
    const std::string found = "Min RMS Rotation About: 16 : 16\nMin RMS Rotation Angle:1.5\n";
    struct row { double lo, hi, step; std::string console; };
    for (const row& test : std::vector<row>{{-5.0, 5.0, 0.1, found}, {5.0, -5.0, -0.1, found}, {angle, 5.0, 0.0, found},
                                            {angle, 5.0, notANumber, found}, {angle, 5.0, infinity, found},
                                            {angle, 5.0, 1.0e-300, found}, {-infinity, 5.0, 0.1, "No Rotation Found\n"}}) {
        alignmentModel model = scene;
        consoleCapture console;
        const double best = model.rotationStage(incoming, test.lo, test.hi, test.step);
        EXPECT_EQ(console.text(), test.console) << test.lo << " " << test.step;
        if (test.console != found) {
            EXPECT_EQ(best, incoming);
            continue;
        }
        EXPECT_LT(best, 1e-9);
        for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(model.raster.transform[i], truth.transform[i], 1e-12);
        EXPECT_NEAR(model.tiePoints[0].x, truth.nodeX(40, 30), 1e-9);
        EXPECT_NEAR(model.tiePoints[0].y, truth.nodeY(40, 30), 1e-9);
    }
}

TEST(RotationStage, NoPivotNoNumberOrNoBetterRmsFindsNoRotationAndTiesEndTheSearch) {
    const alignmentModel flat = readyModel(makeRaster(30, 30, unitCells, seven), 30, 10.0);
    alignmentModel offRaster = readyModel(makeRaster(30, 30, unitCells, hills), 1, 10.0), ties = flat, oneColumn = flat;
    offRaster.molaPoints = {{0, 5000.0, 5000.0, 1.0}};
    ties.raster = makeRaster(3, 3, unitCells, seven);
    ties.molaPoints = {{0, 1.0, 1.0, 7.0}};
    oneColumn.raster = makeRaster(1, 30, unitCells, hills);
    struct row { const char* name; const alignmentModel& scene; double incoming; bool debug; std::string text; double best; };
    for (const row& test : std::vector<row>{
             {"one column", oneColumn, 4.0, true, "Beginning Rotation Stage\nNo Rotation Found\n", 4.0},
             {"no point on the raster", offRaster, 2.0, false, "No Rotation Found\n", 2.0},
             {"equal RMS", flat, 0.0, false, "No Rotation Found\n", 0.0},
             {"incoming not a number", flat, notANumber, false, "No Rotation Found\n", notANumber},
             // Every trial about every pivot ties: the first wins, the 404 tied quarters end the search.
             {"ties", ties, 1.0, true,
              "Beginning Rotation Stage\n2 : 0\n2 : 0\n1\nMin RMS Rotation About: 0 : 0\nMin RMS Rotation Angle:-5\n", 0.0}}) {
        alignmentModel model = test.scene;
        model.debug = test.debug;
        consoleCapture console;
        const double best = model.rotationStage(test.incoming, -5.0, 5.0, 0.1);
        EXPECT_EQ(console.text(), test.text) << test.name;
        EXPECT_THAT(best, NanSensitiveDoubleEq(test.best)) << test.name;
        if (test.text.find("No Rotation") != std::string::npos) {
            EXPECT_EQ(model.raster.transform, test.scene.raster.transform);
        }
    }
}

}  // namespace
}  // namespace kalvex
