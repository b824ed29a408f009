// Track weights, the filtering step and the lowering of the mean-error limit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/runSettings.h"
#include "app/trackFiltering.h"
#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using kalvex::testing::consoleCapture;

// A flat zero raster: every point's error is its own elevation.
alignmentModel flatModel(std::size_t trackCount) {
    alignmentModel model;
    model.raster.width = 40;
    model.raster.height = 40;
    model.raster.transform = {0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    model.raster.cells.assign(40 * 40, 0.0f);
    model.raster.loaded = true;
    model.trackWeights.assign(trackCount, 1.0);
    model.notReady = false;
    return model;
}

// A track of points with the given errors, laid out along row 2 + 3 * track.
void addTrack(alignmentModel& model, std::int32_t track, const std::vector<double>& errors) {
    double x = 2.0;
    for (double error : errors) {
        molaPoint point;
        point.trackIndex = track;
        point.x = x;
        point.y = 2.0 + 3.0 * track;
        point.elevation = error;
        model.molaPoints.push_back(point);
        x += 1.0;
    }
}

TEST(TrackWeights, FailingTrackLosesWeightUntilItsWeightedErrorsFit) {
    alignmentModel model = flatModel(2);
    addTrack(model, 0, {24.0, 26.0, 24.0, 26.0});  // mean 25, deviation 1
    addTrack(model, 1, {1.0, -1.0, 0.5});
    int failingStages = 0;
    for (int stage = 0; stage < 40; ++stage) {
        const double before = model.trackWeights[0];
        model.updateTrackWeights(2.0, 7.0, 0.05);
        if (model.trackWeights[0] != before) ++failingStages;
        if (stage == 17) {
            EXPECT_NEAR(model.trackWeights[0], 0.1, 1e-9);
        }
    }
    EXPECT_EQ(failingStages, 19);
    EXPECT_NEAR(model.trackWeights[0], 0.05, 1e-9);
    EXPECT_EQ(model.trackWeights[1], 1.0);
}

TEST(TrackWeights, LimitsAreOnTheAbsoluteMeanAndTheSpreadAndStrict) {
    alignmentModel model = flatModel(6);
    addTrack(model, 0, {-12.0, -12.0});      // mean beyond -10
    addTrack(model, 1, {10.0, 10.0, 10.0});  // mean exactly at the limit
    addTrack(model, 2, {7.0, -7.0});         // deviation exactly at the limit
    addTrack(model, 3, {8.0, -8.0});         // deviation beyond the limit
    addTrack(model, 4, {-10.0, -10.0});
    addTrack(model, 5, {12.0, 13.0});
    model.updateTrackWeights(10.0, 7.0, 0.05);
    EXPECT_DOUBLE_EQ(model.trackWeights[0], 0.95);
    EXPECT_DOUBLE_EQ(model.trackWeights[1], 1.0);
    EXPECT_DOUBLE_EQ(model.trackWeights[2], 1.0);
    EXPECT_DOUBLE_EQ(model.trackWeights[3], 0.95);
    EXPECT_DOUBLE_EQ(model.trackWeights[4], 1.0);
    EXPECT_DOUBLE_EQ(model.trackWeights[5], 0.95);
}

TEST(TrackWeights, SpreadIsTakenAroundTheSignedMean) {
    // Errors 20 and 22: mean 21, deviation 1. Around the absolute value or
    // around zero the deviation would exceed 7.
    alignmentModel model = flatModel(1);
    addTrack(model, 0, {20.0, 22.0});
    model.updateTrackWeights(30.0, 7.0, 0.05);
    EXPECT_EQ(model.trackWeights[0], 1.0);
}

TEST(TrackWeights, TrackWithoutSampledPointsKeepsItsWeight) {
    alignmentModel model = flatModel(3);
    addTrack(model, 0, {5.0});
    molaPoint outside;
    outside.trackIndex = 1;
    outside.x = -100.0;
    outside.y = 5.0;
    outside.elevation = 500.0;
    model.molaPoints.push_back(outside);
    model.trackWeights[1] = 0.4;
    model.updateTrackWeights(0.0, 0.0, 0.05);
    EXPECT_DOUBLE_EQ(model.trackWeights[0], 0.95);
    EXPECT_DOUBLE_EQ(model.trackWeights[1], 0.4);
    EXPECT_DOUBLE_EQ(model.trackWeights[2], 1.0);
}

TEST(TrackWeights, WeightNeverFallsBelowZero) {
    alignmentModel model = flatModel(2);
    addTrack(model, 0, {50.0});
    addTrack(model, 1, {50.0});
    model.trackWeights[1] = 0.03;
    model.updateTrackWeights(10.0, 7.0, 1.0);
    EXPECT_EQ(model.trackWeights[0], 0.0);
    model.updateTrackWeights(1.0, 7.0, 0.05);  // weighted mean 1.5 fails
    EXPECT_EQ(model.trackWeights[1], 0.0);
    model.updateTrackWeights(-1.0, -1.0, 0.05);  // weighted errors 0 still fail a negative limit
    EXPECT_EQ(model.trackWeights[0], 0.0);
    EXPECT_EQ(model.trackWeights[1], 0.0);
}

TEST(FilterTracks, WeightsAreUpdatedBeforeOutliersAreJudged) {
    alignmentModel model = flatModel(2);
    addTrack(model, 0, {0.0, 0.0, 0.0, 0.0});
    addTrack(model, 1, {100.0});
    consoleCapture console;
    model.filterTracks(0.05, 10.0, 7.0, 30.0);
    // Track 1 failed: weight 0.95, weighted error 95, mean 19, 95 - 19 >= 30.
    EXPECT_DOUBLE_EQ(model.trackWeights[1], 0.95);
    EXPECT_EQ(console.text(), "The coordinate 1:2:5:100 was removed.\n");
    EXPECT_EQ(model.molaPoints.size(), 4u);

    alignmentModel silenced = flatModel(2);
    addTrack(silenced, 0, {0.0, 0.0, 0.0, 0.0});
    addTrack(silenced, 1, {100.0});
    silenced.filterTracks(1.0, 10.0, 7.0, 30.0);  // weight 0 first: the point's weighted error is 0
    EXPECT_EQ(silenced.trackWeights[1], 0.0);
    EXPECT_EQ(silenced.molaPoints.size(), 5u);
}

TEST(FilterTracks, DoesNothingWhileNotReady) {
    alignmentModel model = flatModel(2);
    addTrack(model, 0, {0.0, 0.0, 0.0, 0.0});
    addTrack(model, 1, {100.0});
    model.notReady = true;
    consoleCapture console;
    model.filterTracks(0.05, 10.0, 7.0, 30.0);
    EXPECT_EQ(console.text(), "");
    EXPECT_EQ(model.trackWeights[1], 1.0);
    EXPECT_EQ(model.molaPoints.size(), 5u);
}

std::string lowerRepeatedly(runSettings& settings, int times) {
    consoleCapture console;
    for (int i = 0; i < times; ++i) lowerMaxError(settings);
    return console.text();
}

TEST(MaxErrorLimit, DefaultsFallToTheFloorAtOnce) {
    runSettings settings;
    EXPECT_EQ(lowerRepeatedly(settings, 5), "The new max error threshold is: 2\n");
    EXPECT_EQ(settings.sfMaxError, 2.0);
}

TEST(MaxErrorLimit, KeptShareOfNineTenthsStepsDownByWholeNumbers) {
    runSettings settings;
    settings.sfDecrease = 0.9;
    EXPECT_EQ(lowerRepeatedly(settings, 12),
              "The new max error threshold is: 9\nThe new max error threshold is: 8\n"
              "The new max error threshold is: 7\nThe new max error threshold is: 6\n"
              "The new max error threshold is: 5\nThe new max error threshold is: 4\n"
              "The new max error threshold is: 3\nThe new max error threshold is: 2\n");
    EXPECT_EQ(settings.sfMaxError, 2.0);
}

TEST(MaxErrorLimit, KeptShareOfOneRepeatsTheLimit) {
    runSettings settings;
    settings.sfDecrease = 1.0;
    EXPECT_EQ(lowerRepeatedly(settings, 3),
              "The new max error threshold is: 10\nThe new max error threshold is: 10\n"
              "The new max error threshold is: 10\n");
    settings.sfMaxError = 10.75;
    EXPECT_EQ(lowerRepeatedly(settings, 2),
              "The new max error threshold is: 10\nThe new max error threshold is: 10\n");
}

TEST(MaxErrorLimit, LimitAtOrBelowTheFloorIsNeverLowered) {
    runSettings settings;
    settings.sfMaxError = 1.0;
    EXPECT_EQ(lowerRepeatedly(settings, 3), "");
    EXPECT_EQ(settings.sfMaxError, 1.0);
    settings.sfMaxError = 2.0;
    EXPECT_EQ(lowerRepeatedly(settings, 1), "");
    settings.sfMaxError = notANumber;
    EXPECT_EQ(lowerRepeatedly(settings, 1), "");
}

TEST(MaxErrorLimit, HugeLimitIsLoweredWithoutOverflow) {
    runSettings settings;
    settings.sfMaxError = 1.0e300;
    settings.sfDecrease = 0.5;
    EXPECT_EQ(lowerRepeatedly(settings, 1), "The new max error threshold is: 5e+299\n");
}

}  // namespace
}  // namespace kalvex
