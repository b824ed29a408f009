// The error map scripts: the single map and the two panels, the error bins of
// both project kinds, and the digits of map coordinates.
#include <gtest/gtest.h>

#include "model/alignmentModel.h"
#include "output/scriptText.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

// A north-up raster of 3 x 3 nodes from (100, 200) to (102, 198).
alignmentModel tinyScene(std::uint32_t width = 3, std::uint32_t height = 3,
                         const geoTransform& transform = {100, 1, 0, 200, 0, -1}) {
    alignmentModel model;
    model.raster.width = width;
    model.raster.height = height;
    model.raster.transform = transform;
    model.notReady = false;
    return model;
}

const std::vector<errorRecord> tinyErrors{{0, 100.5, 199.25, -15}, {1, 101, 199, 5}, {0, -1.5, 2.25, 0}};
const errorStatistics tinyStatistics{2.5, -1.25, -15, 5};

TEST(errorMapScript, singleMapOfHiriseProject) {
    std::ostringstream script;
    tinyScene().writeErrorMap(script, "dem_Error_Map.png", true, tinyErrors, tinyStatistics);
    EXPECT_EQ(script.str(), testing::testDataText("maps/error_single_hirise.gnu"));
}

// The stage loop moves and turns the georeference between the two halves of one stream.
TEST(errorMapScript, twoPanelsOfLrocProjectShareOneStream) {
    alignmentModel model = tinyScene();
    std::ostringstream script;
    model.writeInitialErrorMap(script, "out/dem_Error_Map.png", false, tinyErrors, tinyStatistics);
    model.raster.transform = {100.5, 1, 0.5, 199.75, -0.25, -1};
    model.writeFinalErrorMap(script, false, {{0, 101, 199, -20}, {0, 102, 198, 20}}, {0.125, 0.0625, -20, 20});
    EXPECT_EQ(script.str(), testing::testDataText("maps/error_two_panels_lroc.gnu"));
}

// Polar stereographic metres in cells of 20 m, rows running north: a
// coordinate keeps its metres, and the y range runs from north to south.
TEST(errorMapScript, polarMetresAreWrittenToTheMetre) {
    std::ostringstream script;
    tinyScene(100, 60, {1.0e6, 20, 0, -6.5e5, 0, 20})
        .writeErrorMap(script, "polar_Error_Map.png", true, {{0, 1000123.456, -649678.211, 3.5}, {0, 1001980, -648820, -16}},
                       {9.75, -6.25, -16, 3.5});
    EXPECT_EQ(script.str(), testing::testDataText("maps/error_polar_metres.gnu"));
}

// The colours of a point block, the plot line and the end shown in brackets.
std::string coloursOf(const std::vector<double>& errors, bool hirise) {
    std::vector<errorRecord> entries;
    for (const double error : errors) entries.push_back({0, 1, 2, error});
    std::ostringstream script;
    tinyScene().writeErrorPoints(script, entries, hirise);
    std::istringstream lines(script.str());
    std::string colours;
    for (std::string line; std::getline(lines, line);)
        colours += line.rfind("1 2 0x", 0) == 0 ? line.substr(6) + " " : "[" + line.substr(0, 4) + "] ";
    return colours;
}

// HiRISE bins close towards the middle, LROC bins above; no number takes the last bin.
TEST(errorMapScript, binsOfBothProjectsAndErrorThatIsNotANumber) {
    EXPECT_EQ(coloursOf({-15.001, -15, -10.001, -10, -5.001, -5, 5, 5.001, 10, 10.001, 15, 15.001, notANumber}, true),
              "[plot] 0000ff 008000 008000 00ff00 00ff00 ffd700 ffd700 ff8800 ff8800 ff0000 ff0000 bb0000 bb0000 [e] ");
    EXPECT_EQ(coloursOf({-20, -19.999, -12, -8, -4, -2, -1.999, 2, 4, 8, 12, 20, 20.001, notANumber}, false),
              "[plot] 004da8 60a3b5 60a3b5 8cb8a4 b1cc91 d7e37d fafa64 fafa64 fccf51 fca43f f77a2d f24d1f e81014 "
              "e81014 [e] ");
    EXPECT_EQ(coloursOf({}, true), "[plot] [e] ");
}

// A coordinate gets the fewest digits (six at the least) that place it within
// a twentieth of a cell; the stream keeps six for every other number.
TEST(errorMapScript, coordinatesAreWrittenToATwentiethOfACell) {
    struct row { double cellSize, x, y; std::string expected; };
    for (const row& test : std::vector<row>{{1e-5, 137.4012345678, -4.5512345678, "137.401235 -4.551235"},
                                            {2e-4, 137.4012345678, -4.5512345678, "137.40123 -4.55123"},
                                            {1, 1523456.78, -2345678.25, "1523456.8 -2345678.2"},
                                            {100, 1234567.5, -2345678.25, "1.23457e+06 -2.34568e+06"}}) {
        std::ostringstream script;
        writePointLine(script, mapScale{test.cellSize}, test.x, test.y, "ffd700");
        script << 137.4012345678;
        EXPECT_EQ(script.str(), test.expected + " 0xffd700\n137.401") << test.cellSize;
    }
}

// A quote cannot end the string early, and a line break cannot start a new
// command; nothing at all is written while the model is not ready.
TEST(errorMapScript, pathCannotLeaveItsStringAndNothingIsWrittenWhileNotReady) {
    alignmentModel model = tinyScene();
    std::ostringstream single, idle;
    model.writeErrorMap(single, "it's'\nset output 'x.png", true, {}, {});
    EXPECT_EQ(single.str().substr(0, single.str().find('\n')), "set output 'it''s''_set output ''x.png'");
    model.notReady = true;
    model.writeErrorMap(idle, "a.png", true, tinyErrors, tinyStatistics);
    model.writeInitialErrorMap(idle, "a.png", false, tinyErrors, tinyStatistics);
    model.writeFinalErrorMap(idle, true, tinyErrors, tinyStatistics);
    model.writeErrorPoints(idle, tinyErrors, true);
    EXPECT_EQ(idle.str(), "");
}

}  // namespace
}  // namespace kalvex
