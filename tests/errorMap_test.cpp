#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "model/alignmentModel.h"
#include "output/scriptText.h"

namespace kalvex {
namespace {

// A 3 x 3 north-up raster whose nodes run from (100, 200) to (102, 198).
alignmentModel tinyScene() {
    alignmentModel model;
    model.raster.width = 3;
    model.raster.height = 3;
    model.raster.transform = {100, 1, 0, 200, 0, -1};
    model.notReady = false;
    return model;
}

const std::vector<errorRecord> tinyErrors{{0, 100.5, 199.25, -15}, {1, 101, 199, 5}, {0, -1.5, 2.25, 0}};
const errorStatistics tinyStatistics{2.5, -1.25, -15, 5};

const std::string tinyFrame =
    "set xrange [99.9:102.1]\n"
    "set yrange [197.9:200.1]\n"
    "set arrow 1 from 100,200 to 100,198 nohead lc rgb 'grey'\n"
    "set arrow 2 from 100,200 to 102,200 nohead lc rgb 'grey'\n"
    "set arrow 3 from 100,198 to 102,198 nohead lc rgb 'grey'\n"
    "set arrow 4 from 102,200 to 102,198 nohead lc rgb 'grey'\n";

const std::string initialLabels =
    "unset key\n"
    "set label 1 'Initial Values:' at screen 0.02,0.95\n"
    "set label 2 'Mean: -1.25' at screen 0.02,0.90\n"
    "set label 3 'Std Dev: 2.5' at screen 0.02,0.85\n";

const std::string hiriseLegend =
    "set object circle at screen 0.02,0.65 radius char 0.5 fillstyle solid fillcolor rgb '#0000ff'\n"
    "set label 4 'e < -15' at screen 0.03,0.65\n"
    "set object circle at screen 0.02,0.60 radius char 0.5 fillstyle solid fillcolor rgb '#008000'\n"
    "set label 5 '-15 <= e < -10' at screen 0.03,0.60\n"
    "set object circle at screen 0.02,0.55 radius char 0.5 fillstyle solid fillcolor rgb '#00ff00'\n"
    "set label 6 '-10 <=e < -5' at screen 0.03,0.55\n"
    "set object circle at screen 0.02,0.50 radius char 0.5 fillstyle solid fillcolor rgb '#ffd700'\n"
    "set label 7 '-5 <= e <= 5' at screen 0.03,0.50\n"
    "set object circle at screen 0.02,0.45 radius char 0.5 fillstyle solid fillcolor rgb '#ff8800'\n"
    "set label 8 '5 < e <= 10' at screen 0.03,0.45\n"
    "set object circle at screen 0.02,0.40 radius char 0.5 fillstyle solid fillcolor rgb '#ff0000'\n"
    "set label 9 '10 < e <= 15' at screen 0.03,0.40\n"
    "set object circle at screen 0.02,0.35 radius char 0.5 fillstyle solid fillcolor rgb '#bb0000'\n"
    "set label 10 'e > 15' at screen 0.03,0.35\n";

const std::string lrocLegend =
    "set object circle at screen 0.02,0.75 radius char 0.5 fillstyle solid fillcolor rgb '#004da8'\n"
    "set label 4 'e <= -20' at screen 0.03,0.75\n"
    "set object circle at screen 0.02,0.70 radius char 0.5 fillstyle solid fillcolor rgb '#60a3b5'\n"
    "set label 5 '-20 < e <= -12' at screen 0.03,0.70\n"
    "set object circle at screen 0.02,0.65 radius char 0.5 fillstyle solid fillcolor rgb '#8cb8a4'\n"
    "set label 6 '-12 < e <= -8' at screen 0.03,0.65\n"
    "set object circle at screen 0.02,0.60 radius char 0.5 fillstyle solid fillcolor rgb '#b1cc91'\n"
    "set label 7 '-8 < e <= -4' at screen 0.03,0.60\n"
    "set object circle at screen 0.02,0.55 radius char 0.5 fillstyle solid fillcolor rgb '#d7e37d'\n"
    "set label 8 '-4 < e <= -2' at screen 0.03,0.55\n"
    "set object circle at screen 0.02,0.50 radius char 0.5 fillstyle solid fillcolor rgb '#fafa64'\n"
    "set label 9 '-2 < e <= 2' at screen 0.03,0.50\n"
    "set object circle at screen 0.02,0.45 radius char 0.5 fillstyle solid fillcolor rgb '#fccf51'\n"
    "set label 10 '2 < e <= 4' at screen 0.03,0.45\n"
    "set object circle at screen 0.02,0.40 radius char 0.5 fillstyle solid fillcolor rgb '#fca43f'\n"
    "set label 11 '4 < e <= 8' at screen 0.03,0.40\n"
    "set object circle at screen 0.02,0.35 radius char 0.5 fillstyle solid fillcolor rgb '#f77a2d'\n"
    "set label 12 '8 < e <= 12' at screen 0.03,0.35\n"
    "set object circle at screen 0.02,0.30 radius char 0.5 fillstyle solid fillcolor rgb '#f24d1f'\n"
    "set label 13 '12 < e <= 20' at screen 0.03,0.30\n"
    "set object circle at screen 0.02,0.25 radius char 0.5 fillstyle solid fillcolor rgb '#e81014'\n"
    "set label 14 'e > 20' at screen 0.03,0.25\n";

const std::string plotLine = "plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable\n";

// The colour texts of a point block, one per entry, in order.
std::vector<std::string> colours(const alignmentModel& model, const std::vector<double>& errors, bool hirise) {
    std::vector<errorRecord> entries;
    for (const double error : errors) entries.push_back({0, 1, 2, error});
    std::ostringstream script;
    model.writeErrorPoints(script, entries, hirise);
    std::istringstream lines(script.str());
    std::string line;
    std::getline(lines, line);
    std::vector<std::string> found;
    while (std::getline(lines, line) && line != "e") found.push_back(line.substr(line.rfind(' ') + 1));
    return found;
}

TEST(errorMapScript, singleMapOfHiriseProject) {
    const alignmentModel model = tinyScene();
    std::ostringstream script;
    model.writeErrorMap(script, "dem_Error_Map.png", true, tinyErrors, tinyStatistics);
    EXPECT_EQ(script.str(),
              "set output 'dem_Error_Map.png'\n"
              "set term png size 750,750\n"
              "set size 0.82, 1\n"
              "set title 'Error Map'\n"
              "set origin .17,0\n" +
                  tinyFrame + initialLabels + hiriseLegend + plotLine +
                  "100.5 199.25 0x008000\n"
                  "101 199 0xffd700\n"
                  "-1.5 2.25 0xffd700\n"
                  "e\n"
                  "reset\n");
}

TEST(errorMapScript, twoPanelsOfLrocProjectShareOneStream) {
    alignmentModel model = tinyScene();
    std::ostringstream script;
    model.writeInitialErrorMap(script, "out/dem_Error_Map.png", false, tinyErrors, tinyStatistics);
    // The stage loop moves the georeference between the two halves.
    model.raster.transform = {100.5, 1, 0, 199.75, 0, -1};
    const std::vector<errorRecord> finalErrors{{0, 101, 199, -20}, {0, 102, 198, 20}};
    model.writeFinalErrorMap(script, false, finalErrors, {0.125, 0.0625, -20, 20});
    EXPECT_EQ(script.str(),
              "set output 'out/dem_Error_Map.png'\n"
              "set term png size 1250,750\n"
              "set multiplot\n"
              "set size 0.45, 1\n"
              "set title 'Initial Error Map'\n"
              "set origin .12,0\n" +
                  tinyFrame + initialLabels + lrocLegend + plotLine +
                  "100.5 199.25 0x60a3b5\n"
                  "101 199 0xfca43f\n"
                  "-1.5 2.25 0xfafa64\n"
                  "e\n"
                  "reset\n"
                  "set size .45, 1\n"
                  "set origin .55,0\n"
                  "set title 'Final Error Map'\n"
                  "set xrange [100.4:102.6]\n"
                  "set yrange [197.65:199.85]\n"
                  "set arrow 1 from 100.5,199.75 to 100.5,197.75 nohead lc rgb 'grey'\n"
                  "set arrow 2 from 100.5,199.75 to 102.5,199.75 nohead lc rgb 'grey'\n"
                  "set arrow 3 from 100.5,197.75 to 102.5,197.75 nohead lc rgb 'grey'\n"
                  "set arrow 4 from 102.5,199.75 to 102.5,197.75 nohead lc rgb 'grey'\n"
                  "unset key\n"
                  "set label 15 'Final Values:' at screen 0.02,0.15\n"
                  "set label 16 'Mean: 0.0625' at screen 0.02,0.10\n"
                  "set label 17 'Std Dev: 0.125' at screen 0.02,0.05\n" +
                  plotLine +
                  "101 199 0x004da8\n"
                  "102 198 0xf24d1f\n"
                  "e\n"
                  "unset multiplot\n"
                  "reset\n");
}

TEST(errorMapScript, binsOfBothProjectsAndErrorThatIsNotANumber) {
    const alignmentModel model = tinyScene();
    // The first project's bins close towards the middle, the second's above; no number falls in the last bin.
    EXPECT_EQ(colours(model, {-15.001, -15, -10.001, -10, -5.001, -5, 0, 5, 5.001, 10, 10.001, 15, 15.001, notANumber},
                      true),
              (std::vector<std::string>{"0x0000ff", "0x008000", "0x008000", "0x00ff00", "0x00ff00", "0xffd700",
                                        "0xffd700", "0xffd700", "0xff8800", "0xff8800", "0xff0000", "0xff0000",
                                        "0xbb0000", "0xbb0000"}));
    EXPECT_EQ(colours(model, {-20, -19.999, -12, -8, -4, -2, -1.999, 2, 4, 8, 12, 20, 20.001, notANumber}, false),
              (std::vector<std::string>{"0x004da8", "0x60a3b5", "0x60a3b5", "0x8cb8a4", "0xb1cc91", "0xd7e37d",
                                        "0xfafa64", "0xfafa64", "0xfccf51", "0xfca43f", "0xf77a2d", "0xf24d1f",
                                        "0xe81014", "0xe81014"}));
    std::ostringstream empty;
    model.writeErrorPoints(empty, {}, true);
    EXPECT_EQ(empty.str(), plotLine + "e\n");
}

// Six significant digits at cells of 100 units; rows running north reverse the y range; a turned
// raster takes its ranges from the outer nodes (GT4 and GT5 negative: top is
// node (0,0), bottom node (W,H)).
TEST(errorMapScript, rangesAndNumbersOfTheFinalMap) {
    struct row { geoTransform transform; std::vector<errorRecord> errors; errorStatistics statistics;
                 std::vector<std::string> expected; };
    const std::vector<row> rows{
        {{1234567.5, 100, 0, -2345678.25, 0, -100}, {{0, 1234567.5, 0.0001234567, 7}}, {1234.56789, -0.5, 7, 7},
         {"set xrange [1.23456e+06:1.23478e+06]\n", "set yrange [-2.34589e+06:-2.34567e+06]\n",
          "set arrow 1 from 1.23457e+06,-2.34568e+06 to 1.23457e+06,-2.34588e+06 nohead", "'Mean: -0.5'",
          "'Std Dev: 1234.57'", "\n1.23457e+06 0.000123457 0xff8800\n"}},
        {{100, 1, 0, 200, 0, 1}, {}, {}, {"set yrange [202.1:199.9]\n"}},
        {{100, 1, 0.5, 200, -0.25, -1}, {}, {},
         {"set xrange [99.85:103.15]\n", "set yrange [197.35:200.15]\n",
          "set arrow 4 from 102,199.5 to 103,197.5 nohead"}}};
    for (const row& test : rows) {
        alignmentModel model = tinyScene();
        model.raster.transform = test.transform;
        std::ostringstream script;
        model.writeFinalErrorMap(script, true, test.errors, test.statistics);
        for (const std::string& part : test.expected)
            EXPECT_NE(script.str().find(part), std::string::npos) << part << "\n" << script.str();
    }
}

// A coordinate gets the fewest digits (six at the least) that place it within
// a twentieth of a cell; the stream keeps six for every other number.
TEST(errorMapScript, coordinatesAreWrittenToATwentiethOfACell) {
    struct row { double cellSize; double x; double y; std::string expected; };
    const std::vector<row> rows{{1e-5, 137.4012345678, -4.5512345678, "137.401235 -4.551235 0xffd700\n"},
                                {2e-4, 137.4012345678, -4.5512345678, "137.40123 -4.55123 0xffd700\n"},
                                {1, 1523456.78, -2345678.25, "1523456.8 -2345678.2 0xffd700\n"},
                                {100, 1234567.5, -2345678.25, "1.23457e+06 -2.34568e+06 0xffd700\n"}};
    for (const row& test : rows) {
        std::ostringstream script;
        writePointLine(script, mapScale{test.cellSize}, test.x, test.y, "ffd700");
        script << 137.4012345678;
        EXPECT_EQ(script.str(), test.expected + "137.401") << test.cellSize;
    }
}

// A quote cannot end the string early, and a line break cannot start a new command.
TEST(errorMapScript, pathCannotLeaveItsString) {
    const alignmentModel model = tinyScene();
    std::ostringstream single;
    model.writeErrorMap(single, "it's'\nset output 'x.png", true, {}, {});
    EXPECT_EQ(single.str().substr(0, single.str().find("set term")), "set output 'it''s''_set output ''x.png'\n");
    std::ostringstream initial;
    model.writeInitialErrorMap(initial, "o'k.png", true, {}, {});
    EXPECT_EQ(initial.str().substr(0, initial.str().find('\n')), "set output 'o''k.png'");
}

TEST(errorMapScript, nothingIsWrittenWhileNotReady) {
    alignmentModel model = tinyScene();
    model.notReady = true;
    std::ostringstream script;
    model.writeErrorMap(script, "a.png", true, tinyErrors, tinyStatistics);
    model.writeInitialErrorMap(script, "a.png", false, tinyErrors, tinyStatistics);
    model.writeFinalErrorMap(script, true, tinyErrors, tinyStatistics);
    model.writeErrorPoints(script, tinyErrors, true);
    EXPECT_EQ(script.str(), "");
}

}  // namespace
}  // namespace kalvex
