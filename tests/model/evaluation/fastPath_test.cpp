// The fast RMS evaluation and the threaded searches against plain one-point-
// at-a-time evaluations and one-by-one scans, on random scenes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/alignmentModel.h"
#include "app/plainStages.h"
#include "model/evaluation/errorEvaluator.h"
#include "model/evaluation/pointError.h"
#include "model/evaluation/searchThreads.h"
#include "readers/numberConversion.h"
#include "tests/support/referenceModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using kalvex::testing::referenceElevation;
using kalvex::testing::referenceRms;
using kalvex::testing::sampledRms;

constexpr double pi = 3.141592653589793;

struct sceneShape {
    std::uint32_t width;
    std::uint32_t height;
    bool turned;
    double noDataShare;
    int pointCount;
};

geoTransform randomTransform(std::mt19937& random, bool turned) {
    std::uniform_real_distribution<double> origin(-500.0, 500.0);
    std::uniform_real_distribution<double> size(0.2, 3.0);
    const double columnSize = size(random);
    const double rowSize = size(random);
    if (!turned) return {origin(random), columnSize, 0.0, origin(random), 0.0, -rowSize};
    std::uniform_real_distribution<double> angle(-pi, pi);
    std::uniform_real_distribution<double> skew(-0.3, 0.3);
    const double turn = angle(random);
    const double shear = skew(random);
    return {origin(random), columnSize * std::cos(turn), rowSize * (std::sin(turn) + shear),
            origin(random), columnSize * std::sin(turn), -rowSize * std::cos(turn)};
}

// Positions anywhere in and around the raster, with a share on nodes, on the
// half-cell boundaries and on the outermost rows and columns.
double randomCellPosition(std::mt19937& random, std::uint32_t count) {
    std::uniform_int_distribution<int> kind(0, 5);
    std::uniform_real_distribution<double> anywhere(-3.0, count + 2.0);
    std::uniform_int_distribution<int> node(-1, int(count));
    switch (kind(random)) {
        case 0: return double(node(random));
        case 1: return node(random) + 0.5;
        case 2: return node(random) - 0.5;
        case 3: return random() % 2 == 0 ? 0.0 : count - 1.0;
        default: return anywhere(random);
    }
}

runState randomScene(const sceneShape& shape, unsigned seed) {
    std::mt19937 random(seed);
    runState scene;
    elevationRaster& raster = scene.raster;
    raster.width = shape.width;
    raster.height = shape.height;
    raster.transform = randomTransform(random, shape.turned);
    raster.cells.resize(std::size_t(shape.width) * shape.height);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (std::uint32_t r = 0; r < shape.height; ++r)
        for (std::uint32_t c = 0; c < shape.width; ++c)
            raster.cell(c, r) = unit(random) < shape.noDataShare
                                    ? std::nanf("")
                                    : float(300.0 + 40.0 * std::sin(c * 0.37) * std::cos(r * 0.29) + 5.0 * unit(random));
    raster.loaded = true;

    std::normal_distribution<double> noise(0.0, 3.0);
    for (int i = 0; i < shape.pointCount; ++i) {
        const double c = randomCellPosition(random, shape.width);
        const double r = randomCellPosition(random, shape.height);
        molaPoint point;
        point.trackIndex = std::int32_t(random() % 5);
        point.x = raster.nodeX(c, r);
        point.y = raster.nodeY(c, r);
        point.elevation = 300.0 + 40.0 * std::sin(c * 0.37) * std::cos(r * 0.29) + noise(random);
        scene.molaPoints.push_back(point);
    }
    scene.trackWeights = {1.0, 0.0, unit(random), unit(random), 0.5};
    scene.notReady = false;
    return scene;
}

// Every kernel path this processor runs, the wide ones also reading cells
// instead of planes; each test of EveryKernelPath forces one.
using forcedKernel = std::pair<kernelPath, bool>;
std::vector<forcedKernel> runnablePaths() {
    std::vector<forcedKernel> paths{{kernelPath::portable, false}};
    for (const kernelPath path : {kernelPath::avx2, kernelPath::avx512})
        if (kernelPathRuns(path)) paths.insert(paths.end(), {{path, false}, {path, true}});
    return paths;
}

bool closeRelative(double value, double expected, double tolerance) {
    if (std::isnan(expected)) return std::isnan(value);
    return std::fabs(value - expected) <= tolerance * std::fabs(expected);
}

// ---------------------------------------------------------------- the evaluation

class EveryKernelPath : public ::testing::TestWithParam<forcedKernel> {
    // A path that was not taken would leave its cases measuring another.
    void SetUp() override {
        forceKernelPath(GetParam().first, GetParam().second);
        ASSERT_EQ(chosenKernelPath(), GetParam().first);
    }
    void TearDown() override { forceKernelPath(kernelPath::automatic); }
};

std::string pathName(const ::testing::TestParamInfo<forcedKernel>& info) {
    const kernelPath path = info.param.first;
    return std::string(path == kernelPath::avx512 ? "avx512" : path == kernelPath::avx2 ? "avx2" : "portable") +
           (info.param.second ? "Cells" : "");
}

INSTANTIATE_TEST_SUITE_P(FastEvaluation, EveryKernelPath, ::testing::ValuesIn(runnablePaths()), pathName);

TEST_P(EveryKernelPath, MatchesThePlainEvaluationOnRandomScenes) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> offset(-4.0, 4.0);
    int scenesWithPoints = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        const sceneShape shape{3 + std::uint32_t(random() % 40), 3 + std::uint32_t(random() % 40), seed % 2 == 0,
                               seed % 3 == 0 ? 0.05 : 0.0, 1 + int(random() % 700)};
        const runState scene = randomScene(shape, seed);
        const errorEvaluator evaluator(scene.raster, scene.molaPoints, &scene.trackWeights);
        for (int trial = 0; trial < 5; ++trial) {
            const double scale = std::fabs(scene.raster.transform[1]) + std::fabs(scene.raster.transform[2]);
            const double dx = trial == 0 ? 0.0 : offset(random) * scale;
            const double dy = trial == 0 ? 0.0 : offset(random) * scale;
            const double dz = trial < 2 ? 0.0 : offset(random);
            const auto expected = referenceRms(scene.raster, scene.molaPoints, &scene.trackWeights, dx, dy, dz);
            const errorSums sums = evaluator.sums(scene.raster.transform, dx, dy, dz);
            const rmsResult fast = errorEvaluator::resultOf(sums);
            SCOPED_TRACE("seed " + std::to_string(seed) + " trial " + std::to_string(trial));

            std::size_t sampledCount = 0;
            const std::vector<double> models = sampleModel(scene.raster, scene.molaPoints, dx, dy, dz);
            for (std::size_t i = 0; i < models.size(); ++i) {
                const bool referenceHasValue = !std::isnan(referenceElevation(scene.raster, scene.molaPoints[i], dx, dy, dz));
                ASSERT_EQ(!std::isnan(models[i]), referenceHasValue) << "point " << i;
                if (referenceHasValue) ++sampledCount;
            }
            ASSERT_EQ(sums.count, expected.count);
            ASSERT_EQ(sums.count, sampledCount);
            EXPECT_TRUE(closeRelative(fast.rms, expected.rms, 1e-12)) << fast.rms << " against " << expected.rms;
            if (expected.count > 0) {
                EXPECT_NEAR(fast.mean, expected.mean, 1e-12 * expected.rms);
            }
            // Bit for bit what sampling point by point gives, and what rmsAndMean returns.
            const double sampled = sampledRms(scene.raster, scene.molaPoints, &scene.trackWeights, dx, dy, dz);
            const rmsResult plain = rmsAndMean(scene.raster, scene.molaPoints, &scene.trackWeights, dx, dy, dz);
            if (std::isnan(sampled)) {
                EXPECT_TRUE(std::isnan(fast.rms));
                EXPECT_TRUE(std::isnan(plain.rms));
            } else {
                EXPECT_EQ(fast.rms, sampled);
                EXPECT_EQ(plain.rms, sampled);
                EXPECT_EQ(plain.mean, fast.mean);
                ++scenesWithPoints;
            }
        }
    }
    EXPECT_GT(scenesWithPoints, 150);
}

TEST_P(EveryKernelPath, UnweightedErrorsAreThePlainOnes) {
    const runState scene = randomScene({25, 17, true, 0.02, 500}, 77);
    const errorEvaluator evaluator(scene.raster, scene.molaPoints, nullptr);
    const rmsResult fast = errorEvaluator::resultOf(evaluator.sums(scene.raster.transform, 0.3, -0.2, 1.5));
    EXPECT_EQ(fast.rms, sampledRms(scene.raster, scene.molaPoints, nullptr, 0.3, -0.2, 1.5));
    EXPECT_TRUE(closeRelative(fast.rms, referenceRms(scene.raster, scene.molaPoints, nullptr, 0.3, -0.2, 1.5).rms, 1e-12));
}

// A raster that does not hold all its cells gives no model elevation, and none of its cells is read.
TEST_P(EveryKernelPath, ARasterWithoutAllItsCellsMeasuresNothing) {
    runState scene = randomScene({40, 40, false, 0.0, 300}, 5);
    scene.raster.cells = std::vector<float>();
    const errorEvaluator evaluator(scene.raster, scene.molaPoints, nullptr);
    EXPECT_EQ(evaluator.sums(scene.raster.transform, 0.0, 0.0, 0.0).count, 0u);
}

TEST_P(EveryKernelPath, GivesUpOnlyOnCandidatesThatCannotBeatOrTieTheBound) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> offset(-6.0, 6.0);
    int abandoned = 0;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const runState scene = randomScene({40, 40, seed % 2 == 1, 0.01, 1500}, seed);
        const errorEvaluator evaluator(scene.raster, scene.molaPoints, &scene.trackWeights);
        for (int trial = 0; trial < 20; ++trial) {
            const double dx = offset(random), dy = offset(random);
            const double exact = errorEvaluator::resultOf(evaluator.sums(scene.raster.transform, dx, dy, 0.0)).rms;
            ASSERT_FALSE(std::isnan(exact));
            // At or above its own RMS a candidate is always measured in full.
            EXPECT_EQ(evaluator.rmsUnlessAbove(scene.raster.transform, dx, dy, 0.0, exact), exact);
            EXPECT_EQ(evaluator.rmsUnlessAbove(scene.raster.transform, dx, dy, 0.0, exact * 2.0), exact);
            for (const double bound : {std::nextafter(exact, 0.0), exact * 0.9, exact * 0.1, 0.0}) {
                const double value = evaluator.rmsUnlessAbove(scene.raster.transform, dx, dy, 0.0, bound);
                if (std::isnan(value)) ++abandoned; else EXPECT_EQ(value, exact);
            }
        }
    }
    EXPECT_GT(abandoned, 100);
}

TEST_P(EveryKernelPath, PositionsMeasuredTogetherGetTheirOwnValues) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> offset(-3.0, 3.0);
    int abandoned = 0;
    int complete = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const runState scene = randomScene({30 + seed, 28, seed % 2 == 0, 0.02, 300 + 150 * int(seed)}, seed);
        const errorEvaluator evaluator(scene.raster, scene.molaPoints, &scene.trackWeights);
        // More positions than one group holds, among them a repeated one, one
        // turned far and one with a georeference that has no area.
        std::vector<candidatePosition> positions;
        for (int k = 0; k < 19; ++k) {
            candidatePosition position{scene.raster.transform, 0.0, 0.0, 0.0};
            if (k % 5 != 0) {
                position.dx = offset(random);
                position.dy = offset(random);
                position.dz = k % 3 == 0 ? offset(random) : 0.0;
            }
            if (k == 7) {
                elevationRaster frame;
                frame.transform = scene.raster.transform;
                frame.transform = frame.transform.turnedAbout(12, 9, 4.0);
                position.transform = frame.transform;
            }
            if (k == 11) position.transform[1] = position.transform[2] = 0.0;
            positions.push_back(position);
        }
        std::vector<double> exact;
        for (const candidatePosition& p : positions)
            exact.push_back(errorEvaluator::resultOf(evaluator.sums(p.transform, p.dx, p.dy, p.dz)).rms);
        std::vector<double> sorted = exact;
        std::sort(sorted.begin(), sorted.end());
        for (const double bound : {notANumber, sorted[0], sorted[4], sorted[9], sorted[0] * 0.5}) {
            for (std::size_t count : {std::size_t(1), std::size_t(3), std::size_t(8), positions.size()}) {
                SCOPED_TRACE("seed " + std::to_string(seed) + ", bound " + std::to_string(bound) + ", " +
                             std::to_string(count) + " positions");
                std::vector<double> together(count, -1.0);
                evaluator.rmsUnlessAboveEach(positions.data(), count, bound, together.data());
                for (std::size_t k = 0; k < count; ++k) {
                    const candidatePosition& p = positions[k];
                    const double alone = evaluator.rmsUnlessAbove(p.transform, p.dx, p.dy, p.dz, bound);
                    if (std::isnan(alone)) {
                        EXPECT_TRUE(std::isnan(together[k])) << "position " << k;
                    } else {
                        EXPECT_EQ(together[k], alone) << "position " << k;
                    }
                    if (std::isnan(together[k])) {
                        // Given up only when the complete value is above the bound (or there is none).
                        if (!std::isnan(exact[k])) {
                            EXPECT_GT(exact[k], bound) << "position " << k;
                            ++abandoned;
                        }
                    } else {
                        EXPECT_EQ(together[k], exact[k]) << "position " << k;
                        ++complete;
                    }
                }
            }
        }
    }
    EXPECT_GT(abandoned, 200);
    EXPECT_GT(complete, 200);
}

TEST_P(EveryKernelPath, ShotsThatNoCandidateCanCountAreLeftOutWithoutChangingAnySum) {
    std::mt19937 random(23);
    for (unsigned seed = 1; seed <= 6; ++seed) {
        runState scene = randomScene({40, 36, seed % 2 == 0, 0.0, 800}, seed);
        elevationRaster& raster = scene.raster;
        for (std::uint32_t r = 8; r < 24; ++r)
            for (std::uint32_t c = 10; c < 30; ++c) raster.cell(c, r) = std::nanf("");
        for (int i = 0; i < 200; ++i) {  // half far outside, half over the hole
            const double column = i % 2 == 0 ? -60.0 + i % 7 : 14.0 + i % 11, row = 15.0 + i % 3;
            scene.molaPoints.push_back({i % 5, raster.nodeX(column, row), raster.nodeY(column, row), 300.0});
        }
        const bool turning = seed > 3;
        const double scale = std::fabs(raster.transform[1]) + std::fabs(raster.transform[2]);
        const searchReach reach{raster.transform, turning ? 0.0 : 0.5 * scale, turning ? 3.0 : 0.0};
        const errorEvaluator all(raster, scene.molaPoints, &scene.trackWeights);
        const errorEvaluator reachable(raster, scene.molaPoints, &scene.trackWeights, &reach);
        // Far outside for every candidate; over the hole only where the kernel has node planes to tell.
        const std::size_t leftOut = GetParam().first == kernelPath::portable || GetParam().second || turning ? 100 : 150;
        EXPECT_LE(reachable.pointCount() + leftOut, all.pointCount()) << "seed " << seed;
        std::uniform_real_distribution<double> within(-1.0, 1.0);
        for (int trial = 0; trial < 30; ++trial) {
            elevationRaster frame;
            frame.transform = raster.transform;
            if (turning) frame.transform = frame.transform.turnedAbout(int(random() % 40), int(random() % 36), 3.0 * within(random));
            const double dx = reach.shift * within(random), dy = reach.shift * within(random);
            const errorSums expected = all.sums(frame.transform, dx, dy, 0.0), left = reachable.sums(frame.transform, dx, dy, 0.0);
            EXPECT_TRUE(left.count == expected.count && left.sumOfSquares == expected.sumOfSquares && left.sum == expected.sum);
        }
    }
}

// ---------------------------------------------------------------- the searches

struct stageRun {
    std::string console;
    geoTransform transform;
    std::vector<tiePoint> ties;
    double best;
};

runState searchScene(unsigned seed, bool turned, bool flat) {
    runState scene = randomScene({36, 30, turned, 0.01, 400}, seed);
    if (flat) std::fill(scene.raster.cells.begin(), scene.raster.cells.end(), 300.0f);
    // Points that fit the raster moved a little, so that the searches find something.
    const std::vector<double> shifted =
        sampleModel(scene.raster, scene.molaPoints, scene.raster.transform[1] * 1.6, scene.raster.transform[5] * -0.8, 0.0);
    for (std::size_t i = 0; i < shifted.size(); ++i)
        if (!std::isnan(shifted[i])) scene.molaPoints[i].elevation = shifted[i] + 0.01 * double(i % 7);
    for (int i = 0; i < 4; ++i) {
        tiePoint tie;
        tie.idIndex = i;
        tie.x = scene.raster.nodeX(3.0 + 7 * i, 2.0 + 5 * i);
        tie.y = scene.raster.nodeY(3.0 + 7 * i, 2.0 + 5 * i);
        tie.elevation = 1.0;
        scene.tiePoints.push_back(tie);
    }
    scene.debug = true;
    return scene;
}

double rmsOf(const runState& scene) {
    return rmsAndMean(scene.raster, scene.molaPoints, &scene.trackWeights, 0.0, 0.0, 0.0).rms;
}

template <typename stage>
stageRun runStage(runState scene, int threads, stage&& run) {
    stageRun result;
    std::ostringstream console;
    scene.threadCount = threads;
    alignmentModel model(console, std::move(scene));
    result.best = run(model);
    result.console = console.str();
    result.transform = model.state().raster.transform;
    result.ties = model.state().tiePoints;
    return result;
}

void expectSameRun(const stageRun& run, const stageRun& expected) {
    EXPECT_EQ(run.console, expected.console);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(run.transform[i], expected.transform[i]) << "coefficient " << i;
    ASSERT_EQ(run.ties.size(), expected.ties.size());
    for (std::size_t i = 0; i < run.ties.size(); ++i) {
        EXPECT_EQ(run.ties[i].x, expected.ties[i].x);
        EXPECT_EQ(run.ties[i].y, expected.ties[i].y);
    }
    if (std::isnan(expected.best)) EXPECT_TRUE(std::isnan(run.best)); else EXPECT_EQ(run.best, expected.best);
}

// Grids of cells and grids of a fiftieth of a cell, where most shots keep
// their node and a search without debug lines bounds every offset first.
TEST(FastSearches, TranslationDecidesAsTheOneByOneScanForEveryThreadCount) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const double cells = seed > 6 ? 0.02 : 4.0;
        runState scene = searchScene(seed, seed % 2 == 0, seed % 6 == 3);
        scene.debug = seed % 3 != 1;
        const double incoming = rmsOf(scene);
        const double padding = cells * std::fabs(scene.raster.transform[1]);
        const double delta = padding / 12.0;
        const stageRun expected = runStage(scene, 1, [&](alignmentModel& model) {
            return testing::plainTranslationStage(model, incoming, padding, delta, sampledRms);
        });
        if (cells > 1.0) {
            EXPECT_EQ(expected.console.find("New Lowest RMS") != std::string::npos, scene.debug);
        }
        for (int threads : {1, 2, 3}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", threads " + std::to_string(threads));
            const std::uint64_t before = shotEvaluationsSoFar();
            const stageRun run = runStage(scene, threads, [&](alignmentModel& model) {
                return translationStage(model, incoming, padding, delta).rms;
            });
            expectSameRun(run, expected);
            if (!scene.debug && cells < 1.0) {
                EXPECT_LT(shotEvaluationsSoFar() - before, 625u * 400u);
            }
        }
    }
}

TEST(FastSearches, TranslationScanLongerThanOneBatchKeepsItsOrder) {
    const runState scene = searchScene(9, true, false);
    const double padding = 3.0 * std::fabs(scene.raster.transform[1]);
    const double delta = padding / 50.0;  // 101 x 101 offsets
    const stageRun expected = runStage(scene, 1, [&](alignmentModel& model) {
        return testing::plainTranslationStage(model, 1e9, padding, delta, sampledRms);
    });
    for (int threads : {1, 2, 3}) {
        const stageRun run = runStage(scene, threads, [&](alignmentModel& model) {
            return translationStage(model, 1e9, padding, delta).rms;
        });
        expectSameRun(run, expected);
    }
}

TEST(FastSearches, RotationDecidesAsTheOneByOneScanForEveryThreadCount) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        // Seed 3 has a flat raster: every trial ties and the region list fills up.
        const runState scene = searchScene(seed, seed % 2 == 0, seed == 3);
        const double incoming = rmsOf(scene);
        const stageRun expected = runStage(scene, 1, [&](alignmentModel& model) {
            return testing::plainRotationStage(model, incoming, -5.0, 5.0, 0.1, sampledRms);
        });
        for (int threads : {1, 2, 3}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", threads " + std::to_string(threads));
            const stageRun run = runStage(scene, threads, [&](alignmentModel& model) {
                return rotationStage(model, incoming, -5.0, 5.0, 0.1).rms;
            });
            expectSameRun(run, expected);
        }
    }
}

TEST(FastSearches, RotationWithTrialsThatRepeatAGeoreferenceDecidesAsTheOneByOneScan) {
    // The angles from -5 by 0.1 pass within a rounding of zero, where every
    // pivot gives back the unturned georeference, so trials of one stage share
    // georeferences within a batch and across passes. A flat raster makes the
    // unturned position tie the best, so the regions multiply.
    for (const bool flat : {false, true}) {
        runState scene = searchScene(5, false, flat);
        // Coefficients in halves make the turn by a rounding of zero exact.
        const geoTransform unturned = scene.raster.transform;
        scene.raster.transform = {-128.0, 0.5, 0.0, 480.0, 0.0, -0.5};
        const auto moveOnto = [&](double& x, double& y) {
            const double column = (x - unturned[0]) / unturned[1];
            const double row = (y - unturned[3]) / unturned[5];
            x = scene.raster.nodeX(column, row);
            y = scene.raster.nodeY(column, row);
        };
        for (molaPoint& point : scene.molaPoints) moveOnto(point.x, point.y);
        for (tiePoint& tie : scene.tiePoints) moveOnto(tie.x, tie.y);
        double nearZero = -5.0;
        for (int i = 0; i < 50; ++i) nearZero += 0.1;
        elevationRaster turned;
        turned.transform = scene.raster.transform;
        turned.transform = turned.transform.turnedAbout(17, 14, nearZero);
        ASSERT_EQ(turned.transform, scene.raster.transform);
        turned.transform = turned.transform.turnedAbout(8, 22, nearZero);
        ASSERT_EQ(turned.transform, scene.raster.transform);
        const double incoming = rmsOf(scene);
        const stageRun expected = runStage(scene, 1, [&](alignmentModel& model) {
            return testing::plainRotationStage(model, incoming, -5.0, 5.0, 0.1, sampledRms);
        });
        for (int threads : {1, 2, 3}) {
            SCOPED_TRACE(std::string(flat ? "flat" : "sloped") + ", threads " + std::to_string(threads));
            const stageRun run = runStage(scene, threads, [&](alignmentModel& model) {
                return rotationStage(model, incoming, -5.0, 5.0, 0.1).rms;
            });
            expectSameRun(run, expected);
        }
    }
}

// Runs of no candidates would never end: a run is at least one candidate long.
TEST(FastSearches, CandidateRunsAreAtLeastOneLong) {
    const runMeasure index = [](std::size_t first, std::size_t end, double, double* values) {
        for (std::size_t k = first; k < end; ++k) values[k - first] = double(k);
    };
    EXPECT_EQ(measureCandidateRuns(5, 0, 2, HUGE_VAL, index), (std::vector<double>{0, 1, 2, 3, 4}));
}

TEST(FastSearches, IncomingRmsThatIsNotANumberIsNeverBeatenOnAnyThreadCount) {
    runState scene = searchScene(4, false, false);
    scene.debug = false;
    for (int threads : {1, 2}) {
        scene.threadCount = threads;
        std::ostringstream console;
        alignmentModel model(console, scene);
        EXPECT_TRUE(std::isnan(translationStage(model, notANumber, 2.0, 0.5).rms));
        EXPECT_TRUE(std::isnan(rotationStage(model, notANumber, -1.0, 1.0, 0.5).rms));
        EXPECT_EQ(console.str(), "x-translation: 0\ny-translation: 0\nNo Rotation Found\n");
    }
}

// Track 0 has weight 1: a shot of a track without a weight counts as it does.
TEST(FastSearches, TrackWithoutAWeightCountsInFull) {
    runState scene = searchScene(2, false, false);
    scene.debug = false;
    scene.threadCount = 2;
    scene.molaPoints.front().trackIndex = 0;
    scene.molaPoints.front().x = scene.raster.nodeX(10.0, 10.0);
    scene.molaPoints.front().y = scene.raster.nodeY(10.0, 10.0);
    alignmentModel model(testing::discardedConsole(), scene);
    scene.molaPoints.front().trackIndex = 9;
    alignmentModel unweighted(testing::discardedConsole(), scene);
    EXPECT_EQ(translationStage(unweighted, 1.0, 1.0, 0.5).rms, translationStage(model, 1.0, 1.0, 0.5).rms);
    EXPECT_EQ(rotationStage(unweighted, 1.0, -1.0, 1.0, 0.5).rms,
              rotationStage(model, 1.0, -1.0, 1.0, 0.5).rms);
}

// ---------------------------------------------------------------- the readers

TEST(FastConversions, GiveTheValuesOfTheCLibrary) {
    for (const char* text : {"12", " -7.25e3x", "+5", "0x1p3", "-0x10", "1e", "1e-400", "-1e-320", "4.9e-324", "-0",
                             "0.000", "007", ".5", "5.", "--5", "1e400", "inf", "-nan", "99999999999", "-2147483648",
                             "2147483648", "\t3.25E-2,", "", "abc", "1.7976931348623157e308", "2.2250738585072014e-308"}) {
        SCOPED_TRACE(text);
        char *end = nullptr, *wholeEnd = nullptr;
        errno = 0;
        const double value = std::strtod(text, &end);
        const bool converts = end != text && !(errno == ERANGE && std::isinf(value));
        errno = 0;
        const long whole = std::strtol(text, &wholeEnd, 10);
        const bool fits = wholeEnd != text && errno != ERANGE && whole >= INT32_MIN && whole <= INT32_MAX;
        // Compared bit for bit, with every NaN alike.
        const double fast = leadingDouble(text).value_or(-1.0), expected = converts ? value : -1.0;
        EXPECT_TRUE(std::memcmp(&fast, &expected, sizeof fast) == 0 || (std::isnan(fast) && std::isnan(expected)));
        EXPECT_EQ(leadingInt32(text), fits ? std::optional<std::int32_t>(std::int32_t(whole)) : std::nullopt);
    }
}

}  // namespace
}  // namespace kalvex
