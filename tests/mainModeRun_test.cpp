// End-to-end runs of kalvex in the main mode on scenes whose outcome can be
// worked out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

// A 7 x 7 raster whose cells follow z = 2c - r, and six shots on nodes lying
// exactly 5 above it in two tracks: one stage's plane fit closes the gap
// exactly, and then no translation or rotation can do better than RMS 0.
void writeOffsetScene(const scratchFolder& folder) {
    writePlaneRaster(folder.file("dem.tif"), 7);
    writeTextFile(folder.file("tracks.csv"),
                  "lon,lat,topo,orbit\r\n"
                  "101,49,6,7\r\n"
                  "102,48,7,7\r\n"
                  "103,47,8,7\r\n"
                  "104,49,12,9\r\n"
                  "105,46,11,9\r\n"
                  "101,45,2,9\r\n");
    writeTextFile(folder.file("ties.gpf"),
                  "GROUND POINT FILE\n"
                  "2\n"
                  "point_id,stat,known,lat_Y_North,long_X_East,ht,sig(3),res(3)\n"
                  "tp1 1 0\n48.5 102.25 10\n0 0 0\n0 0 0\n\n"
                  "tp2 1 0\n46.75 104.5 20\n0 0 0\n0 0 0\n");
}

const char* const expectedConsole =
    "Longitude Column: 1\n"
    "Latitude Column: 2\n"
    "Topology Column: 3\n"
    "Original Statistics: \n"
    "Count: 6\n"
    "Minimum: 5\n"
    "Maximum: 5\n"
    "Mean: 5\n"
    "Standard Deviation: 0\n"
    "\n"
    "Initial XYZ Coordinates\n"
    "\n"
    "pointID\tLongitude\tLatitude\tElevation\n"
    "tp1\t102:15:0\t48:30:0\t10\n"
    "tp2\t104:30:0\t46:45:0\t20\n"
    "\n"
    "Initial RMS: 5\n"
    "\n"
    "Stage: 1\n"
    "The new max error threshold is: 2\n"
    "x-translation: 0\n"
    "y-translation: 0\n"
    "No Rotation Found\n"
    "Stage 1 RMS: 0\n"
    "\n"
    "Final RMS: 0\n"
    "Final XYZ Coordinates\n"
    "\n"
    "pointID\tLongitude\tLatitude\tElevation\n"
    "tp1\t102:15:0\t48:30:0\t15\n"
    "tp2\t104:30:0\t46:45:0\t25\n"
    "\n"
    "Count: 6\n"
    "Minimum: 0\n"
    "Maximum: 0\n"
    "Mean: 0\n"
    "Standard Deviation: 0\n"
    "\n";

const char* const expectedReport =
    "Final Control Points\n"
    "\n"
    "pointID\tLongitude\tLatitude\tElevation\n"
    "tp1\t102:15:0\t48:30:0\t15\n"
    "tp2\t104:30:0\t46:45:0\t25\n"
    "\n"
    "Orbit Statistics\n"
    "Orbit\tWeighting Applied\tPoint Count\tMean Error\tStandard Deviation\n"
    "7\t                1\t          3\t         0\t0\n"
    "9\t                1\t          3\t         0\t0\n";

TEST(MainModeRun, WholeTranscriptReportAndSevenFiles) {
    scratchFolder folder("mainmoderun");
    writeOffsetScene(folder);
    const commandResult run = runProgram({kalvexPath(), "ties.gpf", "dem.tif", "tracks.csv", "-s", "1"}, folder.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.standardOutput, expectedConsole);
    EXPECT_EQ(run.standardError, "");
    EXPECT_EQ(readTextFile(folder.file("dem_report.txt")), expectedReport);

    const std::string errorMap = readTextFile(folder.file("dem_Error_Map.gnu"));
    EXPECT_EQ(errorMap.rfind("set output 'dem_Error_Map.png'\nset term png size 1250,750\nset multiplot\n", 0), 0u);
    EXPECT_NE(errorMap.find("set title 'Final Error Map'\n"), std::string::npos);
    EXPECT_EQ(errorMap.substr(errorMap.size() - 24), "e\nunset multiplot\nreset\n");

    EXPECT_EQ(pngSize(folder.file("dem_Error_Map.png")), std::make_pair(1250u, 750u));
    EXPECT_EQ(pngSize(folder.file("dem_Coord_Map.png")), std::make_pair(1250u, 750u));
    EXPECT_EQ(pngSize(folder.file("dem_Weightings_Map.png")), std::make_pair(625u, 750u));
    std::size_t fileCount = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        if (entry.path().filename().string().rfind("dem_", 0) == 0) ++fileCount;
    EXPECT_EQ(fileCount, 7u);
}

TEST(MainModeRun, WithoutStatisticalFilteringFiveFilesAreWritten) {
    scratchFolder folder("mainmodenofilter");
    writeOffsetScene(folder);
    const commandResult run =
        runProgram({kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-sfp", "0", "-l"}, folder.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.standardOutput.find("The new max error threshold is: "), std::string::npos);
    EXPECT_EQ(run.standardOutput.find("Rotation"), std::string::npos);
    EXPECT_FALSE(fileExists(folder.file("dem_Weightings_Map.gnu")));
    EXPECT_TRUE(fileExists(folder.file("dem_Coord_Map.png")));
    EXPECT_TRUE(fileExists(folder.file("dem_report.txt")));
}

TEST(MainModeRun, AFailedTieReadEndsWithHalfAScriptAndNoImages) {
    scratchFolder folder("mainmodebadties");
    writeOffsetScene(folder);
    writeTextFile(folder.file("broken.gpf"), "no header here\n");
    const commandResult run = runProgram({kalvexPath(), "dem.tif", "tracks.csv", "broken.gpf"}, folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.standardError, "");
    const std::string text = run.standardOutput;
    EXPECT_EQ(text.substr(text.size() - 33), "Tie Coordinate Read Unsuccessful\n");
    const std::string errorMap = readTextFile(folder.file("dem_Error_Map.gnu"));
    EXPECT_EQ(errorMap.substr(errorMap.size() - 8), "e\nreset\n");
    EXPECT_EQ(errorMap.find("unset multiplot"), std::string::npos);
    EXPECT_FALSE(fileExists(folder.file("dem_Error_Map.png")));
    EXPECT_FALSE(fileExists(folder.file("dem_report.txt")));
}

std::size_t linesWith(const std::string& text, const std::string& line) {
    std::size_t count = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
    return count;
}

TEST(MainModeRun, ARunThatRemovedEveryShotWritesItsOutputsAndFails) {
    scratchFolder folder("mainmodenothingleft");
    writeOffsetScene(folder);
    const commandResult run =
        runProgram({kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-et", "0"}, folder.path());
    EXPECT_EQ(run.status, 1);
    const std::string text = run.standardOutput;
    EXPECT_NE(text.find("Count: 0\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind("\n", text.size() - 2) + 1),
              "Error: No altimeter point with a model elevation was left at the end of the run\n");
    EXPECT_TRUE(fileExists(folder.file("dem_report.txt")));
    EXPECT_TRUE(fileExists(folder.file("dem_Coord_Map.png")));
}

TEST(MainModeRun, TiePointsOutsideTheRasterAreCounted) {
    scratchFolder folder("mainmodetiesoutside");
    writeOffsetScene(folder);
    writeTextFile(folder.file("radians.gpf"), "point_id,lat,lon,ht\nin 48.5 102.25 10\nout 0.85 1.78 10\n");
    const commandResult run =
        runProgram({kalvexPath(), "dem.tif", "tracks.csv", "radians.gpf", "-s", "1"}, folder.path());
    EXPECT_NE(run.standardOutput.find("out\t1:46:48\t0:51:0\t10\n\nWarning: 1 of the 2 tie points lie outside the "
                                      "raster\nInitial RMS: "),
              std::string::npos)
        << run.standardOutput;
}

// A raster off by more than the first translation range: the first stage's
// best offset lies on the range's edge, which is said after that stage and
// again at the end.
TEST(MainModeRun, AnOffsetBeyondTheRangeIsReportedTwice) {
    scratchFolder folder("mainmodefaroff");
    ASSERT_EQ(makeSceneIn(folder.path(), {"--width", "100", "--height", "100", "--tracks", "6", "--points", "400",
                                          "--shift", "6", "0", "--clean", "--seed", "2"})
                  .status,
              0);
    const commandResult run =
        runProgram({kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf", "-l", "-s", "2", "-p", "0.0004"}, folder.path());
    EXPECT_EQ(run.status, 0);
    const std::string warning = "Warning: The best translation of the first stage lies on the edge of its range, the "
                                "raster may be off by more than the range (-p widens it)\n";
    EXPECT_EQ(linesWith(run.standardOutput, warning), 2u);
    EXPECT_NE(run.standardOutput.find("Stage 1 RMS: 12.21524\n" + warning), std::string::npos);
    EXPECT_EQ(run.standardOutput.substr(run.standardOutput.size() - warning.size()), warning);
}

// One altimeter track over a small raster: the stage planes have no slope
// across the track, the tie points keep sensible elevations.
TEST(MainModeRun, OneTrackIsAlignedWithoutASlopeAcrossIt) {
    scratchFolder folder("mainmodeonetrack");
    ASSERT_EQ(makeSceneIn(folder.path(), {"--width", "120", "--height", "110", "--tracks", "1", "--points", "200",
                                          "--seed", "4"})
                  .status,
              0);
    const commandResult run = runProgram({kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf", "-l", "-s", "3"},
                                         folder.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(linesWith(run.standardOutput, "Warning: The valid mola points lie along one line, the plane is fitted "
                                            "without a slope across it\n"),
              1u);
    const std::string finalRms = "Final RMS: ";
    const std::size_t at = run.standardOutput.find(finalRms);
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(std::stod(run.standardOutput.substr(at + finalRms.size())), 2.0);
}

}  // namespace
}  // namespace kalvex::testing
