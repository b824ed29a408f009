#pragma once
// The loop both alignments run: each round searches and applies its moves,
// until a round leaves the raster settled and the judgement of the tracks
// that follows finds nothing more to change, or the rounds run out. The
// mode gives the steps; what the loop reports is what the console, the
// summary and the verdict read.
#include <functional>

namespace kalvex {

// What a round found: whether it left the raster settled, and whether it
// could measure anything at all.
struct roundOutcome {
    bool settled = false;
    bool measureLost = false;  // nothing is settled, and no round after it could do better
};

struct roundSteps {
    int mostRounds = 1;  // at least one round is run
    // The round's header, and whatever comes before its search.
    std::function<void(int round)> open;
    std::function<roundOutcome(int round)> searchAndApply;
    // Once a round has settled: judges the tracks (or the moves made) and
    // says whether that changed enough for the rounds to go on.
    std::function<bool()> judgeSettled;
};

struct roundsRun {
    int rounds = 0;
    bool settled = false;  // the last round settled, and its judgement changed nothing
    bool measureLost = false;
};

roundsRun runRounds(const roundSteps& steps);

}  // namespace kalvex
