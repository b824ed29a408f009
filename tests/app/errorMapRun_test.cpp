// End-to-end runs of kalvex in error-map-only mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

// The scene is small enough to work out by hand; the runs and what they print
// and write stand in tests/data/expected/errorMapRuns.txt.
TEST(ErrorMapRun, EveryRunOfTheTranscriptPrintsAndWritesAsRecorded) {
    scratchFolder folder("errormapruns");
    std::filesystem::copy(testDataDir() + "/runs/plane", folder.path());
    writePlaneRaster(folder.file("dem.tif"), 5);
    std::filesystem::create_directories(folder.file("data.old"));
    writePlaneRaster(folder.file("data.old/dem.tif"), 5);
    const std::string expected = readTextFile(testDataDir() + "/expected/errorMapRuns.txt");
    const std::string replayed = replayRuns(expected, folder.path());
    EXPECT_EQ(replayed, expected);
}

TEST(ErrorMapRun, TheThreeTrackTablesOfASceneGiveTheSameStatistics) {
    scratchFolder folder("errormapformats");
    const std::vector<std::string> scene{"--width", "120", "--height", "120", "--tracks", "6", "--points", "600"};
    ASSERT_EQ(makeSceneIn(folder.path(), scene).status, 0);
    std::vector<std::string> statistics;
    for (const char* tracks : {"tracks.csv", "tracks.tab", "tracks.dbf"}) {
        const commandResult run = runProgram({kalvexPath(), "dem.tif", tracks}, folder.path());
        ASSERT_EQ(run.status, 0) << tracks;
        statistics.push_back(run.standardOutput.substr(run.standardOutput.find("Original Statistics: ")));
    }
    EXPECT_EQ(statistics[1], statistics[0]);
    EXPECT_EQ(statistics[2], statistics[0]);
}

// The real Mars DEM, in both longitude conventions, and the real altimeter
// shots over it in both table formats.
TEST(ErrorMapRun, TheRealMarsSceneGivesItsStatistics) {
    const std::string shared = sharedDataDir();
    const std::string shots = shared + "/socet_gxp_dev/MolaPEDR_24N25N_341E342E_";
    if (!fileExists(shots + "Z.dbf")) GTEST_SKIP() << "the shared real data is not available";
    scratchFolder folder("errormapmars");
    std::filesystem::copy_file(shots + "20170817T105455046_pts_csv.csv", folder.file("shots.csv"));
    std::filesystem::copy_file(shots + "Z.dbf", folder.file("shots.dbf"));
    for (const char* longitudes : {"180", "360"})
        std::filesystem::copy_file(shared + "/derived/Mawrth_Vallis_mola_lonlat" + longitudes + "_float32.tif",
                                   folder.file(std::string("dem") + longitudes + ".tif"));
    for (const std::vector<std::string>& run : std::vector<std::vector<std::string>>{
             {"dem180.tif", "shots.csv"}, {"dem180.tif", "shots.dbf"}, {"dem360.tif", "shots.csv"}}) {
        const commandResult result = runProgram({kalvexPath(), run[0], run[1]}, folder.path());
        EXPECT_EQ(result.status, 0) << run[0] << " " << run[1];
        EXPECT_NE(result.standardOutput.find("Original Statistics: \nCount: 11849\nMinimum: -939.796\n"
                                             "Maximum: 540.981\nMean: -102.785\nStandard Deviation: 195.734\n"),
                  std::string::npos)
            << run[0] << " " << run[1] << "\n" << result.standardOutput;
    }
}

}  // namespace
}  // namespace kalvex::testing
