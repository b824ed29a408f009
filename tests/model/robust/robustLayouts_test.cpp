// The robust alignment end to end on layouts that once led it astray: tracks
// read far beyond the raster, no-data cells across it, a turn with bad tracks,
// and a track at its edge. It ends where the scene was truly placed, or says
// why it cannot.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

double truthValue(const std::string& truth, const std::string& key) {
    const std::size_t at = truth.find("\n" + key + " = ");
    return at == std::string::npos ? 0.0 : std::stod(truth.substr(at + key.size() + 4));
}

struct layoutCase {
    const char* name;
    std::vector<std::string> scene;
    double withinCells;  // at the raster's corners
    const char* verdict;
    nlohmann::json reasons;
};

TEST(RobustLayouts, EndWhereTheSceneLiesOrSayWhyNot) {
    const nlohmann::json none = nlohmann::json::array();
    const std::vector<layoutCase> cases{
        {"tracks read a raster height beyond both edges, fewer than half of them on it",
         {"--tracks", "5", "--clean", "--overhang", "1"}, 0.05, "good", none},
        {"no-data cells across the middle of the raster", {"--nodata-block", "45", "0", "60", "150"}, 0.05, "good", none},
        {"a turn of 2 degrees with two bad tracks",
         {"--width", "300", "--height", "300", "--rotation", "2", "--seed", "4"}, 0.05, "good", none},
        {"two tracks, the second at the east edge: too few to tell how well they fix the raster",
         {"--track-columns", "50,150", "--points", "800"}, 1.0, "doubtful", {"fewTracks"}}};
    for (const layoutCase& layout : cases) {
        SCOPED_TRACE(layout.name);
        scratchFolder folder("robustlayout");
        std::vector<std::string> scene{"--width", "150", "--height", "150", "--seed", "5"};  // the case may override
        scene.insert(scene.end(), layout.scene.begin(), layout.scene.end());
        ASSERT_EQ(makeSceneIn(folder.path(), scene).status, 0);
        const commandResult run =
            runProgram({kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf", "-robust", "-os"}, folder.path());
        ASSERT_EQ(run.status, 0) << run.standardOutput;
        const std::string truth = readTextFile(folder.file("truth.txt"));
        const nlohmann::json summary = nlohmann::json::parse(readTextFile(folder.file("dem_summary.json")));
        // The summary's translation is that of the raster's centre, about which the scene is turned.
        const double columns = double(summary["translation"]["cells"][0]) - truthValue(truth, "translation_columns");
        const double rows = double(summary["translation"]["cells"][1]) - truthValue(truth, "translation_rows");
        const double turn = double(summary["rotation"]["degrees"]) - truthValue(truth, "rotation_degrees");
        const double halfDiagonal = 0.5 * std::hypot(truthValue(truth, "width"), truthValue(truth, "height"));
        EXPECT_LT(std::hypot(columns, rows) + std::fabs(turn) * halfDiagonal * 3.141592653589793 / 180.0,
                  layout.withinCells);
        EXPECT_EQ(summary["verdict"], layout.verdict);
        EXPECT_EQ(summary["reasons"], layout.reasons);
        EXPECT_NE(run.standardOutput.find("Standard error of the translation in cells: "), std::string::npos);
    }
}

}  // namespace
}  // namespace kalvex::testing
