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

// A flat zero raster, so every point's error is its own elevation, with one
// track per list of errors laid out along row 2 + 3 * track.
alignmentModel flatModel(const std::vector<std::vector<double>>& tracks) {
    alignmentModel model;
    model.raster.width = model.raster.height = 40;
    model.raster.transform = {0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    model.raster.cells.assign(40 * 40, 0.0f);
    model.trackWeights.assign(tracks.size(), 1.0);
    model.notReady = false;
    for (std::size_t track = 0; track < tracks.size(); ++track)
        for (std::size_t i = 0; i < tracks[track].size(); ++i)
            model.molaPoints.push_back({std::int32_t(track), 2.0 + double(i), 2.0 + 3.0 * track, tracks[track][i]});
    return model;
}

// Mean 25, deviation 1: the weight falls by 0.05 in each of 19 stages, until
// the weighted mean 1.25 is within the limit 2.
TEST(TrackWeights, FailingTrackLosesWeightUntilItsWeightedErrorsFit) {
    alignmentModel model = flatModel({{24.0, 26.0, 24.0, 26.0}, {1.0, -1.0, 0.5}});
    for (int stage = 0; stage < 18; ++stage) model.updateTrackWeights(2.0, 7.0, 0.05);
    EXPECT_NEAR(model.trackWeights[0], 0.1, 1e-9);
    for (int stage = 0; stage < 20; ++stage) model.updateTrackWeights(2.0, 7.0, 0.05);
    EXPECT_NEAR(model.trackWeights[0], 0.05, 1e-9);
    EXPECT_EQ(model.trackWeights[1], 1.0);
}

TEST(TrackWeights, LimitsAreStrictOnTheAbsoluteMeanAndTheSpreadAroundTheSignedMean) {
    struct row { std::vector<double> errors; double meanLimit, spreadLimit, weight; };
    for (const row& test : std::vector<row>{{{-12.0, -12.0}, 10.0, 7.0, 0.95},     // mean beyond -10
                                            {{10.0, 10.0, 10.0}, 10.0, 7.0, 1.0},  // mean exactly at the limit
                                            {{-10.0, -10.0}, 10.0, 7.0, 1.0},
                                            {{7.0, -7.0}, 10.0, 7.0, 1.0},         // deviation exactly at the limit
                                            {{8.0, -8.0}, 10.0, 7.0, 0.95},
                                            {{20.0, 22.0}, 30.0, 7.0, 1.0},        // deviation 1 around 21, not 0
                                            {{5.0}, 0.0, 0.0, 0.95}}) {
        alignmentModel model = flatModel({test.errors});
        model.updateTrackWeights(test.meanLimit, test.spreadLimit, 0.05);
        EXPECT_DOUBLE_EQ(model.trackWeights[0], test.weight) << test.errors[0] << " " << test.meanLimit;
    }
    alignmentModel outside = flatModel({{5.0}, {}, {}});  // tracks without sampled points keep their weight
    outside.molaPoints.push_back({1, -100.0, 5.0, 500.0});
    outside.trackWeights[1] = 0.4;
    outside.updateTrackWeights(0.0, 0.0, 0.05);
    EXPECT_EQ(outside.trackWeights, (std::vector<double>{0.95, 0.4, 1.0}));
}

TEST(TrackWeights, WeightNeverFallsBelowZero) {
    alignmentModel model = flatModel({{50.0}, {50.0}});
    model.trackWeights[1] = 0.03;
    model.updateTrackWeights(10.0, 7.0, 1.0);
    EXPECT_EQ(model.trackWeights[0], 0.0);
    model.updateTrackWeights(1.0, 7.0, 0.05);  // weighted mean 1.5 fails
    EXPECT_EQ(model.trackWeights, (std::vector<double>{0.0, 0.0}));
}

TEST(FilterTracks, WeightsAreUpdatedBeforeOutliersAreJudgedAndNothingHappensWhileNotReady) {
    const alignmentModel scene = flatModel({{0.0, 0.0, 0.0, 0.0}, {100.0}});
    alignmentModel model = scene, silenced = scene, idle = scene;
    idle.notReady = true;
    testing::consoleCapture console;
    // Track 1 fails: weight 0.95, weighted error 95 against the mean 19.
    model.filterTracks(0.05, 10.0, 7.0, 30.0);
    silenced.filterTracks(1.0, 10.0, 7.0, 30.0);  // weight 0 first: the point's weighted error is 0
    idle.filterTracks(0.05, 10.0, 7.0, 30.0);
    EXPECT_EQ(console.text(), "The coordinate 1:2:5:100 was removed.\n");
    EXPECT_EQ(model.trackWeights[1], 0.95);
    EXPECT_EQ(model.molaPoints.size(), 4u);
    EXPECT_EQ(silenced.trackWeights[1], 0.0);
    EXPECT_EQ(silenced.molaPoints.size(), 5u);
    EXPECT_EQ(idle.trackWeights[1], 1.0);
    EXPECT_EQ(idle.molaPoints.size(), 5u);
}

TEST(MaxErrorLimit, IsLoweredByTheKeptShareInWholeNumbersDownToTheFloor) {
    const std::string line = "The new max error threshold is: ";
    std::string byTenths;
    for (int limit = 9; limit >= 2; --limit) byTenths += line + std::to_string(limit) + "\n";
    struct row { double limit, keptShare; int times; std::string text; double final; };
    for (const row& test : std::vector<row>{
             {runSettings{}.sfMaxError, runSettings{}.sfDecrease, 5, line + "2\n", 2.0},  // the defaults: at once
             {10.0, 0.9, 12, byTenths, 2.0},
             {10.0, 1.0, 2, line + "10\n" + line + "10\n", 10.0},
             {10.75, 1.0, 1, line + "10\n", 10.0},
             {1.0, 0.1, 3, "", 1.0},  // at or below the floor: never lowered
             {2.0, 0.1, 1, "", 2.0},
             {notANumber, 0.1, 1, "", notANumber},
             {1.0e300, 0.5, 1, line + "5e+299\n", 5e299}}) {  // without overflow
        runSettings settings;
        settings.sfMaxError = test.limit;
        settings.sfDecrease = test.keptShare;
        testing::consoleCapture console;
        for (int i = 0; i < test.times; ++i) lowerMaxError(settings);
        EXPECT_EQ(console.text(), test.text) << test.limit << " " << test.keptShare;
        EXPECT_TRUE(settings.sfMaxError == test.final || (std::isnan(test.final) && std::isnan(settings.sfMaxError)));
    }
}

}  // namespace
}  // namespace kalvex
