#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace kalvex {

// One script for gnuplot: its text is read from textPath, and the image it
// names, imagePath, is written to imageWrittenTo instead, so that the image
// can be put in place once gnuplot has finished it. The script file keeps
// its text.
struct plotJob {
    std::string textPath;
    std::string imagePath;
    std::string imageWrittenTo;
};

// Runs gnuplot once over the scripts, in order, and waits for it to end.
// True when it ended normally, which it does only when every script was
// rendered whole. Prints one warning when gnuplot cannot be found or started,
// and one when it fails.
bool runGnuplot(const std::vector<plotJob>& jobs, std::ostream& console);

}  // namespace kalvex
