// scripts/align-many: several runs through GNU parallel, one table line per
// DEM read from the run summaries, and a run that failed or made only the
// error map fails the whole.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

// The cells of a table row, which stand two or more blanks apart.
std::vector<std::string> cellsOf(const std::string& row) {
    std::vector<std::string> cells;
    for (std::size_t start = row.find_first_not_of(' '); start != std::string::npos;) {
        const std::size_t end = row.find("  ", start);
        cells.push_back(row.substr(start, end - start));
        start = end == std::string::npos ? end : row.find_first_not_of(' ', end);
    }
    return cells;
}

TEST(AlignMany, AListWrittenOnWindowsWithQuotedPathsRunsAsWrittenAndOutputsAreNeverShared) {
    scratchFolder folder("alignmany");
    for (const char* scene : {"a", "b c", "d"})
        ASSERT_EQ(makeSceneIn(folder.file(scene), {"--width", "60", "--height", "60", "--points", "300"}).status, 0);
    writeTextFile(folder.file("d/ties.gpf"), "no header here\n");
    const auto alignMany = [&](const std::string& list) {
        writeTextFile(folder.file("runs.txt"), list);
        return runProgram({"/usr/bin/env", "KALVEX=" + kalvexPath(), sourceDir() + "/scripts/align-many", "runs.txt"},
                          folder.path());
    };
    const commandResult refused =
        alignMany("a/dem.tif a/tracks.csv a/ties.gpf\r\n\r\n./a/dem.tif a/tracks.tab a/ties.gpf\r\n");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.standardOutput,
              "align-many: lines 1 and 3 would write the same outputs (./a/dem_*), nothing was run\n");
    EXPECT_FALSE(fileExists(folder.file("a/dem_console.txt")));

    const commandResult run = alignMany(
        "# four runs\r\na/dem.tif a/tracks.csv a/ties.gpf -s 2 -robust\r\n"
        "'b c/dem.tif' \"b c/tracks.tab\" b\\ c/ties.gpf -s 2 -as two\r\n"
        "a/dem.tif a/tracks.csv -s 1 -as map\r\nd/dem.tif d/tracks.csv d/ties.gpf\r\n");
    EXPECT_EQ(run.status, 1);
    std::istringstream table(run.standardOutput);
    std::string line;
    std::getline(table, line);
    EXPECT_EQ(cellsOf(line), (std::vector<std::string>{"GeoTIFF", "status", "final RMS", "translation (cells)", "verdict",
                                                "std error (cells)"}));
    for (const std::vector<std::string>& expected : {std::vector<std::string>{"a/dem.tif", "ok", "a/dem"},
                                                    {"b c/dem.tif", "ok", "b c/demtwo"},
                                                    {"a/dem.tif", "error-map-only", "-", "-", "-", "-"},
                                                    {"d/dem.tif", "failed(1)", "-", "-", "failed", "-"}}) {
        std::getline(table, line);
        const std::vector<std::string> cells = cellsOf(line);
        ASSERT_EQ(cells.size(), 6u) << line;
        if (expected[1] != "ok") {
            EXPECT_EQ(cells, expected);
            continue;
        }
        EXPECT_EQ(std::vector<std::string>(cells.begin(), cells.begin() + 2),
                  std::vector<std::string>(expected.begin(), expected.begin() + 2));
        const nlohmann::json summary = nlohmann::json::parse(readTextFile(folder.file(expected[2] + "_summary.json")));
        EXPECT_NEAR(std::stod(cells[2]), double(summary["rms"]["finalWeighted"]), 1e-5 * std::stod(cells[2]));
        double columns = 0.0, rows = 0.0, errorX = 0.0, errorY = 0.0;
        std::istringstream(cells[3]) >> columns >> rows;
        std::istringstream(cells[5]) >> errorX >> errorY;
        EXPECT_NEAR(columns, summary["translation"]["cells"][0], 1e-3);
        EXPECT_NEAR(rows, summary["translation"]["cells"][1], 1e-3);
        EXPECT_EQ(cells[4], summary["verdict"]);
        EXPECT_NEAR(errorX, summary["standardError"]["cells"][0], 5e-3 * errorX);  // three digits
        EXPECT_NEAR(errorY, summary["standardError"]["cells"][1], 5e-3 * errorY);
    }
    EXPECT_NE(readTextFile(folder.file("a/dem_console.txt")).find("Round 1 Robust RMS: "), std::string::npos);
}

}  // namespace
}  // namespace kalvex::testing
