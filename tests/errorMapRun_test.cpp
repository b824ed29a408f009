// End-to-end runs of kalvex in error-map-only mode on a scene small enough to
// work out by hand: a 5 x 5 raster whose cells follow z = 2X + Y - 250.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

const char* const planeTracks =
    "lon,lat,topo,orbit\n"
    "101.2,48.7,4.1,7\n"      // model 1.1: error +3
    "102.5,47.5,0.5,7\n"      // model 2.5: error -2
    "103.6,48,1,8\n"          // nearest node on the last column: no model elevation
    "100.4,48,1,8\n";         // nearest node on the first column: no model elevation

void writePlaneScene(const scratchFolder& folder) {
    writePlaneRaster(folder.file("dem.tif"), 5);
    writeTextFile(folder.file("tracks.csv"), planeTracks);
}

const char* const expectedConsole =
    "Longitude Column: 1\n"
    "Latitude Column: 2\n"
    "Topology Column: 3\n"
    "Original Statistics: \n"
    "Count: 2\n"
    "Minimum: -2\n"
    "Maximum: 3\n"
    "Mean: 0.5\n"
    "Standard Deviation: 2.5\n"
    "\n";

const char* const expectedScript =
    "set output 'dem_Error_Map.png'\n"
    "set term png size 750,750\n"
    "set size 0.82, 1\n"
    "set title 'Error Map'\n"
    "set origin .17,0\n"
    "set xrange [99.8:104.2]\n"
    "set yrange [45.8:50.2]\n"
    "set arrow 1 from 100,50 to 100,46 nohead lc rgb 'grey'\n"
    "set arrow 2 from 100,50 to 104,50 nohead lc rgb 'grey'\n"
    "set arrow 3 from 100,46 to 104,46 nohead lc rgb 'grey'\n"
    "set arrow 4 from 104,50 to 104,46 nohead lc rgb 'grey'\n"
    "unset key\n"
    "set label 1 'Initial Values:' at screen 0.02,0.95\n"
    "set label 2 'Mean: 0.5' at screen 0.02,0.90\n"
    "set label 3 'Std Dev: 2.5' at screen 0.02,0.85\n"
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
    "set label 10 'e > 15' at screen 0.03,0.35\n"
    "plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable\n"
    "101.2 48.7 0xffd700\n"
    "102.5 47.5 0xffd700\n"
    "e\n"
    "reset\n";

TEST(ErrorMapRun, PrintsStatisticsWritesScriptAndRendersPng) {
    scratchFolder folder("errormaprun");
    writePlaneScene(folder);
    const commandResult run = runProgram({kalvexPath(), "dem.tif", "tracks.csv"}, folder.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.standardOutput, expectedConsole);
    EXPECT_EQ(run.standardError, "");
    EXPECT_EQ(readTextFile(folder.file("dem_Error_Map.gnu")), expectedScript);
    EXPECT_EQ(pngSize(folder.file("dem_Error_Map.png")), std::make_pair(750u, 750u));
}

TEST(ErrorMapRun, OutputsStayBesideARasterInAnotherFolder) {
    scratchFolder folder("errormaprunfolder");
    std::filesystem::create_directories(folder.file("data.old"));
    writePlaneScene(folder);
    std::filesystem::rename(folder.file("dem.tif"), folder.file("data.old/dem.tif"));
    const commandResult run =
        runProgram({kalvexPath(), "./data.old/dem.tif", "tracks.csv", "-as", "run2"}, folder.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(fileExists(folder.file("data.old/demrun2_Error_Map.gnu")));
    EXPECT_TRUE(fileExists(folder.file("data.old/demrun2_Error_Map.png")));
    EXPECT_EQ(readTextFile(folder.file("data.old/demrun2_Error_Map.gnu")).rfind(
                  "set output './data.old/demrun2_Error_Map.png'\n", 0),
              0u);
}

TEST(ErrorMapRun, FailuresEndWithStatusOneAndWriteNothing) {
    scratchFolder folder("errormapfailures");
    writePlaneScene(folder);
    writeTextFile(folder.file("nocolumns.csv"), "a,b,c\n1,2,3\n");
    writeTextFile(folder.file("outside.csv"), "lon,lat,topo,orbit\n500,500,1,1\n");
    writeTextFile(folder.file("edge.csv"), "lon,lat,topo,orbit\n100,50,1,1\n");
    struct failingRun {
        std::vector<std::string> arguments;
        std::string lastLine;
    };
    const std::vector<failingRun> runs = {
        {{"dem.tif"}, ""},
        {{"dem.TIF", "tracks.csv", "ties.gpf"}, "Error: Files must include at least one .tif and either a .dbf, .csv or .tab"},
        {{"missing.tif", "tracks.csv"}, "Error: Geotiff Read Unsuccessful"},
        {{"dem.tif", "nocolumns.csv"}, "Error: Mola Tracks Read Unsuccessful"},
        {{"dem.tif", "outside.csv"}, "Error: Mola Tracks Read Unsuccessful"},
        {{"dem.tif", "edge.csv"}, "No Mola points fit raster region"},
    };
    for (const failingRun& failure : runs) {
        std::vector<std::string> arguments{kalvexPath()};
        arguments.insert(arguments.end(), failure.arguments.begin(), failure.arguments.end());
        const commandResult run = runProgram(arguments, folder.path());
        EXPECT_EQ(run.status, 1) << failure.arguments.front() << " " << run.standardOutput;
        EXPECT_EQ(run.standardError, "");
        const std::string& text = run.standardOutput;
        if (!failure.lastLine.empty()) {
            ASSERT_GE(text.size(), failure.lastLine.size() + 1);
            EXPECT_EQ(text.substr(text.size() - failure.lastLine.size() - 1), failure.lastLine + "\n");
        }
        EXPECT_FALSE(fileExists(folder.file("dem_Error_Map.gnu")));
    }
}

TEST(ErrorMapRun, TheThreeTrackFormatsOfAScenePrintTheSameStatistics) {
    scratchFolder folder("errormapformats");
    ASSERT_EQ(makeSceneIn(folder.path(), {"--width", "120", "--height", "120", "--tracks", "6", "--points", "600",
                                          "--seed", "4"})
                  .status,
              0);
    std::vector<std::string> statistics;
    for (const char* tracks : {"tracks.csv", "tracks.tab", "tracks.dbf"}) {
        const commandResult run = runProgram({kalvexPath(), "dem.tif", tracks}, folder.path());
        ASSERT_EQ(run.status, 0) << tracks;
        statistics.push_back(run.standardOutput.substr(run.standardOutput.find("Original Statistics: ")));
    }
    EXPECT_EQ(statistics[1], statistics[0]);
    EXPECT_EQ(statistics[2], statistics[0]);
}

// The real Mars DEM and the real altimeter shots over it, in both longitude
// conventions of the DEM and both formats of the shot table.
TEST(ErrorMapRun, RealMarsSceneRendersItsMap) {
    const std::string shared = sharedDataDir();
    const std::string table = shared + "/socet_gxp_dev/MolaPEDR_24N25N_341E342E_20170817T105455046_pts_csv.csv";
    if (!fileExists(table)) GTEST_SKIP() << "the shared real data is not available";
    scratchFolder folder("errormapmars");
    std::filesystem::copy_file(table, folder.file("shots.csv"));
    std::filesystem::copy_file(shared + "/socet_gxp_dev/MolaPEDR_24N25N_341E342E_Z.dbf", folder.file("shots.dbf"));
    for (const char* raster : {"Mawrth_Vallis_mola_lonlat180_float32.tif", "Mawrth_Vallis_mola_lonlat360_float32.tif"})
        std::filesystem::copy_file(shared + "/derived/" + raster, folder.file(raster));
    const std::vector<std::vector<std::string>> runs = {
        {"Mawrth_Vallis_mola_lonlat180_float32.tif", "shots.csv", "-as", "_csv"},
        {"Mawrth_Vallis_mola_lonlat180_float32.tif", "shots.dbf", "-as", "_dbf"},
        {"Mawrth_Vallis_mola_lonlat360_float32.tif", "shots.csv"}};
    for (const std::vector<std::string>& arguments : runs) {
        std::vector<std::string> command{kalvexPath()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const commandResult run = runProgram(command, folder.path());
        ASSERT_EQ(run.status, 0) << arguments[1];
        EXPECT_NE(run.standardOutput.find("Original Statistics: \nCount: 11829\nMinimum: -935.789\nMaximum: 542.363\n"
                                          "Mean: -103.027\nStandard Deviation: 196.673\n"),
                  std::string::npos)
            << run.standardOutput;
        const std::string base = arguments[0].substr(0, arguments[0].size() - 4) + (arguments.size() > 2 ? arguments[3] : "");
        EXPECT_EQ(pngSize(folder.file(base + "_Error_Map.png")), std::make_pair(750u, 750u)) << base;
    }
}

}  // namespace
}  // namespace kalvex::testing
