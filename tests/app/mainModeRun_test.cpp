// End-to-end runs of kalvex in the main mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

// Scenes whose outcome can be worked out by hand; the runs and what they
// print and write stand in tests/data/expected/mainModeRuns.txt.
TEST(MainModeRun, EveryRunOfTheTranscriptPrintsAndWritesAsRecorded) {
    scratchFolder folder("mainmoderuns");
    std::filesystem::copy(testDataDir() + "/runs/offset", folder.path());
    writePlaneRaster(folder.file("dem.tif"), 7);
    const std::string expected = readTextFile(testDataDir() + "/expected/mainModeRuns.txt");
    const std::string replayed = replayRuns(expected, folder.path());
    EXPECT_EQ(replayed, expected);
}

}  // namespace
}  // namespace kalvex::testing
