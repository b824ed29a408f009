// Track weights, the filtering step and the lowering of the mean-error limit.
#include <gtest/gtest.h>

#include "app/runSettings.h"
#include "model/plain/trackFilter.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

// A raster of zeros, so that a shot's error is its elevation, and a track per list of errors along row 2 + 3 * track.
runState flatScene(const std::vector<std::vector<double>>& tracks) {
    runState scene;
    scene.raster = testing::makeRaster(40, 40, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, [](int, int) { return 0.0; });
    scene.trackWeights = trackWeightList::fullWeights(tracks.size());
    scene.notReady = false;
    for (std::size_t track = 0; track < tracks.size(); ++track)
        for (std::size_t i = 0; i < tracks[track].size(); ++i)
            scene.molaPoints.push_back({std::int32_t(track), 2.0 + double(i), 2.0 + 3.0 * track, tracks[track][i]});
    return scene;
}

tracksFiltered filtered(const runState& scene, const trackFilterLimits& limits) {
    const alignmentModel model(testing::discardedConsole(), scene);
    return filterTracks(model.searchSubject(), limits);
}

// Both limits are strict, the mean's on its absolute value and the spread's around the signed mean; a track without
// sampled points keeps its weight, and no weight falls below 0.
TEST(TrackWeights, ATrackBeyondEitherLimitLosesTheDecrement) {
    struct row { std::vector<double> errors; double meanLimit, spreadLimit, decrement, weight; };
    for (const row& test : std::vector<row>{
             {{-12.0, -12.0}, 10.0, 7.0, 0.05, 0.95}, {{10.0, 10.0, 10.0}, 10.0, 7.0, 0.05, 1.0},
             {{-10.0, -10.0}, 10.0, 7.0, 0.05, 1.0},  {{7.0, -7.0}, 10.0, 7.0, 0.05, 1.0},
             {{8.0, -8.0}, 10.0, 7.0, 0.05, 0.95},    {{20.0, 22.0}, 30.0, 7.0, 0.05, 1.0},
             {{5.0}, 0.0, 0.0, 0.05, 0.95},           {{50.0}, 10.0, 7.0, 1.5, 0.0},
             {{}, 0.0, 0.0, 0.05, 1.0}}) {
        runState scene = flatScene({test.errors, {0.0}});
        scene.molaPoints.push_back({0, -100.0, 5.0, 500.0});  // off the raster
        const tracksFiltered found = filtered(scene, {test.meanLimit, test.spreadLimit, test.decrement, 0.0});
        EXPECT_EQ(found.weights.values(), (std::vector<double>{test.weight, 1.0})) << test.meanLimit << test.decrement;
    }
    // Mean 25, deviation 1: the weighted errors shrink with the weight, which falls in 19 stages until the weighted
    // mean 1.25 lies within the limit 2.
    runState scene = flatScene({{24.0, 26.0, 24.0, 26.0}});
    for (int stage = 0; stage < 40; ++stage) scene.trackWeights = filtered(scene, {2.0, 7.0, 0.05, 0.0}).weights;
    EXPECT_NEAR(scene.trackWeights.of(0), 0.05, 1e-9);
}

// Track 1 fails: weight 0.95, error 95 against the mean 19; with a decrement of 1 its error is 0 when judged.
TEST(FilterTracks, WeightsAreUpdatedBeforeOutliersAreJudged) {
    const runState scene = flatScene({{0.0, 0.0, 0.0, 0.0}, {100.0}});
    const tracksFiltered lowered = filtered(scene, {10.0, 7.0, 0.05, 30.0});
    const tracksFiltered silenced = filtered(scene, {10.0, 7.0, 1.0, 30.0});
    EXPECT_EQ(testing::textOf({lowered.weights.of(1), silenced.weights.of(1)}), "0.95 0 ");
    EXPECT_EQ(lowered.outliers, std::vector<std::size_t>{4});  // the shot 1:2:5:100
    EXPECT_EQ(silenced.outliers, std::vector<std::size_t>{});
}

TEST(MaxErrorLimit, IsLoweredByTheKeptShareInWholeNumbersDownToTheFloor) {
    const std::string line = "The new max error threshold is: ";
    std::string byTenths;
    for (int limit = 9; limit >= 2; --limit) byTenths += line + std::to_string(limit) + "\n";
    struct row { double limit, keptShare; int times; std::string text; double final; };
    for (const row& test : std::vector<row>{
             {runSettings{}.sfMaxError, runSettings{}.sfDecrease, 5, line + "2\n", 2.0},  // the defaults: at once
             {10.0, 0.9, 12, byTenths, 2.0},
             {10.75, 1.0, 2, line + "10\n" + line + "10\n", 10.0},  // the whole number part
             {1.0, 0.1, 3, "", 1.0},  // at or below the floor: never lowered
             {2.0, 0.1, 1, "", 2.0},
             {1.0e300, 0.5, 1, line + "5e+299\n", 5e299}}) {  // without overflow
        std::ostringstream console;
        double limit = test.limit;
        for (int i = 0; i < test.times; ++i)
            limit = lowerMaxError(console, limit, test.keptShare, runSettings{}.sfCutoff);
        EXPECT_EQ(console.str() + std::to_string(limit), test.text + std::to_string(test.final));
    }
}

}  // namespace
}  // namespace kalvex
