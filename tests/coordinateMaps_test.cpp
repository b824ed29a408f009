#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "model/alignmentModel.h"
#include "output/scriptText.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

// A 3 x 3 north-up raster read with its nodes from (100, 200) to (102, 198),
// and one tie point that has not moved yet.
alignmentModel tinyScene() {
    alignmentModel model;
    model.raster.width = 3;
    model.raster.height = 3;
    model.raster.transform = {100, 1, 0, 200, 0, -1};
    model.corners = {cornerRecord{0, 100, 200, 1}, cornerRecord{2, 102, 200, 2}, cornerRecord{6, 100, 198, 3},
                     cornerRecord{8, 102, 198, 4}};
    model.tiePointIds = {"t1"};
    model.initialTiePoints = {{0, 100.5, 199.5, 10}};
    model.tiePoints = model.initialTiePoints;
    model.notReady = false;
    return model;
}

const std::string coordinateMapOpening =
    "set term png size 1250,750\n"
    "set output 'dem_Coord_Map.png'\n"
    "unset key\n"
    "set title 'Tie Coordinate Map'\n"
    "set origin .05,0\n"
    "set size .95, 1\n"
    "set object circle at screen 0.02,0.52 radius char 0.5 fillstyle solid fillcolor rgb '#0000ff'\n"
    "set label 1 'Initial' at screen 0.03,0.52\n"
    "set object circle at screen 0.02,0.48 radius char 0.5 fillstyle solid fillcolor rgb '#bb0000'\n"
    "set label 2 'Final' at screen 0.03,0.48\n";

const std::string initialOutline =
    "set arrow 1 from 100,200 to 100,198 nohead lc rgb '#0000ff'\n"
    "set arrow 2 from 100,200 to 102,200 nohead lc rgb '#0000ff'\n"
    "set arrow 3 from 100,198 to 102,198 nohead lc rgb '#0000ff'\n"
    "set arrow 4 from 102,200 to 102,198 nohead lc rgb '#0000ff'\n";

const std::string plotLine = "plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable\n";

std::string coordinateMapOf(const alignmentModel& model) {
    std::ostringstream script;
    model.writeCoordinateMap(script, "dem_Coord_Map.png");
    return script.str();
}

TEST(coordinateMap, runThatMovedNothing) {
    const alignmentModel model = tinyScene();
    EXPECT_EQ(coordinateMapOf(model), coordinateMapOpening +
                                          "set xrange [99.9:102.1]\n"
                                          "set yrange [197.9:200.1]\n" +
                                          initialOutline +
                                          "set arrow 5 from 100,200 to 100,198 nohead lc rgb '#bb0000'\n"
                                          "set arrow 6 from 100,200 to 102,200 nohead lc rgb '#bb0000'\n"
                                          "set arrow 7 from 100,198 to 102,198 nohead lc rgb '#bb0000'\n"
                                          "set arrow 8 from 102,200 to 102,198 nohead lc rgb '#bb0000'\n" +
                                          plotLine +
                                          "100.5 199.5 0x0000ff\n"
                                          "100.5 199.5 0xbb0000\n"
                                          "e\n"
                                          "reset\n");
}

// The ranges hold every corner of both outlines and every tie point, grown by
// a twentieth of the raster's larger extent (0.1); a y axis drawn reversed
// on the error map is reversed here too.
TEST(coordinateMap, rangesHoldBothOutlinesAndEveryTiePoint) {
    const std::array<cornerRecord, 4> leftLeaning{
        {{0, 99, 200.5, 0}, {2, 101, 201, 0}, {6, 100, 198, 0}, {8, 102, 197.5, 0}}};
    const std::array<cornerRecord, 4> rightLeaning{
        {{0, 101, 200, 0}, {2, 103, 201, 0}, {6, 99, 197, 0}, {8, 104, 196, 0}}};
    const std::array<cornerRecord, 4> straight = tinyScene().corners;
    const tiePoint unmoved = tinyScene().tiePoints[0];
    struct row { geoTransform transform; std::array<cornerRecord, 4> corners; tiePoint moved; std::string expected; };
    const std::vector<row> rows{
        {{99.5, 1, 0, 199.75, 0, -1}, straight, {0, 100, 199.25, 10.5},
         "set xrange [99.4:102.1]\nset yrange [197.65:200.1]\n" + initialOutline +
             "set arrow 5 from 99.5,199.75 to 99.5,197.75 nohead lc rgb '#bb0000'\n"
             "set arrow 6 from 99.5,199.75 to 101.5,199.75 nohead lc rgb '#bb0000'\n"
             "set arrow 7 from 99.5,197.75 to 101.5,197.75 nohead lc rgb '#bb0000'\n"
             "set arrow 8 from 101.5,199.75 to 101.5,197.75 nohead lc rgb '#bb0000'\n" +
             plotLine + "100.5 199.5 0x0000ff\n100 199.25 0xbb0000\n"},
        {{100.25, 1, 0, 200.5, 0, -1}, straight, unmoved, "set xrange [99.9:102.35]\nset yrange [197.9:200.6]\n"},
        {{100, 1, 0, 200, 0, -1}, leftLeaning, unmoved, "set xrange [98.9:102.1]\nset yrange [197.4:201.1]\n"},
        {{98, 1, 0, 200, 0, -1}, leftLeaning, unmoved, "set xrange [97.9:102.1]\nset yrange [197.4:201.1]\n"},
        {{98, 1, 0, 200, 0, -1}, rightLeaning, unmoved, "set xrange [97.9:104.1]\nset yrange [195.9:201.1]\n"},
        {{101, 1, 0, 200.5, 0, -1}, rightLeaning, unmoved, "set xrange [98.9:104.1]\nset yrange [195.9:201.1]\n"},
        {{100, 1, 0, 200, 0, -1}, straight, {0, 105, 196.5, 10}, "set xrange [99.9:105.1]\nset yrange [196.4:200.1]\n"},
        {{100, 1, 0, 198, 0, 1}, straight, unmoved, "set xrange [99.9:102.1]\nset yrange [200.1:197.9]\n"}};
    for (const row& test : rows) {
        alignmentModel model = tinyScene();
        model.raster.transform = test.transform;
        model.corners = test.corners;
        model.tiePoints = {test.moved};
        const std::string text = coordinateMapOf(model);
        EXPECT_NE(text.find(test.expected), std::string::npos) << test.expected << "\n" << text;
    }
}

TEST(coordinateMap, tiePointsInListOrderAndEmptyList) {
    alignmentModel model = tinyScene();
    model.tiePointIds = {"a", "b"};
    model.initialTiePoints = {{0, 1, 2, 0}, {1, 3, 4, 0}};
    model.tiePoints = {{0, 1.5, 2.5, 0}, {1, 3.5, 4.5, 0}};
    std::string text = coordinateMapOf(model);
    EXPECT_EQ(text.substr(text.find(plotLine)),
              plotLine + "1 2 0x0000ff\n3 4 0x0000ff\n1.5 2.5 0xbb0000\n3.5 4.5 0xbb0000\ne\nreset\n");

    model.initialTiePoints.clear();
    model.tiePoints.clear();
    text = coordinateMapOf(model);
    EXPECT_EQ(text.substr(text.find(plotLine)), plotLine + "e\nreset\n");
}

const std::string weightLegend =
    "set object circle at screen 0.02,0.75 radius char 0.5 fillstyle solid fillcolor rgb '#00ff00'\n"
    "set label 1 'w >= .9' at screen 0.03,0.75\n"
    "set object circle at screen 0.02,0.70 radius char 0.5 fillstyle solid fillcolor rgb '#00ffaa'\n"
    "set label 2 '.9 > w >= .8' at screen 0.03,0.70\n"
    "set object circle at screen 0.02,0.65 radius char 0.5 fillstyle solid fillcolor rgb '#00ffff'\n"
    "set label 3 '.8 > w >= .7' at screen 0.03,0.65\n"
    "set object circle at screen 0.02,0.60 radius char 0.5 fillstyle solid fillcolor rgb '#0088ff'\n"
    "set label 4 '.7 > w >= .6' at screen 0.03,0.60\n"
    "set object circle at screen 0.02,0.55 radius char 0.5 fillstyle solid fillcolor rgb '#0000ff'\n"
    "set label 5 '.6 > w >= .5' at screen 0.03,0.55\n"
    "set object circle at screen 0.02,0.50 radius char 0.5 fillstyle solid fillcolor rgb '#8800ff'\n"
    "set label 6 '.5 > w >= .4' at screen 0.03,0.50\n"
    "set object circle at screen 0.02,0.45 radius char 0.5 fillstyle solid fillcolor rgb '#bb00ff'\n"
    "set label 7 '.4 > w >= .3' at screen 0.03,0.45\n"
    "set object circle at screen 0.02,0.40 radius char 0.5 fillstyle solid fillcolor rgb '#ff00ff'\n"
    "set label 8 '.3 > w >= .2' at screen 0.03,0.40\n"
    "set object circle at screen 0.02,0.35 radius char 0.5 fillstyle solid fillcolor rgb '#ff0088'\n"
    "set label 9 '.2 > w >= .1' at screen 0.03,0.35\n"
    "set object circle at screen 0.02,0.30 radius char 0.5 fillstyle solid fillcolor rgb '#ff0000'\n"
    "set label 10 'w < .1' at screen 0.03,0.30\n";

TEST(weightingsMap, wholeScript) {
    alignmentModel model = tinyScene();
    model.raster.transform = {100.5, 1, 0, 199.75, 0, -1};
    model.orbits = {11, 12, 13};
    model.trackWeights = {0.5, 1, notANumber};
    const std::vector<errorRecord> finalErrors{{1, 101, 199, 3}, {0, 101.5, 198.5, -2}, {2, 102, 198, 1}};
    std::ostringstream script;
    model.writeWeightingsMap(script, "dem_Weightings_Map.png", finalErrors);
    EXPECT_EQ(script.str(),
              "set term png size 625,750\n"
              "set origin .13,0\n"
              "set size .87, 1\n"
              "set output 'dem_Weightings_Map.png'\n"
              "set title 'Weightings Map'\n"
              "set xrange [100.4:102.6]\n"
              "set yrange [197.65:199.85]\n"
              "set arrow 1 from 100.5,199.75 to 100.5,197.75 nohead lc rgb 'grey'\n"
              "set arrow 2 from 100.5,199.75 to 102.5,199.75 nohead lc rgb 'grey'\n"
              "set arrow 3 from 100.5,197.75 to 102.5,197.75 nohead lc rgb 'grey'\n"
              "set arrow 4 from 102.5,199.75 to 102.5,197.75 nohead lc rgb 'grey'\n"
              "unset key\n" +
                  weightLegend + plotLine +
                  "101 199 0x00ff00\n"
                  "101.5 198.5 0x0000ff\n"
                  "102 198 0x00ff00\n"
                  "e\n"
                  "reset\n");
}

// The colour of each track's one point, in track order.
std::vector<std::string> weightColours(const std::vector<double>& weights) {
    alignmentModel model = tinyScene();
    model.trackWeights = weights;
    std::vector<errorRecord> finalErrors;
    for (std::size_t i = 0; i < weights.size(); ++i) finalErrors.push_back({std::int32_t(i), 1, 2, 0});
    std::ostringstream script;
    model.writeWeightingsMap(script, "w.png", finalErrors);
    std::istringstream lines(script.str().substr(script.str().find(plotLine) + plotLine.size()));
    std::vector<std::string> found;
    std::string line;
    while (std::getline(lines, line) && line != "e") found.push_back(line.substr(line.rfind(' ') + 1));
    return found;
}

TEST(weightingsMap, binsAreClosedBelow) {
    EXPECT_EQ(weightColours({0, 0.0999, 0.1, 0.2, 0.3, 0.4, 0.4999, 0.5, 0.6, 0.7, 0.8, 0.8999, 0.9, 1, notANumber}),
              (std::vector<std::string>{"0xff0000", "0xff0000", "0xff0088", "0xff00ff", "0xbb00ff", "0x8800ff",
                                        "0x8800ff", "0x0000ff", "0x0088ff", "0x00ffff", "0x00ffaa", "0x00ffaa",
                                        "0x00ff00", "0x00ff00", "0x00ff00"}));
}

// Weights lowered by repeated subtraction end a few units in the last place
// below a tenth; the report prints them as that tenth, and so they are coloured.
TEST(weightingsMap, weightWithinABillionthOfAnEdgeIsColouredAsItsEdge) {
    EXPECT_EQ(weightColours({0.7999999999999998, 0.19999999999999968, 0.9 - 1e-9, 0.8 - 2e-9, 0.1 + 1e-12}),
              (std::vector<std::string>{"0x00ffaa", "0xff00ff", "0x00ff00", "0x00ffff", "0xff0088"}));
}

TEST(weightingsMap, pointOfTrackWithoutWeightIsLeftOff) {
    alignmentModel model = tinyScene();
    model.trackWeights = {0.05};
    std::ostringstream script;
    model.writeWeightingsMap(script, "w.png", {{1, 5, 6, 0}, {-1, 7, 8, 0}, {0, 1, 2, 0}});
    EXPECT_EQ(script.str().substr(script.str().find(plotLine)), plotLine + "1 2 0xff0000\ne\nreset\n");
}

TEST(outputMaps, nothingIsWrittenWhileNotReadyAndPathQuoteIsDoubled) {
    alignmentModel model = tinyScene();
    model.trackWeights = {1};
    model.notReady = true;
    std::ostringstream script;
    model.writeCoordinateMap(script, "c.png");
    model.writeWeightingsMap(script, "w.png", {{0, 1, 2, 3}});
    EXPECT_EQ(script.str(), "");
    model.notReady = false;  // a quote in the path is doubled
    model.writeCoordinateMap(script, "Mars' map.png");
    EXPECT_NE(script.str().find("\nset output 'Mars'' map.png'\n"), std::string::npos) << script.str();
}

// Generated scenes at the scales where fixed six digits and a fixed margin
// fail: cells of 1e-5 degrees near 137 degrees east, and polar stereographic
// metres. A translation stage moves the raster and the tie points back by the
// scenes' shift, three cells west and two south.
struct movedScene {
    alignmentModel model;
    std::vector<errorRecord> errors;
};

movedScene generatedScene(const testing::scratchFolder& folder, const std::vector<std::string>& options) {
    movedScene scene;
    alignmentModel& model = scene.model;
    EXPECT_EQ(testing::makeSceneIn(folder.path(), options).status, 0);
    const testing::consoleCapture quiet;
    std::vector<pointFilter> filters;
    EXPECT_TRUE(model.readRaster(folder.file("dem.tif"), -32767.0));
    EXPECT_TRUE(model.readTracks(folder.file("tracks.csv"), filters));
    if (options.front() == "--polar") model.toPolarStereographic();
    EXPECT_TRUE(model.readTiePoints(folder.file("ties.gpf")));
    scene.errors = model.currentErrorList();
    const double cellSize = model.raster.transform[1];
    model.translationStage(model.currentRms().rms, 5 * cellSize, cellSize);
    return scene;
}

std::vector<mapPosition> plottedPoints(const std::string& script) {
    std::istringstream lines(script.substr(script.find(plotLine) + plotLine.size()));
    std::vector<mapPosition> points;
    mapPosition point;
    while (lines >> point.x >> point.y && lines.ignore(20, '\n')) points.push_back(point);
    return points;
}

void expectDrawnAt(const std::string& script, const std::vector<mapPosition>& expected, double cellSize) {
    const std::vector<mapPosition> drawn = plottedPoints(script);
    ASSERT_EQ(drawn.size(), expected.size());
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        ASSERT_NEAR(drawn[i].x, expected[i].x, cellSize / 20 + 1e-12 * std::fabs(expected[i].x)) << i;
        ASSERT_NEAR(drawn[i].y, expected[i].y, cellSize / 20 + 1e-12 * std::fabs(expected[i].y)) << i;
    }
}

// The outermost positions lie a twentieth of the raster's larger extent
// inside the ranges, whichever way an axis runs.
void expectFramed(const std::string& script, const std::vector<mapPosition>& positions, double extent) {
    for (const std::string axis : {"x", "y"}) {
        std::istringstream range(script.substr(script.find("set " + axis + "range [") + 12));
        double from = 0.0, to = 0.0;
        range >> from;
        range.ignore(1) >> to;
        double low = INFINITY, high = -INFINITY;
        for (const mapPosition& position : positions) {
            const double value = axis == "x" ? position.x : position.y;
            low = std::min(low, value);
            high = std::max(high, value);
        }
        EXPECT_NEAR(low - std::min(from, to), extent / 20, extent / 100) << axis;
        EXPECT_NEAR(std::max(from, to) - high, extent / 20, extent / 100) << axis;
    }
}

std::vector<mapPosition> outlineCorners(const alignmentModel& model) {
    const double right = model.raster.width - 1.0, bottom = model.raster.height - 1.0;
    std::vector<mapPosition> corners;
    for (const auto& [c, r] : {std::pair{0.0, 0.0}, {right, 0.0}, {0.0, bottom}, {right, bottom}})
        corners.push_back({model.raster.nodeX(c, r), model.raster.nodeY(c, r)});
    return corners;
}

TEST(sceneMaps, everyShotAndTiePointIsDrawnWhereItLiesAndFramed) {
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--cell", "0.00001"}, std::vector<std::string>{"--polar"}}) {
        testing::scratchFolder folder("sceneMaps");
        std::vector<std::string> sceneOptions = options;
        sceneOptions.insert(sceneOptions.end(), {"--width", "120", "--height", "120", "--points", "400"});
        const movedScene scene = generatedScene(folder, sceneOptions);
        const alignmentModel& model = scene.model;
        ASSERT_FALSE(scene.errors.empty());
        std::vector<mapPosition> shots, tiePoints;
        for (const errorRecord& entry : scene.errors) shots.push_back({entry.x, entry.y});
        for (const auto* points : {&model.initialTiePoints, &model.tiePoints})
            for (const tiePoint& point : *points) tiePoints.push_back({point.x, point.y});
        std::ostringstream errorMap, weightingsMap, coordinateMap;
        model.writeErrorMap(errorMap, "e.png", true, scene.errors, {});
        model.writeWeightingsMap(weightingsMap, "w.png", scene.errors);
        model.writeCoordinateMap(coordinateMap, "c.png");
        const double cellSize = model.raster.transform[1];
        expectDrawnAt(errorMap.str(), shots, cellSize);
        expectDrawnAt(weightingsMap.str(), shots, cellSize);
        expectDrawnAt(coordinateMap.str(), tiePoints, cellSize);

        const double extent = 119 * cellSize;
        const std::vector<mapPosition> outline = outlineCorners(model);
        shots.insert(shots.end(), outline.begin(), outline.end());
        tiePoints.insert(tiePoints.end(), outline.begin(), outline.end());
        for (const cornerRecord& corner : model.corners) tiePoints.push_back({corner.x, corner.y});
        expectFramed(errorMap.str(), shots, extent);
        expectFramed(weightingsMap.str(), shots, extent);
        expectFramed(coordinateMap.str(), tiePoints, extent);
    }
}

}  // namespace
}  // namespace kalvex
