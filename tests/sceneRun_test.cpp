// End-to-end runs of kalvex on generated scenes whose perturbation is known:
// the run must move the raster, and the tie points with it, back onto the
// terrain that the altimeter tracks were sampled from.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

struct tieRow {
    std::string id;
    double x = 0.0;
    double y = 0.0;
    double elevation = 0.0;
};

double fromDegreesMinutesSeconds(const std::string& text) {
    const bool negative = !text.empty() && text[0] == '-';
    std::istringstream parts(negative ? text.substr(1) : text);
    double degrees = 0.0, minutes = 0.0, seconds = 0.0;
    char colon = 0;
    parts >> degrees >> colon >> minutes >> colon >> seconds;
    const double value = degrees + minutes / 60.0 + seconds / 3600.0;
    return negative ? -value : value;
}

// The rows of the tie point table that follows the title in the console text.
std::vector<tieRow> tieTable(const std::string& console, const std::string& title, bool degreesMinutesSeconds) {
    std::vector<tieRow> rows;
    std::istringstream lines(console.substr(console.find(title + "\n")));
    std::string line;
    for (int skipped = 0; skipped < 3; ++skipped) std::getline(lines, line);
    while (std::getline(lines, line) && !line.empty()) {
        std::istringstream fields(line);
        std::string id, x, y, elevation;
        std::getline(fields, id, '\t');
        std::getline(fields, x, '\t');
        std::getline(fields, y, '\t');
        std::getline(fields, elevation, '\t');
        tieRow row{id, 0.0, 0.0, std::stod(elevation)};
        row.x = degreesMinutesSeconds ? fromDegreesMinutesSeconds(x) : std::stod(x);
        row.y = degreesMinutesSeconds ? fromDegreesMinutesSeconds(y) : std::stod(y);
        rows.push_back(row);
    }
    return rows;
}

std::map<std::string, double> readTruth(const std::string& path) {
    std::map<std::string, double> truth;
    std::istringstream lines(readTextFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find(" = ");
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        std::istringstream value(line.substr(equals + 3));
        double number = 0.0;
        if (value >> number) truth[line.substr(0, equals)] = number;
    }
    return truth;
}

// The last "Stage n RMS: " value printed.
double lastStageRms(const std::string& console) {
    const std::size_t at = console.rfind(" RMS: ", console.find("Final RMS: "));
    return std::stod(console.substr(at + 6));
}

void makeScene(const scratchFolder& folder, const std::vector<std::string>& options) {
    ASSERT_EQ(makeSceneIn(folder.path(), options).status, 0);
}

void expectMovedBack(const std::string& console, const std::map<std::string, double>& truth, bool dms) {
    const std::vector<tieRow> initial = tieTable(console, "Initial XYZ Coordinates", dms);
    const std::vector<tieRow> final = tieTable(console, "Final XYZ Coordinates", dms);
    ASSERT_EQ(initial.size(), 8u);
    ASSERT_EQ(final.size(), initial.size());
    const double cell = truth.at("cell_size");
    for (std::size_t i = 0; i < initial.size(); ++i) {
        EXPECT_EQ(final[i].id, initial[i].id);
        EXPECT_NEAR((final[i].x - initial[i].x) / cell, truth.at("translation_x") / cell, 0.25) << initial[i].id;
        EXPECT_NEAR((final[i].y - initial[i].y) / cell, truth.at("translation_y") / cell, 0.25) << initial[i].id;
    }
}

TEST(SceneRun, AShiftedRasterIsMovedBackOntoTheTracks) {
    scratchFolder folder("sceneshift");
    makeScene(folder, {"--width", "200", "--height", "200", "--tracks", "10", "--points", "1500", "--seed", "5",
                       "--clean"});
    const commandResult run = runProgram({kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf", "-l"}, folder.path());
    ASSERT_EQ(run.status, 0) << run.standardOutput;
    EXPECT_EQ(run.standardError, "");
    const std::map<std::string, double> truth = readTruth(folder.file("truth.txt"));
    expectMovedBack(run.standardOutput, truth, true);
    EXPECT_LT(lastStageRms(run.standardOutput), 1.3 * truth.at("noise_sigma"));
}

TEST(SceneRun, APolarSceneIsAlignedInPolarStereographicMetres) {
    scratchFolder folder("scenepolar");
    makeScene(folder, {"--width", "200", "--height", "200", "--tracks", "10", "--points", "1500", "--seed", "6",
                       "--clean", "--polar"});
    const commandResult run =
        runProgram({kalvexPath(), "dem.tif", "tracks.tab", "ties.gpf", "-pr", "-l"}, folder.path());
    ASSERT_EQ(run.status, 0) << run.standardOutput;
    const std::map<std::string, double> truth = readTruth(folder.file("truth.txt"));
    expectMovedBack(run.standardOutput, truth, false);
    EXPECT_LT(lastStageRms(run.standardOutput), 1.3 * truth.at("noise_sigma"));
}

TEST(SceneRun, BadTracksLoseWeightAndOutliersAreRemoved) {
    scratchFolder folder("scenebad");
    makeScene(folder, {"--width", "200", "--height", "200", "--tracks", "10", "--points", "1500", "--seed", "3"});
    const commandResult run = runProgram(
        {kalvexPath(), "dem.tif", "tracks.dbf", "ties.gpf", "-l", "-sfs", "1", "-sfp", "0.25"}, folder.path());
    ASSERT_EQ(run.status, 0) << run.standardOutput;
    const std::map<std::string, double> truth = readTruth(folder.file("truth.txt"));
    expectMovedBack(run.standardOutput, truth, true);
    EXPECT_NE(run.standardOutput.find(" was removed.\n"), std::string::npos);
    // Both bad tracks end with weight 0 in the report, every good one above it.
    const std::string report = readTextFile(folder.file("dem_report.txt"));
    std::istringstream rows(report.substr(report.find("Standard Deviation\n") + 19));
    std::string row;
    int zeroWeights = 0;
    while (std::getline(rows, row)) {
        std::istringstream fields(row);
        int orbit = 0;
        double weight = 0.0;
        fields >> orbit >> weight;
        if (weight == 0.0) ++zeroWeights;
    }
    EXPECT_EQ(zeroWeights, 2);
}

}  // namespace
}  // namespace kalvex::testing
