// The translation and rotation searches over the raster's georeference.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/plainStages.h"
#include "model/evaluation/pointError.h"
#include "model/plain/translationStage.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::makeRaster;
using ::testing::DoubleNear;
using ::testing::NanSensitiveDoubleNear;
using ::testing::Pointwise;
const double infinity = std::numeric_limits<double>::infinity();
const geoTransform unitCells{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};

double hills(int c, int r) { return 10.0 * std::sin(c * 0.3) + 8.0 * std::cos(r * 0.25) + 0.05 * c * r; }
double seven(int, int) { return 7.0; }

// Shots in two tracks, spread evenly at least margin cells inside the edge, that measure the raster exactly.
runState readyScene(const elevationRaster& raster, int count, double margin) {
    runState scene;
    scene.raster = raster;
    for (int i = 0; i < count; ++i) {
        const double c = margin + std::fmod(i * 0.6180339887, 1.0) * (raster.width - 1.0 - 2 * margin);
        const double r = margin + (i + 0.5) / count * (raster.height - 1.0 - 2 * margin);
        scene.molaPoints.push_back({i % 2, raster.nodeX(c, r), raster.nodeY(c, r), 0.0});
        scene.molaPoints.back().elevation = sampleModel(raster, {scene.molaPoints.back()}, 0, 0, 0)[0];
    }
    scene.trackWeights = {1.0, 1.0};
    scene.notReady = false;
    return scene;
}

// Every offset ties on a flat raster: the incoming RMS stays, or the first in scan order wins; the tie points move
// with the raster.
TEST(TranslationStage, OnlyAStrictlyLowerRmsCountsAndTheFirstOfEqualOnesWins) {
    runState scene = readyScene(makeRaster(30, 30, unitCells, seven), 50, 8.0);
    std::ostringstream equal, first;
    alignmentModel model(equal, scene);
    EXPECT_EQ(translationStage(model, 0.0, 5.0, 1.0).rms, 0.0);
    EXPECT_EQ(equal.str(), "x-translation: 0\ny-translation: 0\n");
    scene.debug = true;
    scene.tiePoints = {{0, 3.0, 4.5, 1.0}};
    alignmentModel stale(first, scene);
    EXPECT_EQ(translationStage(stale, 1.0, 1.0, 1.0).rms, 0.0);
    EXPECT_EQ(stale.state().raster.transform, (geoTransform{-1.0, 1.0, 0.0, -1.0, 0.0, 1.0}));
    const tiePoint& moved = stale.state().tiePoints[0];
    EXPECT_EQ(testing::textOf({moved.x, moved.y, moved.elevation}), "2 3.5 1 ");
    EXPECT_EQ(first.str(), "Beginning Translation Stage\nNew Lowest RMS with x-y translation of (-1,-1) is 0\n"
                            "x-translation: -1\ny-translation: -1\n");
}

// The grid reaches +padding on both axes: the raster lies a cell below and left of where its shots measured it.
TEST(TranslationStage, TheGridReachesItsFarCorner) {
    runState scene = readyScene(makeRaster(30, 30, unitCells, hills), 200, 8.0);
    scene.raster.transform = scene.raster.transform.translated(-1.0, -1.0);
    const alignmentModel model(testing::discardedConsole(), scene);
    const translationOutcome found = searchTranslation(model.searchSubject(), 1.0e9, 1.0, 1.0);
    EXPECT_NEAR(found.rms, 0.0, 1e-9);
    EXPECT_EQ(testing::textOf({found.dx, found.dy}), "1 1 ");
}

// A step that cannot move the scan to +padding would never end; one far too fine would take days, and is widened.
TEST(TranslationStage, NotANumberIncomingOrAStepThatCannotAdvanceTriesOnlyTheUnmovedRaster) {
    runState scene = readyScene(makeRaster(30, 30, unitCells, hills), 5, 8.0);
    for (molaPoint& point : scene.molaPoints) point.elevation = 0.0;
    const double current = rmsAndMean(scene.raster, scene.molaPoints, &scene.trackWeights, 0, 0, 0).rms;
    struct row { double incoming, padding, delta; std::string warning; };
    for (const row& test : std::vector<row>{
             {notANumber, 3.0, 1.0, ""}, {1e9, 5.0, 0.0, ""}, {1e9, 5.0, -1.0, ""}, {1e9, 5.0, notANumber, ""},
             {1e9, 5.0, infinity, ""}, {1e9, infinity, 1.0, ""}, {1e9, notANumber, 1.0, ""}, {1e9, 1.0e6, 1.0e-12, ""},
             {1e9, 0.0, 0.0, ""},
             {0.0, 4000.0, 0.5, "Warning: The translation increment 0.5 is too small for the translation range 4000, "
                                "using 4\n"}}) {
        std::ostringstream console;
        const alignmentModel model(console, scene);
        const translationOutcome found =
            searchTranslation(model.searchSubject(), test.incoming, test.padding, test.delta);
        EXPECT_EQ(console.str(), test.warning + "x-translation: 0\ny-translation: 0\n") << test.delta;
        EXPECT_THAT(found.rms, NanSensitiveDoubleNear(std::min(test.incoming, current), 0.0)) << test.delta;
        EXPECT_EQ(testing::textOf({found.dx, found.dy}), "0 0 ") << test.delta;
    }
}

std::vector<double> transformAndTiePoints(const runState& state) {
    std::vector<double> values(state.raster.transform.coefficients.begin(), state.raster.transform.coefficients.end());
    for (const tiePoint& point : state.tiePoints) values.insert(values.end(), {point.x, point.y});
    return values;
}

// Turns are counter-clockwise about the pivot: by 90 degrees about node (10, 20), node (11, 20) of a north-up raster
// lands where node (10, 19) was. The true georeference turned about node (16, 16) by the 66th angle of the scan from -5
// in steps of 0.1 (about 1.5), over shots measured on the true one, is turned back. A range high to low is swapped; a
// step that cannot advance tries lo alone, also where lo is hi; a range not finite tries nothing. Finding nothing
// better, no number or no pivot to turn about moves nothing.
TEST(RotationStage, TurnsBackByTheBestAngleAboutTheBestPivotOrFindsNoRotation) {
    elevationRaster northUp = makeRaster(30, 30, {100.0, 2.0, 0.0, 500.0, 0.0, -2.0}, hills);
    northUp.transform = northUp.transform.turnedAbout(10, 20, 90.0);
    std::vector<tiePoint> point{{0, 3.0, 2.0, 9.0}};
    turnPoints(point, 90.0, 2.0, 2.0);
    EXPECT_EQ(testing::textOf({northUp.nodeX(10, 20), northUp.nodeY(10, 20), northUp.nodeX(11, 20),
                               northUp.nodeY(11, 20), point[0].x, point[0].y}), "120 460 120 462 2 3 ");
    const elevationRaster truth = makeRaster(65, 65, {300.0, 1.0, 0.0, 400.0, 0.0, -1.0}, hills);
    double angle = -5.0;
    for (int i = 0; i < 65; ++i) angle += 0.1;
    runState turned = readyScene(truth, 400, 9.0), back = turned;
    turned.raster.transform = turned.raster.transform.turnedAbout(16, 16, -angle);
    turned.tiePoints = {{0, turned.raster.nodeX(40, 30), turned.raster.nodeY(40, 30), 0.0}};
    back.tiePoints = {{0, truth.nodeX(40, 30), truth.nodeY(40, 30), 0.0}};
    const double incoming = rmsAndMean(turned.raster, turned.molaPoints, &turned.trackWeights, 0, 0, 0).rms;
    runState flat = readyScene(makeRaster(30, 30, unitCells, seven), 30, 10), off = flat, ties = off, thin = off;
    off.molaPoints = {{0, 5000.0, 5000.0, 1.0}};
    ties.raster = makeRaster(3, 3, unitCells, seven);
    ties.molaPoints = {{0, 1.0, 1.0, 7.0}};
    thin.raster = makeRaster(1, 30, unitCells, hills);
    const std::string found = "Min RMS Rotation About: 16 : 16\nMin RMS Rotation Angle:1.5\n";
    const std::string none = "No Rotation Found\n", debug = "Beginning Rotation Stage\n";
    struct row { const runState& scene; double rms, lo, hi, step; std::string text; double best; };
    for (const row& test : std::vector<row>{
             {turned, incoming, -5.0, 5.0, 0.1, found, 0.0}, {turned, incoming, 5.0, -5.0, -0.1, found, 0.0},
             {turned, incoming, angle, 5.0, 0.0, found, 0.0}, {turned, incoming, angle, 5.0, notANumber, found, 0.0},
             {turned, incoming, angle, 5, 1e-300, found, 0.0}, {turned, incoming, angle, angle, 0.0, found, 0.0},
             {turned, incoming, -infinity, 5.0, 0.1, none, incoming},
             {thin, 4.0, -5.0, 5.0, 0.1, debug + none, 4.0}, {off, 2.0, -5.0, 5.0, 0.1, none, 2.0},
             {flat, 0.0, -5.0, 5.0, 0.1, none, 0.0}, {flat, notANumber, -5.0, 5.0, 0.1, none, notANumber},
             // Every trial about every pivot ties: the first wins, the 404 tied quarters end the search.
             {ties, 1.0, -5.0, 5.0, 0.1,
              debug + "2 : 0\n2 : 0\n1\nMin RMS Rotation About: 0 : 0\nMin RMS Rotation Angle:-5\n", 0.0}}) {
        runState scene = test.scene;
        scene.debug = test.text.rfind(debug, 0) == 0;
        std::ostringstream console;
        alignmentModel model(console, scene);
        const double best = rotationStage(model, test.rms, test.lo, test.hi, test.step).rms;
        EXPECT_THAT(best, NanSensitiveDoubleNear(test.best, 1e-9)) << test.lo << " " << test.step;
        EXPECT_EQ(console.str(), test.text) << test.lo << " " << test.step;
        if (test.text != found && test.text.find(none) == std::string::npos) continue;
        const runState& expected = test.text == found ? back : test.scene;
        EXPECT_THAT(transformAndTiePoints(model.state()), Pointwise(DoubleNear(1e-9), transformAndTiePoints(expected)));
    }
}

}  // namespace
}  // namespace kalvex
