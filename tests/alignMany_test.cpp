// scripts/align-many: several runs through GNU parallel, one table line per
// DEM read from the run summaries, and a failed run fails the whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

std::string tableLine(const std::string& raster, const std::string& status, const std::string& rms,
                      const std::string& cells) {
    char line[200];
    std::snprintf(line, sizeof line, "%-9s  %-9s  %12s  %22s", raster.c_str(), status.c_str(), rms.c_str(),
                  cells.c_str());
    return line;
}

// The table's figures of a run, from its summary.
std::string tableLineOf(const std::string& raster, const std::string& summaryPath) {
    const nlohmann::json summary = nlohmann::json::parse(readTextFile(summaryPath));
    char rms[40], cells[80];
    std::snprintf(rms, sizeof rms, "%.6g", double(summary["rms"]["finalWeighted"]));
    std::snprintf(cells, sizeof cells, "%.3f %.3f", double(summary["translation"]["cells"][0]),
                  double(summary["translation"]["cells"][1]));
    return tableLine(raster, "ok", rms, cells);
}

TEST(AlignMany, OneLinePerDemAndAFailedRunFailsTheWhole) {
    scratchFolder folder("alignmany");
    for (const char* scene : {"a", "b", "c"})
        ASSERT_EQ(makeSceneIn(folder.file(scene), {"--width", "60", "--height", "60", "--tracks", "4", "--points",
                                                   "300", "--seed", "3"})
                      .status,
                  0);
    writeTextFile(folder.file("c/ties.gpf"), "no header here\n");
    writeTextFile(folder.file("runs.txt"), "# three scenes\n\na/dem.tif a/tracks.csv a/ties.gpf -l -s 2\n"
                                           "  b/dem.tif b/tracks.tab b/ties.gpf -s 2 -as two\nc/dem.tif c/tracks.csv c/ties.gpf");
    const commandResult run = runProgram(
        {"/usr/bin/env", "KALVEX=" + kalvexPath(), sourceDir() + "/scripts/align-many", "runs.txt"}, folder.path());
    EXPECT_EQ(run.status, 1);
    std::vector<std::string> lines;
    std::istringstream table(run.standardOutput);
    for (std::string line; std::getline(table, line);) lines.push_back(line);
    const std::vector<std::string> expected{
        tableLine("GeoTIFF", "status", "final RMS", "translation (cells)"),
        tableLineOf("a/dem.tif", folder.file("a/dem_summary.json")),
        tableLineOf("b/dem.tif", folder.file("b/demtwo_summary.json")),
        tableLine("c/dem.tif", "failed(1)", "-", "-")};
    EXPECT_EQ(lines, expected);
    EXPECT_NE(readTextFile(folder.file("b/demtwo_console.txt")).find("Final RMS: "), std::string::npos);
    EXPECT_NE(readTextFile(folder.file("c/dem_console.txt")).find("Tie Coordinate Read Unsuccessful"),
              std::string::npos);
}

}  // namespace
}  // namespace kalvex::testing
