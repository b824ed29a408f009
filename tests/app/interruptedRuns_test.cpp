// Runs killed while they write, runs started on outputs that another run is
// writing, and a run that loses an output: the outputs of a base are always
// those of one whole run, and a run that lost one says so. A
// forked child runs kalvex with a hook that stops it (SIGSTOP) at a named
// stop point, where the test signals it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/runDriver.h"
#include "output/stopPoints.h"
#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

using fileContents = std::map<std::string, std::string>;

// The outputs in a folder with their bytes; with leftovers, also the temporary files and the lock.
fileContents outputsIn(const std::string& folder, bool leftovers = false) {
    fileContents contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const bool leftover = name == "dem.lock" || entry.path().extension() == ".partial";
        if (name.rfind("dem", 0) == 0 && name != "dem.tif" && leftover == leftovers)
            contents[name] = readTextFile(entry.path().string());
    }
    return contents;
}

const char* chosenStopPoint = "";

// Starts an alignment in a folder; its process once it stands at the stop point, else -1.
pid_t heldRun(const std::string& folder, const char* stopPoint, const char* stages) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || ::chdir(folder.c_str()) != 0) ::_exit(126);
        chosenStopPoint = stopPoint;
        stopPointReached = [](const char* point) {  // once: after the test's signal the run goes on
            if (std::strcmp(point, chosenStopPoint) == 0 && (chosenStopPoint = "")) std::raise(SIGSTOP);
        };
        const char* argv[] = {"kalvex", "dem.tif", "tracks.csv", "ties.gpf", "-s", stages, "-od", "-oe", "-os"};
        ::_exit(runKalvex(9, argv, std::cout));
    }
    int status = 0;
    return ::waitpid(child, &status, WUNTRACED) == child && WIFSTOPPED(status) ? child : -1;
}

// Signals a held run, lets it go on, and returns the signal that ended it (0: it exited).
int endRun(pid_t run, int signal) {
    ::kill(run, signal);
    ::kill(run, SIGCONT);
    int status = 0;
    ::waitpid(run, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// A scene of 300 rows, whose aligned GeoTIFF is written in two rows of blocks.
class interruptedRuns : public ::testing::Test {
protected:
    interruptedRuns() {
        makeSceneIn(folder.path(), {"--width", "120", "--height", "300", "--tracks", "6", "--points", "600"});
    }
    commandResult run(const char* stages) const {  // as a held run does
        return runProgram({kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf", "-s", stages, "-od", "-oe", "-os"},
                          folder.path());
    }

    scratchFolder folder{"interrupted"};
};

TEST_F(interruptedRuns, aRunKilledWhileWritingLeavesTheLastRunsOutputsAndTheNextRunClearsUp) {
    ASSERT_EQ(run("1").status, 0);
    const fileContents before = outputsIn(folder.path());
    const pid_t killed = heldRun(folder.path(), "alignedRasterBlock", "2");
    ASSERT_NE(killed, -1);
    EXPECT_EQ(endRun(killed, SIGTERM), SIGTERM);
    EXPECT_TRUE(outputsIn(folder.path()) == before);
    EXPECT_FALSE(outputsIn(folder.path(), true).empty());
    ASSERT_EQ(run("2").status, 0);
    EXPECT_TRUE(outputsIn(folder.path(), true).empty());
}

TEST_F(interruptedRuns, aRunSignalledWhilePuttingItsOutputsInPlaceFinishesThatFirst) {
    const pid_t stopped = heldRun(folder.path(), "placingOutputs", "2");
    ASSERT_NE(stopped, -1);
    EXPECT_EQ(endRun(stopped, SIGTERM), SIGTERM);
    const fileContents placed = outputsIn(folder.path());
    EXPECT_EQ(placed.size(), 10u);  // three scripts, their images, report, table, raster and summary
    ASSERT_EQ(run("2").status, 0);
    EXPECT_TRUE(placed == outputsIn(folder.path()));
}

TEST_F(interruptedRuns, aSecondRunOnTheSameOutputsEndsAtOnceUntilTheFirstIsGone) {
    const pid_t first = heldRun(folder.path(), "alignedRasterBlock", "1");
    ASSERT_NE(first, -1);
    const commandResult second = run("2");
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.standardOutput, "Error: Another run is writing these outputs and holds the lock dem.lock\n");
    EXPECT_TRUE(outputsIn(folder.path()).empty());
    EXPECT_EQ(runProgram({kalvexPath(), "dem.tif", "tracks.csv", "-as", "_b"}, folder.path()).status, 0);
    EXPECT_EQ(endRun(first, SIGKILL), SIGKILL);
    EXPECT_EQ(run("2").status, 0);
}

// A per-shot table that cannot be written is lost like any other output: the run says so and ends with status 1.
TEST_F(interruptedRuns, aPerShotTableThatCannotBeWrittenFailsTheRun) {
    // A folder that holds a file stands where the table is written until it is complete.
    std::filesystem::create_directories(folder.file("dem_errors.csv.partial/kept"));
    const commandResult lost = run("1");
    EXPECT_EQ(lost.status, 1);
    EXPECT_NE(lost.standardOutput.find("\nWarning: Could not create the output file dem_errors.csv\n"),
              std::string::npos);
}

}  // namespace
}  // namespace kalvex::testing
