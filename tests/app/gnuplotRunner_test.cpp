// The gnuplot run at the end of every run: missing, or gone before it has read
// its input, it costs the images and a line, never the run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/gnuplotRunner.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

class searchPathOf {
public:
    explicit searchPathOf(const std::string& folder) : saved(std::getenv("PATH") ? std::getenv("PATH") : "") {
        ::setenv("PATH", folder.c_str(), 1);
    }
    ~searchPathOf() { ::setenv("PATH", saved.c_str(), 1); }
    searchPathOf(const searchPathOf&) = delete;
    searchPathOf& operator=(const searchPathOf&) = delete;

private:
    std::string saved;
};

// The script fills the pipe many times over, so most of it is written after
// gnuplot has gone; a gnuplot that fails costs the images as well.
TEST(GnuplotRunner, MissingGoneAtOnceOrFailingItLeavesTheRunToFinish) {
    testing::scratchFolder folder("gnuplotrunner");
    testing::writeTextFile(folder.file("map.gnu"), "set output 'map.png'\n" + std::string(4 << 20, '#') + "\n");
    const std::vector<plotJob> jobs{{folder.file("map.gnu"), "map.png", "map.png.partial"}};
    struct row { const char* program; bool rendered; std::string console; };
    for (const row& test : {row{nullptr, false, "Warning: gnuplot could not be started, no PNG images were made\n"},
                            row{"#!/bin/sh\nexit 0\n", true, ""},
                            row{"#!/bin/sh\ncat >/dev/null; exit 1\n", false,
                                "Warning: gnuplot failed, no PNG images were made\n"}}) {
        if (test.program != nullptr) {
            testing::writeTextFile(folder.file("gnuplot"), test.program);
            ::chmod(folder.file("gnuplot").c_str(), 0755);
        }
        const searchPathOf onlyTheFolder(folder.path());
        std::ostringstream console;
        EXPECT_EQ(runGnuplot(jobs, console), test.rendered);
        EXPECT_EQ(console.str(), test.console);
    }
}

}  // namespace
}  // namespace kalvex
