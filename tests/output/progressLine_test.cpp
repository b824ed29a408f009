// The progress line: silent unless standard error is a terminal; on one, a
// line rewritten in place that the console's text clears before it is written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/runDriver.h"
#include "output/progressLine.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

// A terminal's two ends: the one a program writes to and the one its screen reads.
struct pseudoTerminal {
    pseudoTerminal() {
        controller = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (controller >= 0 && ::grantpt(controller) == 0 && ::unlockpt(controller) == 0)
            // Never blocking: a run that draws its line for long fills no buffer nobody reads.
            screen = ::open(::ptsname(controller), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~pseudoTerminal() {
        if (screen >= 0) ::close(screen);
        if (controller >= 0) ::close(controller);
    }
    int controller = -1;
    int screen = -1;
};

// What the screen has received of what was written: a terminal hands each
// write on by itself and a little later, so one read may see only the first.
// Reads until the length looked for has come (or two seconds have passed),
// then takes whatever else follows at once.
std::string screenText(int controller, std::size_t lengthLookedFor) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        const bool waitingForMore = text.size() < lengthLookedFor && std::chrono::steady_clock::now() < deadline;
        pollfd screen{controller, POLLIN, 0};
        if (::poll(&screen, 1, waitingForMore ? 100 : 20) <= 0) {
            if (waitingForMore) continue;
            return text;
        }
        char part[512];
        const ssize_t count = ::read(controller, part, sizeof part);
        if (count <= 0) return text;
        text.append(part, std::size_t(count));
    }
}

// Standard error goes to the descriptor given while the object lives.
class standardErrorTo {
public:
    explicit standardErrorTo(int descriptor) : saved(::dup(STDERR_FILENO)) { ::dup2(descriptor, STDERR_FILENO); }
    ~standardErrorTo() {
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
    }

private:
    int saved;
};

// A run long under way: the line may show at once.
void reportSomeProgress(std::ostream& console) {
    beginProgress(console, progressClock::now() - std::chrono::minutes(1));
    progressStage("Stage 3 of at most 20", "translation");
    progressShare(0.5);
    console << "x-translation: 0" << std::endl;
    endProgress();
}

TEST(ProgressLine, WritesNothingWhenStandardErrorIsNoTerminal) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::ostringstream console;
    std::streambuf* const buffer = static_cast<std::ostream&>(console).rdbuf();
    {
        const standardErrorTo redirected(::fileno(file));
        reportSomeProgress(console);
    }
    EXPECT_EQ(::lseek(::fileno(file), 0, SEEK_END), 0);
    EXPECT_EQ(static_cast<std::ostream&>(console).rdbuf(), buffer);
    EXPECT_EQ(console.str(), "x-translation: 0\n");
    std::fclose(file);
}

TEST(ProgressLine, OnATerminalRewritesOneLineAndClearsItBeforeTheConsolesText) {
    const pseudoTerminal terminal;
    if (terminal.screen < 0) GTEST_SKIP() << "no pseudo-terminal can be opened here";
    std::ostringstream console;
    const standardErrorTo redirected(terminal.screen);
    beginProgress(console, progressClock::now() - std::chrono::minutes(1));
    const progressClock::time_point drawn = progressClock::now();
    progressStage("Stage 3 of at most 20", "translation");
    progressShare(0.5);
    const bool withinAFifth = progressClock::now() - drawn < std::chrono::milliseconds(200);
    console << "x-translation: 0" << std::endl;
    // Drawn as the stage begins; the share that follows within a fifth of a second waits.
    const std::string line = "Stage 3 of at most 20, translation:   0 %";
    const std::string blank = "\r" + std::string(line.size(), ' ') + "\r";
    const std::string expected = "\r" + line + blank;
    const std::string text = screenText(terminal.controller, expected.size());
    endProgress();
    EXPECT_EQ(console.str(), "x-translation: 0\n");
    if (!withinAFifth) GTEST_SKIP() << "the share came later than a fifth of a second after the stage";
    EXPECT_EQ(text, expected);
}

// (A string stream's own rdbuf() names its string buffer, not the one in force.)
// The summary keeps the console's lines through a buffer of its own, put in
// and taken out around the progress line's: a whole run on a terminal hands
// its console back as it found it and prints what it prints off one.
TEST(ProgressLine, AWholeRunOnATerminalLeavesItsConsoleAsARunOffOne) {
    testing::scratchFolder folder("progressrun");
    ASSERT_EQ(testing::makeSceneIn(folder.path(), {"--width", "60", "--height", "60", "--points", "300"}).status, 0);
    const auto consoleOfRun = [&](int standardError) {
        const std::string raster = folder.file("dem.tif"), tracks = folder.file("tracks.csv");
        const std::string ties = folder.file("ties.gpf");
        const char* argv[] = {"kalvex", raster.c_str(), tracks.c_str(), ties.c_str(), "-robust", "-od", "-oe", "-os"};
        std::ostringstream console;
        std::streambuf* const buffer = static_cast<std::ostream&>(console).rdbuf();
        const standardErrorTo redirected(standardError);
        EXPECT_EQ(runKalvex(8, argv, console), 0);
        EXPECT_EQ(static_cast<std::ostream&>(console).rdbuf(), buffer);
        return console.str();
    };
    const pseudoTerminal terminal;
    if (terminal.screen < 0) GTEST_SKIP() << "no pseudo-terminal can be opened here";
    const std::string onTerminal = consoleOfRun(terminal.screen);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(consoleOfRun(::fileno(file)), onTerminal);
    std::fclose(file);
    EXPECT_NE(onTerminal.find("Final RMS"), std::string::npos);
}

TEST(ProgressLine, TellsTheTimeLeftOnceThePaceIsKnown) {
    struct textCase {
        double share;
        double seconds;
        const char* text;
    };
    for (const textCase& c : {textCase{0.005, 1.0, "Robust round 2, turn:   0 %"},
                              textCase{0.25, 10.0, "Robust round 2, turn:  25 %, about 30 s left"},
                              textCase{1.0, 10.0, "Robust round 2, turn: 100 %"}})
        EXPECT_EQ(progressText("Robust round 2", "turn", c.share, c.seconds), c.text) << c.share;
}

}  // namespace
}  // namespace kalvex
