// Runs killed while they write, and runs started on outputs that another run
// is writing: the outputs of a base are always those of one whole run. The
// test build of kalvex holds a run at a named stop point, where the test
// signals it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

using fileContents = std::map<std::string, std::string>;

bool isLeftBehind(const std::string& name) {
    const std::string partial = ".partial";
    return name == "dem.lock" ||
           (name.size() > partial.size() && name.compare(name.size() - partial.size(), partial.size(), partial) == 0);
}

// The files a run may have written, "dem_" outputs, their temporary files and the lock.
fileContents outputsIn(const std::string& folder) {
    fileContents contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("dem_", 0) == 0 || name == "dem.lock") contents[name] = readTextFile(entry.path().string());
    }
    return contents;
}

// The test build of kalvex, run in a folder and held at a stop point.
class heldRun {
public:
    heldRun(const std::string& folder, const char* stopPoint, const std::vector<std::string>& arguments) {
        const std::string program = std::string(KALVEX_BINARY_DIR) + "/stoppableKalvex";
        child = ::fork();
        if (child == 0) {
            const int discarded = ::open("/dev/null", O_WRONLY);
            ::dup2(discarded, 1);
            ::dup2(discarded, 2);
            ::setenv("KALVEX_STOP_AT", stopPoint, 1);
            if (::chdir(folder.c_str()) != 0) ::_exit(126);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        int status = 0;
        held = ::waitpid(child, &status, WUNTRACED) == child && WIFSTOPPED(status);
    }
    // Signals the held run, lets it go on, and returns the signal that ended it (0: it exited).
    int end(int signal) {
        ::kill(child, signal);
        ::kill(child, SIGCONT);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    bool held = false;

private:
    pid_t child = -1;
};

const std::vector<std::string> oneStage{"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-od", "-oe", "-os"};
const std::vector<std::string> twoStages{"dem.tif", "tracks.csv", "ties.gpf", "-s", "2", "-od", "-oe", "-os"};

// A scene of 300 rows: the aligned GeoTIFF is written in two rows of blocks.
class interruptedRuns : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scene = std::make_unique<scratchFolder>("interruptedscene");
        ASSERT_EQ(makeSceneIn(scene->path(), {"--width", "120", "--height", "300", "--tracks", "6", "--points", "600",
                                              "--seed", "4"})
                      .status,
                  0);
    }
    static void TearDownTestSuite() { scene.reset(); }
    interruptedRuns() {
        for (const char* input : {"dem.tif", "tracks.csv", "ties.gpf"})
            std::filesystem::copy_file(scene->file(input), folder.file(input));
    }
    int run(const std::vector<std::string>& arguments, const std::string& expectedConsole = "") const {
        std::vector<std::string> command{kalvexPath()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const commandResult result = runProgram(command, folder.path());
        if (!expectedConsole.empty()) {
            EXPECT_EQ(result.standardOutput, expectedConsole);
        }
        return result.status;
    }

    static inline std::unique_ptr<scratchFolder> scene;
    scratchFolder folder{"interrupted"};
};

TEST_F(interruptedRuns, aRunKilledWhileWritingLeavesTheLastRunsOutputsAndTheNextRunClearsUp) {
    ASSERT_EQ(run(oneStage), 0);
    const fileContents before = outputsIn(folder.path());
    heldRun killed(folder.path(), "alignedRasterBlock", twoStages);
    ASSERT_TRUE(killed.held);
    EXPECT_EQ(killed.end(SIGTERM), SIGTERM);
    fileContents after = outputsIn(folder.path());
    for (const auto& [name, bytes] : before) EXPECT_TRUE(after[name] == bytes) << name << " changed";
    for (const auto& [name, bytes] : after) EXPECT_TRUE(before.count(name) == 1 || isLeftBehind(name)) << name;
    ASSERT_EQ(run(twoStages), 0);
    for (const auto& [name, bytes] : outputsIn(folder.path())) EXPECT_FALSE(isLeftBehind(name)) << name;
}

TEST_F(interruptedRuns, aRunSignalledWhilePuttingItsOutputsInPlaceFinishesThatFirst) {
    heldRun stopped(folder.path(), "placingOutputs", twoStages);
    ASSERT_TRUE(stopped.held);
    EXPECT_EQ(stopped.end(SIGTERM), SIGTERM);
    const fileContents placed = outputsIn(folder.path());
    EXPECT_EQ(placed.size(), 10u);  // three scripts, their images, report, table, raster and summary
    ASSERT_EQ(run(twoStages), 0);
    EXPECT_TRUE(placed == outputsIn(folder.path()));
}

TEST_F(interruptedRuns, aSecondRunOnTheSameOutputsEndsAtOnceUntilTheFirstIsGone) {
    heldRun first(folder.path(), "alignedRasterBlock", oneStage);
    ASSERT_TRUE(first.held);
    EXPECT_EQ(run(twoStages, "Error: Another run is writing these outputs and holds the lock dem.lock\n"), 1);
    for (const auto& [name, bytes] : outputsIn(folder.path())) EXPECT_TRUE(isLeftBehind(name)) << name;
    std::vector<std::string> otherBase = twoStages;
    otherBase.insert(otherBase.end(), {"-as", "_b"});
    EXPECT_EQ(run(otherBase), 0);
    EXPECT_EQ(first.end(SIGKILL), SIGKILL);
    EXPECT_EQ(run(twoStages), 0);
}

}  // namespace
}  // namespace kalvex::testing
