#pragma once
// How far a long run is, on one line of standard error that rewrites itself:
// the stage or round, the search in it, how far that search is and the time
// it has left. It shows only when standard error is a terminal and the run
// has lasted about two seconds, and it is cleared before the run ends, so
// that consoles, logs and runs of many rasters never see it. It is the only
// text kalvex writes to standard error.
#include <chrono>
#include <ostream>
#include <string>

namespace kalvex {

using progressClock = std::chrono::steady_clock;

// A run begins (at runStart). The line is shown on standard error only when
// it is a terminal; the console's text then clears it before it is written,
// so that a terminal showing both never mixes them.
void beginProgress(std::ostream& console, progressClock::time_point runStart = progressClock::now());
// What the run does now: "Stage 3 of at most 20", "Robust round 2", with the
// search in it ("translation", "rotation").
void progressStage(const std::string& stage, const std::string& search);
// How far the search of the stage is, from 0 to 1. Called from the thread
// that runs the stage only.
void progressShare(double share);
// Clears the line, if one was shown, and leaves the console as it was.
void endProgress();

// The text of the line: the stage and its search, the share done, and the
// time left when it can be told.
std::string progressText(const std::string& stage, const std::string& search, double share,
                         double searchSeconds);

}  // namespace kalvex
