// End-to-end runs of kalvex on generated scenes whose perturbation is known:
// the run must move the raster back onto the terrain that the altimeter
// tracks were sampled from, and fit the good tracks to about their noise.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

double truthValue(const std::string& truth, const std::string& key) {
    const std::size_t at = truth.find("\n" + key + " = ");
    return at == std::string::npos ? 0.0 : std::stod(truth.substr(at + key.size() + 4));
}

// The weights of the orbit statistics of a report that are zero.
int zeroWeights(const std::string& report) {
    std::istringstream rows(report.substr(report.find("Standard Deviation\n") + 19));
    int zeros = 0;
    double orbit = 0.0, weight = 0.0;
    for (std::string row; std::getline(rows, row);)
        if (std::istringstream(row) >> orbit >> weight && weight == 0.0) ++zeros;
    return zeros;
}

struct sceneCase {
    const char* name;
    std::vector<std::string> scene, run;
    int zeroWeights;
};

TEST(SceneRun, TheRasterIsMovedBackOntoTheTracks) {
    const std::vector<sceneCase> cases{
        {"shifted", {"--seed", "5", "--clean"}, {"tracks.csv", "ties.gpf", "-l"}, 0},
        {"polar", {"--seed", "6", "--clean", "--polar"}, {"tracks.tab", "ties.gpf", "-pr", "-l"}, 0},
        // The two bad tracks of the scene lose all their weight, and its outliers are removed.
        {"bad tracks", {"--seed", "3"}, {"tracks.dbf", "ties.gpf", "-l", "-sfs", "1", "-sfp", "0.25"}, 2}};
    for (const sceneCase& test : cases) {
        SCOPED_TRACE(test.name);
        scratchFolder folder("scenerun");
        std::vector<std::string> scene{"--width", "200", "--height", "200", "--tracks", "10", "--points", "1500"};
        scene.insert(scene.end(), test.scene.begin(), test.scene.end());
        ASSERT_EQ(makeSceneIn(folder.path(), scene).status, 0);
        std::vector<std::string> run{kalvexPath(), "dem.tif"};
        run.insert(run.end(), test.run.begin(), test.run.end());
        run.push_back("-os");
        const commandResult result = runProgram(run, folder.path());
        ASSERT_EQ(result.status, 0) << result.standardOutput;
        EXPECT_EQ(result.standardError, "");
        const std::string truth = readTextFile(folder.file("truth.txt"));
        const nlohmann::json summary = nlohmann::json::parse(readTextFile(folder.file("dem_summary.json")));
        const double cell = truthValue(truth, "cell_size");
        const nlohmann::json& moved = summary["translation"]["mapUnits"];
        EXPECT_NEAR(double(moved[0]) / cell, truthValue(truth, "translation_x") / cell, 0.25);
        EXPECT_NEAR(double(moved[1]) / cell, truthValue(truth, "translation_y") / cell, 0.25);
        EXPECT_LT(double(summary["rms"]["finalWeighted"]), 1.3 * truthValue(truth, "noise_sigma"));
        EXPECT_EQ(zeroWeights(readTextFile(folder.file("dem_report.txt"))), test.zeroWeights);
        EXPECT_EQ(result.standardOutput.find(" was removed.\n") != std::string::npos, test.zeroWeights > 0);
    }
}

}  // namespace
}  // namespace kalvex::testing
