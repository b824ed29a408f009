// The progress line: silent unless standard error is a terminal; on one, a
// line rewritten in place that the console's text clears before it is written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "output/progressLine.h"

namespace kalvex {
namespace {

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
    std::streambuf* const buffer = console.rdbuf();
    {
        const standardErrorTo redirected(::fileno(file));
        reportSomeProgress(console);
    }
    EXPECT_EQ(::lseek(::fileno(file), 0, SEEK_END), 0);
    EXPECT_EQ(console.rdbuf(), buffer);
    EXPECT_EQ(console.str(), "x-translation: 0\n");
    std::fclose(file);
}

TEST(ProgressLine, OnATerminalRewritesOneLineAndClearsItBeforeTheConsolesText) {
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    const int screen = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
    ASSERT_GE(screen, 0);
    std::ostringstream console;
    const standardErrorTo redirected(screen);
    beginProgress(console, progressClock::now() - std::chrono::minutes(1));
    progressStage("Stage 3 of at most 20", "translation");
    progressShare(0.5);
    console << "x-translation: 0" << std::endl;
    char text[512];
    const ssize_t count = ::read(terminal, text, sizeof text);
    endProgress();
    // Drawn as the stage begins; the share that follows within a fifth of a second waits.
    const std::string line = "Stage 3 of at most 20, translation:   0 %";
    const std::string blank = "\r" + std::string(line.size(), ' ') + "\r";
    EXPECT_EQ(std::string(text, std::size_t(std::max<ssize_t>(count, 0))), "\r" + line + blank);
    EXPECT_EQ(console.str(), "x-translation: 0\n");
    ::close(screen);
    ::close(terminal);
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
