// How precisely the shots fix a position: nothing on flat ground, one axis on
// ridges, both on rough ground, and more loosely where the errors along a
// track hang together than where every shot errs on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "model/evaluation/pointError.h"
#include "model/evaluation/positionUncertainty.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using terrain = std::function<double(int, int)>;
const terrain rough = [](int c, int r) {
    return 40.0 * std::sin(c * 0.21) * std::cos(r * 0.17) + 15.0 * std::sin(0.11 * (c + 2 * r));
};
const terrain plane = [](int c, int r) { return 3.0 * c - 2.0 * r; };
const terrain ridges = [](int c, int) { return 40.0 * std::sin(c * 0.3); };

// Eight tracks of 100 shots across an 80 x 80 raster of unit cells, measuring it moved by (dx, dy), with an error
// per shot from noise(track, shot).
struct scene {
    elevationRaster raster;
    std::vector<molaPoint> shots;
};

scene sceneOf(const terrain& cells, double dx, double dy, const std::function<double(int, int)>& noise) {
    scene made{testing::makeRaster(80, 80, {1000.0, 1.0, 0.0, 2000.0, 0.0, -1.0}, cells), {}};
    for (int i = 0; i < 800; ++i)
        made.shots.push_back({i % 8, 1010.0 + 8.3 * (i % 8) + 0.02 * (i / 8), 1990.0 - 0.6 * (i / 8), 0.0});
    const std::vector<double> model = sampleModel(made.raster, made.shots, dx, dy, 0.0);
    for (std::size_t i = 0; i < made.shots.size(); ++i)
        made.shots[i].elevation = model[i] + 3.0 + 0.1 * made.shots[i].x + noise(int(i % 8), int(i / 8));
    return made;
}

positionUncertainty estimated(const scene& made, bool withTurn = false) {
    const std::vector<double> weights(made.shots.size(), 1.0);
    return estimatePosition(shotSensitivities(made.raster, made.shots, weights, 1040.0, 1960.0), withTurn);
}

double independent(int track, int shot) { return 0.5 * std::sin(track * 91.7 + shot * 12.9898) * std::sqrt(2.0); }

TEST(PositionUncertainty, FlatGroundFixesNothingRidgesOneAxisRoughGroundBoth) {
    const positionUncertainty flat = estimated(sceneOf(plane, 0, 0, independent));
    EXPECT_TRUE(std::isinf(flat.standardError[0]) && std::isinf(flat.standardError[1]));
    const positionUncertainty oneAxis = estimated(sceneOf(ridges, 0, 0, independent));
    EXPECT_LT(oneAxis.standardError[0], 0.05);
    EXPECT_TRUE(std::isinf(oneAxis.standardError[1]));
    const positionUncertainty both = estimated(sceneOf(rough, 0, 0, independent), true);
    for (const double error : both.standardError) EXPECT_LT(error, 0.05);
    EXPECT_EQ(both.tracks, 8u);
}

// The same scatter per shot, once independent and once a slow swing along each track: the swing moves the position
// far more, and the standard error, summed per track, says so; over many draws it is the scatter of the estimates.
TEST(PositionUncertainty, ErrorsThatHangTogetherAlongATrackCountOncePerTrack) {
    std::mt19937 draw(7);
    std::normal_distribution<double> normal;
    double squares = 0.0, reported = 0.0;
    for (int trial = 0; trial < 100; ++trial) {
        std::vector<double> phase(8);
        for (double& p : phase) p = 6.28 * normal(draw);
        const auto swing = [&phase](int track, int shot) { return 0.71 * std::sin(0.05 * shot + phase[track]); };
        const positionUncertainty found = estimated(sceneOf(rough, 0, 0, swing));
        squares += found.step[0] * found.step[0] + found.step[1] * found.step[1];
        reported += found.standardError[0] * found.standardError[0] + found.standardError[1] * found.standardError[1];
    }
    const double scatter = std::sqrt(squares / 100.0);
    EXPECT_GT(scatter, 3.0 * std::hypot(estimated(sceneOf(rough, 0, 0, independent)).standardError[0],
                                       estimated(sceneOf(rough, 0, 0, independent)).standardError[1]));
    EXPECT_NEAR(std::sqrt(reported / 100.0) / scatter, 1.0, 0.5);
}

// The least-squares step takes a raster that the shots see moved back there, and a turn about the pivot it offers
// changes nothing a translation could: asked again from there, it offers no further offset.
TEST(PositionUncertainty, TheStepLeadsToTheBestPositionAndThePivotDecouplesTheTurn) {
    const scene moved = sceneOf(rough, 0.2, -0.15, [](int, int) { return 0.0; });
    const positionUncertainty found = estimated(moved, true);
    EXPECT_NEAR(found.step[0], 0.2, 0.02);
    EXPECT_NEAR(found.step[1], -0.15, 0.02);
    EXPECT_NEAR(found.step[2], 0.0, 0.005);
    const std::vector<double> weights(moved.shots.size(), 1.0);
    const positionVector offset =
        decouplingPivotOffset(shotSensitivities(moved.raster, moved.shots, weights, 1040.0, 1960.0));
    EXPECT_GT(std::hypot(offset[0], offset[1]), 1.0);
    const positionVector again = decouplingPivotOffset(
        shotSensitivities(moved.raster, moved.shots, weights, 1040.0 + offset[0], 1960.0 + offset[1]));
    EXPECT_LT(std::hypot(again[0], again[1]), 1e-6);
}

}  // namespace
}  // namespace kalvex
