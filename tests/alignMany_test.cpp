// scripts/align-many: several runs through GNU parallel, one table line per
// DEM read from the run summaries, and a failed run fails the whole.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

TEST(AlignMany, OneLinePerDemAndAFailedRunFailsTheWhole) {
    scratchFolder folder("alignmany");
    for (const char* scene : {"a", "b", "c"})
        ASSERT_EQ(makeSceneIn(folder.file(scene), {"--width", "60", "--height", "60", "--points", "300"}).status, 0);
    writeTextFile(folder.file("c/ties.gpf"), "no header here\n");
    writeTextFile(folder.file("runs.txt"),
                  "# three scenes\n\na/dem.tif a/tracks.csv a/ties.gpf -l -s 2\n"
                  "  b/dem.tif b/tracks.tab b/ties.gpf -s 2 -as two\nc/dem.tif c/tracks.csv c/ties.gpf");
    const commandResult run = runProgram(
        {"/usr/bin/env", "KALVEX=" + kalvexPath(), sourceDir() + "/scripts/align-many", "runs.txt"}, folder.path());
    EXPECT_EQ(run.status, 1);

    std::istringstream table(run.standardOutput);
    std::string line;
    std::getline(table, line);  // the heading
    for (const std::string base : {"a/dem", "b/demtwo", "c/dem"}) {
        const nlohmann::json summary = nlohmann::json::parse(readTextFile(folder.file(base + "_summary.json")));
        std::getline(table, line);
        std::istringstream row(line);
        std::string raster, status;
        row >> raster >> status;
        EXPECT_EQ(raster, base.substr(0, 5) + ".tif");
        EXPECT_EQ(status, summary["exitStatus"] == 0 ? "ok" : "failed(1)");
        if (summary["exitStatus"] != 0) {
            EXPECT_EQ(summary["errors"], nlohmann::json::array({"Tie Coordinate Read Unsuccessful"}));
            continue;
        }
        double rms = 0.0, columns = 0.0, rows = 0.0, errorX = 0.0, errorY = 0.0;
        std::string verdict;
        row >> rms >> columns >> rows >> verdict >> errorX >> errorY;
        EXPECT_NEAR(rms, summary["rms"]["finalWeighted"], 1e-5 * rms);
        EXPECT_NEAR(columns, summary["translation"]["cells"][0], 1e-3);
        EXPECT_NEAR(rows, summary["translation"]["cells"][1], 1e-3);
        EXPECT_EQ(verdict, summary["verdict"]);
        EXPECT_NEAR(errorX, summary["standardError"]["cells"][0], 5e-3 * errorX);  // three digits
        EXPECT_NEAR(errorY, summary["standardError"]["cells"][1], 5e-3 * errorY);
        EXPECT_NE(readTextFile(folder.file(base + "_console.txt")).find("Final RMS: "), std::string::npos);
    }
}

}  // namespace
}  // namespace kalvex::testing
