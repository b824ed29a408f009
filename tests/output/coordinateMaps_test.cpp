// The tie coordinate map and the weightings map.
#include <gtest/gtest.h>

#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::tinyMapState;

std::string coordinateMapOf(const runState& scene) {
    std::ostringstream script;
    alignmentModel(testing::discardedConsole(), scene).writeCoordinateMap(script, "dem_Coord_Map.png");
    return script.str();
}

const std::string plotLine = "plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable\n";

std::string pointsOf(const std::string& script) { return script.substr(script.find(plotLine) + plotLine.size()); }

// Cells of 1e-5 degrees near 137 degrees east, read turned a little, then set north up and moved three cells west and
// two south; a tie point lies east of the raster.
TEST(coordinateMap, movedRasterNear137DegreesIsDrawnToATwentiethOfACell) {
    runState scene = tinyMapState();
    scene.raster.width = 120;
    scene.raster.height = 80;
    scene.raster.transform = {137.4, 1e-5, 2e-7, -4.55, 3e-7, -1e-5};
    scene.corners = {scene.raster.cornerAt(0, 0), scene.raster.cornerAt(119, 0), scene.raster.cornerAt(0, 79),
                     scene.raster.cornerAt(119, 79)};
    scene.raster.transform = {137.4 - 3e-5, 1e-5, 0, -4.55 - 2e-5, 0, -1e-5};
    scene.tiePointIds = {"a", "b"};
    scene.initialTiePoints = {{0, 137.4004321, -4.5503456, 0}, {1, 137.4013579, -4.5501234, 0}};
    scene.tiePoints = {{0, 137.4004321 - 3e-5, -4.5503456 - 2e-5, 0}, {1, 137.4013579 - 3e-5, -4.5501234 - 2e-5, 0}};
    EXPECT_EQ(coordinateMapOf(scene), testing::testDataText("maps/coordinate_moved_137.gnu"));
}

// The ranges hold every corner of both outlines and every tie point, grown by a twentieth of the raster's larger extent
// (0.1); a y axis drawn reversed on the error map is reversed here too.
TEST(coordinateMap, rangesHoldBothOutlinesAndEveryTiePoint) {
    using outline = std::array<cornerRecord, 4>;
    const outline leftLeaning{{{0, 99, 200.5, 0}, {2, 101, 201, 0}, {6, 100, 198, 0}, {8, 102, 197.5, 0}}};
    const outline rightLeaning{{{0, 101, 200, 0}, {2, 103, 201, 0}, {6, 99, 197, 0}, {8, 104, 196, 0}}};
    const outline straight = tinyMapState().corners;
    const tiePoint unmoved = tinyMapState().tiePoints[0];
    struct row { geoTransform transform; outline corners; tiePoint moved; std::string ranges; };
    for (const row& test : std::vector<row>{
             {{100, 1, 0, 200, 0, -1}, straight, unmoved, "[99.9:102.1]\nset yrange [197.9:200.1]"},
             {{99.5, 1, 0, 199.75, 0, -1}, straight, {0, 100, 199.25, 10.5}, "[99.4:102.1]\nset yrange [197.65:200.1]"},
             {{100.25, 1, 0, 200.5, 0, -1}, straight, unmoved, "[99.9:102.35]\nset yrange [197.9:200.6]"},
             {{100, 1, 0, 200, 0, -1}, leftLeaning, unmoved, "[98.9:102.1]\nset yrange [197.4:201.1]"},
             {{98, 1, 0, 200, 0, -1}, rightLeaning, unmoved, "[97.9:104.1]\nset yrange [195.9:201.1]"},
             {{100, 1, 0, 200, 0, -1}, straight, {0, 105, 196.5, 10}, "[99.9:105.1]\nset yrange [196.4:200.1]"},
             {{100, 1, 0, 198, 0, 1}, straight, unmoved, "[99.9:102.1]\nset yrange [200.1:197.9]"}}) {
        runState scene = tinyMapState();
        scene.raster.transform = test.transform;
        scene.corners = test.corners;
        scene.tiePoints = {test.moved};
        const std::string text = coordinateMapOf(scene);
        EXPECT_NE(text.find("set xrange " + test.ranges + "\n"), std::string::npos) << test.ranges << "\n" << text;
    }
}

TEST(weightingsMap, wholeScript) {
    runState scene = tinyMapState();
    scene.raster.transform = {100.5, 1, 0, 199.75, 0, -1};
    scene.orbits = {11, 12, 13};
    scene.trackWeights = {0.5, 1, notANumber};
    std::ostringstream script;
    alignmentModel(testing::discardedConsole(), scene)
        .writeWeightingsMap(script, "dem_Weightings_Map.png",
                            {{1, 101, 199, 3}, {0, 101.5, 198.5, -2}, {2, 102, 198, 1}});
    EXPECT_EQ(script.str(), testing::testDataText("maps/weightings.gnu"));
}

// The colours of a point of a track without a weight (counted in full), one without a track, then one point per
// track in track order.
std::string weightColours(const std::vector<double>& weights) {
    runState scene = tinyMapState();
    scene.trackWeights = trackWeightList(weights);
    std::vector<errorRecord> finalErrors{{std::int32_t(weights.size()), 5, 6, 0}, {-1, 7, 8, 0}};
    for (std::size_t i = 0; i < weights.size(); ++i) finalErrors.push_back({std::int32_t(i), 1, 2, 0});
    std::ostringstream script;
    alignmentModel(testing::discardedConsole(), scene).writeWeightingsMap(script, "w.png", finalErrors);
    std::istringstream lines(pointsOf(script.str()));
    std::string colours;
    for (std::string line; std::getline(lines, line) && line != "e";) colours += line.substr(line.rfind(' ') + 1) + " ";
    return colours;
}

// Bins are closed below. Weights lowered by repeated subtraction end a few units in the last place below a tenth; the
// report prints them as that tenth, and so they are coloured.
TEST(weightingsMap, binsAreClosedBelowAndAWeightWithinABillionthOfAnEdgeCountsAsTheEdge) {
    EXPECT_EQ(weightColours({0, 0.0999, 0.1, 0.2, 0.3, 0.4, 0.4999, 0.5, 0.6, 0.7, 0.8, 0.8999, 0.9, 1, notANumber}),
              "0x00ff00 0x00ff00 0xff0000 0xff0000 0xff0088 0xff00ff 0xbb00ff 0x8800ff 0x8800ff 0x0000ff 0x0088ff "
              "0x00ffff 0x00ffaa 0x00ffaa 0x00ff00 0x00ff00 0x00ff00 ");
    EXPECT_EQ(weightColours({0.7999999999999998, 0.19999999999999968, 0.9 - 1e-9, 0.9 - 1.005e-9, 0.1 + 1e-12}),
              "0x00ff00 0x00ff00 0x00ffaa 0xff00ff 0x00ff00 0x00ffaa 0xff0088 ");
}

}  // namespace
}  // namespace kalvex
