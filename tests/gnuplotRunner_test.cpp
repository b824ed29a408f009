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

// The scripts' load lines fill the pipe many times over, so most are written after gnuplot has gone.
TEST(GnuplotRunner, MissingOrGoneAtOnceItLeavesTheRunToFinish) {
    testing::scratchFolder folder("gnuplotrunner");
    const std::vector<std::string> scripts(5000, folder.file(std::string(100, 's')));
    struct row { const char* program; std::string console; };
    for (const row& test : {row{nullptr, "Warning: gnuplot could not be started, no PNG images were made\n"},
                            row{"#!/bin/sh\nexit 0\n", ""}}) {
        if (test.program != nullptr) {
            testing::writeTextFile(folder.file("gnuplot"), test.program);
            ::chmod(folder.file("gnuplot").c_str(), 0755);
        }
        const searchPathOf onlyTheFolder(folder.path());
        std::ostringstream console;
        runGnuplot(scripts, console);
        EXPECT_EQ(console.str(), test.console);
    }
}

}  // namespace
}  // namespace kalvex
