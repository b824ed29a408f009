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
using ::testing::DoubleNear;
using ::testing::NanSensitiveDoubleEq;
using ::testing::NanSensitiveDoubleNear;
using ::testing::Pointwise;
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

// A step that cannot move the scan from -padding to +padding would never end;
// an increment far too fine for its range would take days, and is widened.
TEST(TranslationStage, NotANumberIncomingOrAStepThatCannotAdvanceTriesOnlyTheUnmovedRaster) {
    alignmentModel scene = readyModel(makeRaster(30, 30, unitCells, hills), 5, 8.0);
    for (molaPoint& point : scene.molaPoints) point.elevation = 0.0;
    const std::string widened = "Warning: The translation increment 0.5 is too small for the translation range 4000, "
                                "using 4\n";
    struct row { double incoming, padding, delta; std::string warning; };
    for (const row& test : std::vector<row>{{notANumber, 3.0, 1.0, ""},   {1e9, 5.0, 0.0, ""},  {1e9, 5.0, -1.0, ""},
                                            {1e9, 5.0, notANumber, ""},   {1e9, 5.0, infinity, ""}, {1e9, infinity, 1.0, ""},
                                            {1e9, notANumber, 1.0, ""},   {1e9, 1.0e6, 1.0e-12, ""}, {1e9, 0.0, 0.0, ""},
                                            {0.0, 4000.0, 0.5, widened}}) {
        alignmentModel model = scene;
        consoleCapture console;
        const double best = model.translationStage(test.incoming, test.padding, test.delta);
        EXPECT_EQ(console.text(), test.warning + "x-translation: 0\ny-translation: 0\n") << test.padding << " " << test.delta;
        EXPECT_THAT(best, NanSensitiveDoubleEq(std::isnan(test.incoming) ? test.incoming : std::min(test.incoming, scene.currentRms().rms)));
        EXPECT_EQ(model.raster.transform, unitCells);
    }
}

TEST(SearchStages, DoNothingWhileNotReady) {
    alignmentModel model = readyModel(makeRaster(30, 30, unitCells, hills), 10, 8.0);
    model.notReady = true;
    consoleCapture console;
    EXPECT_EQ(model.translationStage(3.0, 5.0, 1.0), -1.0);
    EXPECT_EQ(model.rotationStage(3.0, -5.0, 5.0, 0.1), -1.0);
    EXPECT_EQ(console.text(), "");
}

std::vector<double> transformAndTiePoints(const alignmentModel& model) {
    std::vector<double> values(model.raster.transform.begin(), model.raster.transform.end());
    for (const tiePoint& point : model.tiePoints) values.insert(values.end(), {point.x, point.y});
    return values;
}

// The true georeference turned about node (16, 16) by the 66th angle of the
// scan from -5 in steps of 0.1 (about 1.5), over shots measured on the true one.
// A range given high to low is swapped; a step that cannot advance tries the
// angle lo alone, and a range that is not finite none. A search that finds
// nothing better, or no number, or no pivot to turn about, moves nothing.
TEST(RotationStage, TurnsBackByTheBestAngleAboutTheBestPivotOrFindsNoRotation) {
    const elevationRaster truth = makeRaster(65, 65, {300.0, 1.0, 0.0, 400.0, 0.0, -1.0}, hills);
    double angle = -5.0;
    for (int i = 0; i < 65; ++i) angle += 0.1;
    alignmentModel turned = readyModel(truth, 400, 9.0), back = turned;
    turned.raster.rotateGeotransform(16, 16, -angle);
    turned.tiePoints = {{0, turned.raster.nodeX(40, 30), turned.raster.nodeY(40, 30), 0.0}};
    back.tiePoints = {{0, truth.nodeX(40, 30), truth.nodeY(40, 30), 0.0}};
    const double incoming = turned.currentRms().rms;
    ASSERT_GT(incoming, 0.5);
    alignmentModel flat = readyModel(makeRaster(30, 30, unitCells, seven), 30, 10.0), off = flat, ties = flat, oneColumn = flat;
    off.molaPoints = {{0, 5000.0, 5000.0, 1.0}};
    ties.raster = makeRaster(3, 3, unitCells, seven);
    ties.molaPoints = {{0, 1.0, 1.0, 7.0}};
    oneColumn.raster = makeRaster(1, 30, unitCells, hills);
    const std::string found = "Min RMS Rotation About: 16 : 16\nMin RMS Rotation Angle:1.5\n", none = "No Rotation Found\n";
    struct row { const alignmentModel& scene; double incoming, lo, hi, step; bool debug; std::string text; double best; };
    for (const row& test : std::vector<row>{
             {turned, incoming, -5.0, 5.0, 0.1, false, found, 0.0},
             {turned, incoming, 5.0, -5.0, -0.1, false, found, 0.0},
             {turned, incoming, angle, 5.0, 0.0, false, found, 0.0},
             {turned, incoming, angle, 5.0, notANumber, false, found, 0.0},
             {turned, incoming, angle, 5.0, infinity, false, found, 0.0},
             {turned, incoming, angle, 5.0, 1.0e-300, false, found, 0.0},
             {turned, incoming, -infinity, 5.0, 0.1, false, none, incoming},
             {oneColumn, 4.0, -5.0, 5.0, 0.1, true, "Beginning Rotation Stage\n" + none, 4.0},
             {off, 2.0, -5.0, 5.0, 0.1, false, none, 2.0},
             {flat, 0.0, -5.0, 5.0, 0.1, false, none, 0.0},
             {flat, notANumber, -5.0, 5.0, 0.1, false, none, notANumber},
             // Every trial about every pivot ties: the first wins, the 404 tied quarters end the search.
             {ties, 1.0, -5.0, 5.0, 0.1, true,
              "Beginning Rotation Stage\n2 : 0\n2 : 0\n1\nMin RMS Rotation About: 0 : 0\nMin RMS Rotation Angle:-5\n", 0.0}}) {
        alignmentModel model = test.scene;
        model.debug = test.debug;
        consoleCapture console;
        EXPECT_THAT(model.rotationStage(test.incoming, test.lo, test.hi, test.step), NanSensitiveDoubleNear(test.best, 1e-9));
        EXPECT_EQ(console.text(), test.text) << test.lo << " " << test.step;
        if (test.text != found && test.text.find(none) == std::string::npos) continue;
        EXPECT_THAT(transformAndTiePoints(model),
                    Pointwise(DoubleNear(1e-9), transformAndTiePoints(test.text == found ? back : test.scene)));
    }
}

}  // namespace
}  // namespace kalvex
