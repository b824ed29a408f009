// The robust alignment: its measure, its searches, its judgement of tracks,
// and a whole run on a generated scene with bad tracks and gross errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/robustMode.h"
#include "model/evaluation/pointError.h"
#include "model/raster/georeferenceMotion.h"
#include "model/robust/robustSearch.h"
#include "model/robust/robustStages.h"
#include "model/robust/trackJudgement.h"
#include "readers/pointFilter.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

// Shots on 8 tracks about node (30, 30) of a 60 x 60 raster of unit cells,
// measuring it moved by (dx, dy) and turned by angle about that node, plus a
// tilted plane; track 7 is 40 m off and one shot 300 m.
alignmentModel shiftedScene(double dx, double dy, double angle = 0.0) {
    runState scene;
    scene.raster = testing::makeRaster(60, 60, {1000.0, 1.0, 0.0, 2000.0, 0.0, -1.0}, [](int c, int r) {
        return 40.0 * std::sin(c * 0.21) * std::cos(r * 0.17) + 15.0 * std::sin((c + 2 * r) * 0.11);
    });
    for (int i = 0; i < 800; ++i)
        scene.molaPoints.push_back({i % 8, 1030.0 + (i % 8 - 3.5) * 5.3 + 0.01 * (i / 8 - 49.5), 1990.0 - 0.4 * (i / 8), 0.0});
    const robustShots turned = turnedShots(countedShots(scene.molaPoints, {1, 1, 1, 1, 1, 1, 1, 1}, 1.0), -angle,
                                           scene.raster.nodeX(30, 30), scene.raster.nodeY(30, 30));
    std::vector<molaPoint> measured = scene.molaPoints;
    for (std::size_t i = 0; i < measured.size(); ++i) measured[i].x = turned.x[i], measured[i].y = turned.y[i];
    const std::vector<double> model0 = sampleModel(scene.raster, measured, dx, dy, 0.0);
    for (std::size_t i = 0; i < scene.molaPoints.size(); ++i) {
        molaPoint& shot = scene.molaPoints[i];
        shot.elevation = model0[i] + 0.3 * (shot.x - 1030.0) - 0.2 * (shot.y - 1970.0) + 8.0 +
                         (shot.trackIndex == 7 ? 40.0 : 0.0) + (i == 100 ? 300.0 : 0.0);
    }
    scene.trackWeights = trackWeightList::fullWeights(8);
    scene.orbits = {1, 2, 3, 4, 5, 6, 7, 8};
    scene.notReady = false;
    return alignmentModel(testing::discardedConsole(), std::move(scene));
}

TEST(RobustMeasure, TakesOutItsOwnPlaneAndIgnoresABadTrackAndAGrossError) {
    const alignmentModel model = shiftedScene(2.0, -1.0);
    const runState& scene = model.state();
    const robustShots shots = countedShots(scene.molaPoints, scene.trackWeights, unjudgedShare);
    EXPECT_LT(measureRobustly(scene.raster, shots, 2.0, -1.0).rms, 1e-6);
    EXPECT_GT(measureRobustly(scene.raster, shots, 2.5, -1.0).rms, 0.5);
    EXPECT_GT(measureRobustly(scene.raster, shots, 0.0, 0.0).rms, 5.0);
}

// Shots along a diagonal line, off it by a few millionths of their spread, fix no slope across it: the measure takes
// out their level, not a plane that the jitter would tilt until it fits the slope along the line.
TEST(RobustMeasure, ShotsAlongALineLoseOnlyTheirLevel) {
    std::vector<molaPoint> points;
    for (int i = 0; i < 100; ++i)
        points.push_back({0, 5.0 + 0.3 * i, 5.0 + 0.3 * i + (i % 2 ? 3e-5 : -3e-5), 0.15 * i});
    const elevationRaster flat =
        testing::makeRaster(40, 40, {0.0, 1.0, 0.0, 40.0, 0.0, -1.0}, [](int, int) { return 0.0; });
    const robustShots shots = countedShots(points, trackWeightList::fullWeights(1), unjudgedShare);
    EXPECT_GT(measureRobustly(flat, shots, 0.0, 0.0).rms, 1.0);
}

TEST(RobustSearch, FindsAShiftWithinAOneTwentiethCellGridEvenBeyondItsFirstRange) {
    struct shiftCase { double dx, dy, reach; };
    for (const shiftCase& c : {shiftCase{3.3, -2.6, 6.0}, {-4.45, 1.15, 2.0}, {0.0, 0.0, 6.0}}) {
        const alignmentModel model = shiftedScene(c.dx, c.dy);
        const robustShots shots = countedShots(model.state().molaPoints, model.state().trackWeights, unjudgedShare);
        const offsetFound found = searchRobustOffset(model.searchSubject(), shots, c.reach);
        EXPECT_NEAR(found.dx, c.dx, 0.025) << c.dx << " " << c.reach;
        EXPECT_NEAR(found.dy, c.dy, 0.025) << c.dy << " " << c.reach;
    }
}

// The refinement that ends a search takes the place of a grid of a twentieth
// of a cell on every shot and the quadratic through it: on generated scenes
// with noise, bad tracks and gross errors both end at the same position.
TEST(RobustSearch, TheRefinementEndsWithinAHundredthOfACellOfAGridOnEveryShot) {
    const std::vector<std::vector<std::string>> scenes{
        {"--width", "200", "--height", "200", "--points", "1500", "--tracks", "10", "--shift", "1", "1", "--bad-tracks", "1",
         "--seed", "11"},
        {"--width", "300", "--height", "250", "--shift", "-4", "2", "--bad-offset", "50", "--seed", "12"}};
    for (const std::vector<std::string>& scene : scenes) {
        testing::scratchFolder folder("refinement");
        ASSERT_EQ(testing::makeSceneIn(folder.path(), scene).status, 0);
        alignmentModel model(testing::discardedConsole());
        std::vector<pointFilter> filters;
        ASSERT_TRUE(model.readRaster(folder.file("dem.tif"), -32767.0));
        ASSERT_TRUE(model.readTracksInBox(folder.file("tracks.csv"), filters, 0.0));
        const runState& state = model.state();
        const robustShots shots = countedShots(state.molaPoints, state.trackWeights, unjudgedShare);
        const double cell = state.raster.transform[1], reach = 6.0;
        const offsetFound refined = searchRobustOffset(model.searchSubject(), shots, reach);
        const gridMeasure everyShot = [&](const std::vector<gridCandidate>& candidates, bool) {
            std::vector<double> values;
            for (const gridCandidate& c : candidates)
                values.push_back(measureRobustly(state.raster, shots, c.first * cell, c.second * cell).rms);
            return values;
        };
        const searchOutcome gridded = searchCoarseToFine(everyShot, {true, reach, reach, 0.75, 0.05, {}, {}});
        EXPECT_NEAR(refined.dx / cell, gridded.best.first, 0.01) << scene.back();
        EXPECT_NEAR(refined.dy / cell, gridded.best.second, 0.01) << scene.back();
    }
}

// Moved as far as it may go, a grid whose lowest value is still on its edge ends there: beyond the edge there is no
// value to fit a vertex to.
TEST(RobustSearch, AGridThatCannotReachTheLowestValueEndsOnItsEdge) {
    for (const gridCandidate& lowest : {gridCandidate{0.0, 100.0}, {100.0, 0.0}, {-100.0, 0.0}}) {
        const auto bowl = [&](const std::vector<gridCandidate>& candidates, bool) {
            std::vector<double> values;
            for (const gridCandidate& c : candidates)
                values.push_back((c.first - lowest.first) * (c.first - lowest.first) +
                                 (c.second - lowest.second) * (c.second - lowest.second));
            return values;
        };
        const searchOutcome outcome = searchCoarseToFine(bowl, {true, 0.1, 0.1, 0.05, 0.05, {}, {}});
        EXPECT_NEAR(outcome.best.first, 0.026 * lowest.first, 1e-9) << lowest.first;
        EXPECT_NEAR(outcome.best.second, 0.026 * lowest.second, 1e-9) << lowest.second;
    }
}

// Without a refinement, the finest grid ends at the lowest point of the quadratic through its values about the best:
// on a bowl, along one axis or two, exactly where the bowl is lowest.
TEST(RobustSearch, WithoutARefinementEndsAtTheVertexOfTheFinestGrid) {
    const gridCandidate lowest{0.123, -0.456};
    const auto bowl = [&](const std::vector<gridCandidate>& candidates, bool) {
        std::vector<double> values;
        for (const gridCandidate& c : candidates)
            values.push_back(std::pow(c.first - lowest.first, 2) + 2.0 * std::pow(c.second - lowest.second, 2));
        return values;
    };
    for (const bool twoAxes : {false, true}) {
        const searchOutcome outcome = searchCoarseToFine(bowl, {twoAxes, 1.0, twoAxes ? 1.0 : 0.0, 0.2, 0.05, {}, {}});
        EXPECT_NEAR(outcome.best.first, lowest.first, 1e-9) << twoAxes;
        EXPECT_NEAR(outcome.best.second, twoAxes ? lowest.second : 0.0, 1e-9) << twoAxes;
    }
}

// The rounds find a turn, also one too slight to lower the measure by much without noise, and keep none where there
// is none; the turn and the translation at the raster's centre come out as the scene was turned and moved.
TEST(RobustRounds, FindATurnAndKeepNoneWhereThereIsNone) {
    struct turnCase { double angle, dx, dy; };
    for (const turnCase& c : {turnCase{0.6, 0.0, 0.0}, {2.0, 0.0, 0.0}, {0.03, 0.0, 0.0}, {0.0, 2.3, -1.4}}) {
        alignmentModel model = shiftedScene(c.dx, c.dy, c.angle);
        const geoTransform read = model.state().raster.transform;
        runSettings settings;
        settings.padding = 6.0;
        const alignmentRecord record = runRobustAlignment(model, settings);
        const georeferenceMotion motion = motionBetween(read, model.state().raster.transform, 60, 60);
        EXPECT_NEAR(motion.rotationDegrees, c.angle, 0.003) << c.angle;
        EXPECT_NEAR(motion.columns, c.dx, 0.03) << c.angle;
        EXPECT_NEAR(motion.rows, -c.dy, 0.03) << c.angle;
        EXPECT_TRUE(record.converged);
    }
}

// Candidates are compared on the shots that have a model elevation at all of them: a shot that a move of two cells
// would bring within a cell of the raster's edge or of a no-data cell is left out, and so is every shot of a grid
// whose box spans more nodes than are worth searching.
TEST(RobustMeasure, ComparesCandidatesOnTheShotsModelledThroughout) {
    elevationRaster raster = testing::makeRaster(40, 40, {0.0, 1.0, 0.0, 40.0, 0.0, -1.0}, [](int c, int r) {
        return c >= 20 && c < 24 && r >= 10 && r < 14 ? notANumber : std::sin(0.3 * c) + r;
    });
    std::vector<molaPoint> points;
    for (const double column : {3.0, 2.0, 16.5, 25.5, 26.0, 27.0, 36.0, 37.0}) points.push_back({0, column, 28.0, 0.0});
    const robustShots shots = countedShots(points, trackWeightList{1.0}, 1.0);
    const robustPlacement placement(raster, shots);
    const std::vector<cellMap> twoCellsEachWay{placement.translationMap(-2.0, 0.0), placement.translationMap(2.0, 0.0)};
    EXPECT_EQ(placement.modelledThroughout(twoCellsEachWay, 0.0), (std::vector<std::size_t>{0, 5, 6}));
    const std::vector<cellMap> acrossTheRaster{placement.translationMap(-40, -40), placement.translationMap(40, 40)};
    EXPECT_EQ(placement.modelledThroughout(acrossTheRaster, 0.0), std::vector<std::size_t>{});
}

// Shots along a track ask about nearly the same box one after another, and a box found modelled is kept: along
// tracks that pass by scattered cells without data, every shot is told as a look at its own box tells it.
TEST(RobustMeasure, ShotsAlongATrackAreToldAsTheirOwnBoxesTellThem) {
    const auto noData = [](int c, int r) { return (c * 7 + r * 13) % 97 == 0 || (c >= 30 && c < 33 && r == 20); };
    elevationRaster raster = testing::makeRaster(60, 60, {0.0, 1.0, 0.0, 60.0, 0.0, -1.0},
                                                 [&](int c, int r) { return noData(c, r) ? notANumber : 0.01 * c * r; });
    std::vector<molaPoint> points;
    for (int k = 0; k < 400; ++k) points.push_back({0, 1.0 + 0.14 * k, 59.0 - 0.13 * k - 0.002 * k * k / 4, 0.0});
    const robustShots shots = countedShots(points, trackWeightList{1.0}, 1.0);
    const robustPlacement placement(raster, shots);
    const std::vector<cellMap> oneCellEachWay{placement.translationMap(-1.0, 0.0), placement.translationMap(1.0, 0.0)};
    std::vector<std::size_t> lookedAt;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int column = int(std::floor(points[i].x + 0.5)), row = int(std::floor(60.0 - points[i].y + 0.5));
        bool modelled = column - 1 >= 1 && column + 1 <= 58 && row >= 1 && row <= 58;
        for (int c = column - 2; modelled && c <= column + 2; ++c)
            for (int r = row - 1; r <= row + 1; ++r) modelled = modelled && !noData(c, r);
        if (modelled) lookedAt.push_back(i);
    }
    ASSERT_GT(lookedAt.size(), 100u);
    ASSERT_LT(lookedAt.size(), 390u);
    EXPECT_EQ(placement.modelledThroughout(oneCellEachWay, 0.0), lookedAt);
}

// The probe after the stages searches from where the raster was read, as the robust alignment would: it finds the
// clearly better position the shots give when the raster was left short of it, and none when it is there.
TEST(RobustProbe, FindsAClearlyBetterPositionOnlyWhereThereIsOne) {
    for (const double shift : {0.0, 3.3}) {
        const alignmentModel model = shiftedScene(shift, -0.8 * shift);
        const robustShots shots = countedShots(model.state().molaPoints, model.state().trackWeights, unjudgedShare);
        const probeFound probe = probeRobustly(model.searchSubject(), shots, 6.0, 0.0, 0.0);
        EXPECT_NEAR(probe.cells, std::hypot(shift, 0.8 * shift), 0.05) << shift;
        EXPECT_EQ(probe.there < 0.8 * probe.here, shift > 0.0) << probe.there << " " << probe.here;
    }
}

TEST(TrackJudgement, SilencesATrackFarOffTheOthersAndRemovesShotsFarOffTheRest) {
    std::vector<std::int32_t> tracks;
    std::vector<double> residuals;
    for (int i = 0; i < 400; ++i) {
        tracks.push_back(i % 5);
        residuals.push_back(std::sin(i * 1.7) + (i % 5 == 3 ? 12.0 : 0.0) + (i == 42 ? 9.0 : 0.0));
    }
    residuals[7] = notANumber;
    // Shots are judged against the middle of the others, wherever it lies; a track that no longer counts (all its
    // residuals NaN) is no track at all.
    for (const auto& [offset, uncounted] : {std::pair{0.0, -1}, std::pair{50.0, -1}, std::pair{0.0, 4}}) {
        std::vector<double> moved = residuals;
        for (std::size_t i = 0; i < moved.size(); ++i)
            moved[i] = tracks[i] == uncounted ? notANumber : moved[i] + offset;
        const judgement verdict = judgeTracks(tracks, moved);
        EXPECT_EQ(verdict.silencedTracks, std::vector<std::size_t>{3}) << offset;
        EXPECT_EQ(verdict.outliers, std::vector<std::size_t>{42}) << offset;
    }
}

// Four tracks at -1, 0 and 1 give a robust deviation of 1.4826; the fifth, all at d, lies more than four of them
// (5.9304) off the middle of the tracks or not.
TEST(TrackJudgement, ATrackIsSilencedJustBeyondFourRobustDeviations) {
    for (const auto& [offset, silenced] : {std::pair{5.95, true}, std::pair{5.91, false}}) {
        std::vector<std::int32_t> tracks;
        std::vector<double> residuals;
        for (int i = 0; i < 15; ++i) tracks.push_back(i / 3), residuals.push_back(i < 12 ? i % 3 - 1.0 : offset);
        EXPECT_EQ(judgeTracks(tracks, residuals).silencedTracks.size(), silenced ? 1u : 0u) << offset;
    }
}

std::vector<std::string> fieldsOf(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::istringstream words(line);
    for (std::string field; std::getline(words, field, separator);) fields.push_back(field);
    return fields;
}

TEST(RobustRun, AlignsASceneAndSilencesItsBadTracksEvenBelowTheOutlierThresholdAndRemovesItsGrossErrors) {
    const testing::scratchFolder folder("robustrun");
    ASSERT_EQ(testing::makeSceneIn(folder.path(), {"--width", "150", "--height", "150", "--points", "1500", "--shift",
                                                   "4", "-3", "--bad-offset", "8", "--seed", "9"}).status, 0);
    const testing::commandResult run = testing::runProgram(
        {testing::kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf", "-robust", "-od", "-oe"}, folder.path());
    ASSERT_EQ(run.status, 0) << run.standardOutput;
    EXPECT_EQ(run.standardOutput.find("Robust Round: 8"), std::string::npos);  // it settles well before its last round
    std::map<std::string, std::string> truth;
    for (const std::string& line : fieldsOf(testing::readTextFile(folder.file("truth.txt")), '\n'))
        if (line[0] != '#') truth[line.substr(0, line.find(" = "))] = line.substr(line.find(" = ") + 3);
    const std::vector<std::string> trueTransform = fieldsOf(truth["true_geotransform"], ' ');
    elevationRaster aligned;
    aligned.reset(folder.file("dem_aligned.tif"));
    ASSERT_TRUE(aligned.read(testing::discardedConsole()));
    EXPECT_NEAR(aligned.gdalTransform()[0], std::stod(trueTransform[0]), 0.05 * std::stod(trueTransform[1]));
    EXPECT_NEAR(aligned.gdalTransform()[3], std::stod(trueTransform[3]), 0.05 * std::stod(trueTransform[1]));

    // Gross errors are told by their elevations; a few shots where the cells cannot follow the terrain may go too.
    const std::vector<std::string> tracks = fieldsOf(testing::readTextFile(folder.file("tracks.csv")), '\n');
    std::vector<double> gross;
    for (const std::string& row : fieldsOf(truth["outlier_rows"], ' '))
        gross.push_back(std::stod(fieldsOf(tracks[std::stoul(row) + 1], ',')[2]));
    const std::vector<std::string> table = fieldsOf(testing::readTextFile(folder.file("dem_errors.csv")), '\n');
    std::size_t removed = 0, grossRemoved = 0;
    for (std::size_t row = 1; row < table.size(); ++row) {
        const std::vector<std::string> fields = fieldsOf(table[row], ',');  // orbit, x, y, elevation, ..., weight, removed
        const bool bad = (" " + truth["bad_tracks"] + " ").find(" " + fields[0] + " ") != std::string::npos;
        EXPECT_EQ(fields[6], bad ? "0" : "1") << table[row];
        removed += fields[7] == "1";
        grossRemoved += fields[7] == "1" && std::count(gross.begin(), gross.end(), std::stod(fields[3])) == 1;
    }
    EXPECT_EQ(grossRemoved, gross.size());
    EXPECT_LE(removed, gross.size() + tracks.size() / 100);
}

}  // namespace
}  // namespace kalvex
