// The error map scripts: the single map and the two panels, the bins of both project kinds, quoted paths.
#include <gtest/gtest.h>

#include "output/errorMap.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::tinyMapState;

const std::vector<errorRecord> tinyErrors{{0, 100.5, 199.25, -15}, {1, 101, 199, 5}, {0, -1234567.5, 2.25, 0}};
const errorStatistics tinyStatistics{2.5, -1.25, -15, 5};

// The stage loop moves and turns the raster between the halves, here so that GT4 and GT5 differ in sign; after a long
// coordinate other numbers keep six digits.
TEST(errorMapScript, twoPanelsOfLrocProjectShareOneStream) {
    runState scene = tinyMapState();
    std::ostringstream script;
    alignmentModel(testing::discardedConsole(), scene)
        .writeInitialErrorMap(script, "out/dem_Error_Map.png", false, tinyErrors, tinyStatistics);
    scene.raster.transform = {100.5, 1, 0.5, 199.75, 0.25, -1};
    alignmentModel(testing::discardedConsole(), scene)
        .writeFinalErrorMap(script, false, {{0, 101, 199, -20}, {0, 102, 198, 20}}, {0.125, 1234.56789, -20, 20});
    EXPECT_EQ(script.str(), testing::testDataText("maps/error_two_panels_lroc.gnu"));
}

// The single map of a HiRISE project in polar stereographic metres, cells of 20 m, columns running north: a coordinate
// keeps the digits that place it within a twentieth of a cell, and the y range runs from north to south.
TEST(errorMapScript, singleMapInPolarMetres) {
    runState scene = tinyMapState();
    scene.raster.width = 100;
    scene.raster.height = 60;
    scene.raster.transform = {1.0e6, 0, 20, -6.5e5, 20, 0};
    const alignmentModel model(testing::discardedConsole(), scene);
    std::ostringstream script;
    model.writeErrorMap(script, "polar_Error_Map.png", true,
                        {{0, 1000123.456, -649678.211, 3.5}, {0, 1001980, -648820, -16}}, {9.75, -6.25, -16, 3.5});
    EXPECT_EQ(script.str(), testing::testDataText("maps/error_polar_metres.gnu"));
}

// The colours of a point block, the plot line and the end shown in brackets.
std::string coloursOf(const std::vector<double>& errors, bool hirise) {
    std::vector<errorRecord> entries;
    for (const double error : errors) entries.push_back({0, 1, 2, error});
    std::ostringstream script;
    writeErrorPoints(script, tinyMapState().raster, entries, hirise);
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
    EXPECT_EQ(coloursOf({-20, -19.999, -12, -8, -4, -2, -1.999, 2, 4, 8, 12, 12.5, 20, 20.001, notANumber}, false),
              "[plot] 004da8 60a3b5 60a3b5 8cb8a4 b1cc91 d7e37d fafa64 fafa64 fccf51 fca43f f77a2d f24d1f f24d1f "
              "e81014 e81014 [e] ");
    EXPECT_EQ(coloursOf({}, true), "[plot] [e] ");
}

// A quote cannot end the string, a line break cannot start a command; no map is written while the model is not ready.
TEST(errorMapScript, pathCannotLeaveItsStringAndNothingIsWrittenWhileNotReady) {
    runState scene = tinyMapState();
    std::ostringstream single, idle;
    alignmentModel(testing::discardedConsole(), scene).writeErrorMap(single, "it's'\nset output 'x.png", true, {}, {});
    EXPECT_EQ(single.str().substr(0, single.str().find('\n')), "set output 'it''s''_set output ''x.png'");
    scene.notReady = true;
    const alignmentModel model(testing::discardedConsole(), scene);
    model.writeErrorMap(idle, "a.png", true, tinyErrors, tinyStatistics);
    model.writeInitialErrorMap(idle, "a.png", false, tinyErrors, tinyStatistics);
    model.writeFinalErrorMap(idle, true, tinyErrors, tinyStatistics);
    model.writeCoordinateMap(idle, "c.png");
    model.writeWeightingsMap(idle, "w.png", tinyErrors);
    EXPECT_EQ(idle.str(), "");
}

}  // namespace
}  // namespace kalvex
