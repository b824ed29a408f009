// What the end-to-end tests take from the sample-scene generator: files that
// kalvex reads, the same files for the same seed, and a truth file whose
// translation moves the DEM's stated georeference onto the true one.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/alignmentModel.h"
#include "readers/pointFilter.h"
#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

const std::vector<std::string> sceneOptions{"--width", "150", "--height", "130", "--tracks", "5", "--points", "333",
                                            "--ties", "3", "--cell", "5e-4", "--shift", "-2", "4", "--noise", "1.5"};

std::vector<double> truthNumbers(const std::string& truth, const std::string& key) {
    const std::size_t at = truth.find("\n" + key + " = ");
    std::istringstream words(at == std::string::npos ? "" : truth.substr(at + key.size() + 4));
    std::string line;
    std::getline(words, line);
    std::istringstream numbers(line);
    std::vector<double> values;
    for (double value = 0.0; numbers >> value;) values.push_back(value);
    return values;
}

TEST(MakeScene, TheSameSeedWritesTheSameFilesAndAnotherSeedOthers) {
    scratchFolder first("makescene1"), second("makescene2"), other("makescene3");
    const auto make = [](const scratchFolder& folder, const char* seed) {
        std::vector<std::string> options = sceneOptions;
        options.insert(options.end(), {"--seed", seed});
        return makeSceneIn(folder.path(), options).status;
    };
    ASSERT_EQ(make(first, "42") + make(second, "42") + make(other, "43"), 0);
    for (const char* name : {"dem.tif", "tracks.csv", "tracks.tab", "tracks.dbf", "ties.gpf", "truth.txt"}) {
        const std::string bytes = readTextFile(first.file(name));
        EXPECT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(bytes == readTextFile(second.file(name))) << name;
        EXPECT_FALSE(bytes == readTextFile(other.file(name))) << name;
    }
}

TEST(MakeScene, KalvexReadsTheFilesAndTheTruthStatesTheirPerturbation) {
    struct sceneCase {
        std::vector<std::string> options;
        double cell, noise;
    };
    const sceneCase polar{{"--polar", "--width", "120"}, 100.0, 0.5};
    const sceneCase equirectangular{{"--eqc", "--width", "120"}, 12.0, 0.5};
    for (const sceneCase& test : {sceneCase{sceneOptions, 5e-4, 1.5}, polar, equirectangular}) {
        SCOPED_TRACE(test.options.front());
        scratchFolder folder("makescenefiles");
        ASSERT_EQ(makeSceneIn(folder.path(), test.options).status, 0);
        const std::string truth = readTextFile(folder.file("truth.txt"));
        alignmentModel model(kalvex::testing::discardedConsole());
        std::vector<pointFilter> noFilters;
        ASSERT_TRUE(model.readRaster(folder.file("dem.tif"), -32767.0));
        const std::vector<double> stated = truthNumbers(truth, "geotransform");
        const std::vector<double> real = truthNumbers(truth, "true_geotransform");
        ASSERT_EQ(stated.size(), 6u);
        ASSERT_EQ(real.size(), 6u);
        for (std::size_t i = 0; i < 6; ++i)
            EXPECT_NEAR(model.state().raster.gdalTransform()[i], stated[i], 1e-9 * test.cell) << i;
        EXPECT_NEAR(truthNumbers(truth, "translation_x").at(0), real[0] - stated[0], 1e-9 * test.cell);
        EXPECT_NEAR(truthNumbers(truth, "translation_y").at(0), real[3] - stated[3], 1e-9 * test.cell);
        EXPECT_NE(stated[0], real[0]);
        EXPECT_EQ(truthNumbers(truth, "cell_size"), std::vector<double>{test.cell});
        EXPECT_EQ(truthNumbers(truth, "noise_sigma"), std::vector<double>{test.noise});
        ASSERT_TRUE(model.readTracks(folder.file("tracks.csv"), noFilters));
        const std::vector<molaPoint> rows = model.state().molaPoints;
        EXPECT_EQ(double(rows.size()), truthNumbers(truth, "points").at(0));
        for (const char* table : {"tracks.tab", "tracks.dbf"}) {
            ASSERT_TRUE(model.readTracks(folder.file(table), noFilters)) << table;
            ASSERT_EQ(model.state().molaPoints.size(), rows.size()) << table;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(model.state().molaPoints[i].trackIndex, rows[i].trackIndex) << table << " " << i;
                EXPECT_NEAR(model.state().molaPoints[i].x, rows[i].x, 1e-9) << table << " " << i;
                EXPECT_NEAR(model.state().molaPoints[i].y, rows[i].y, 1e-9) << table << " " << i;
                EXPECT_NEAR(model.state().molaPoints[i].elevation, rows[i].elevation, 1e-9) << table << " " << i;
            }
        }
        ASSERT_TRUE(model.readTiePoints(folder.file("ties.gpf")));
        EXPECT_EQ(double(model.state().tiePoints.size()), truthNumbers(truth, "tie_points").at(0));
    }
}

}  // namespace
}  // namespace kalvex::testing
