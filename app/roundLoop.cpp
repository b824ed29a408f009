#include "app/roundLoop.h"

namespace kalvex {

roundsRun runRounds(const roundSteps& steps) {
    roundsRun run;
    for (int round = 1;; ++round) {
        steps.open(round);
        const roundOutcome outcome = steps.searchAndApply(round);
        run.rounds = round;
        run.measureLost = outcome.measureLost;
        run.settled = outcome.settled && !outcome.measureLost;
        if (run.measureLost) break;
        const bool goOn = !run.settled || steps.judgeSettled();
        if (!goOn) break;
        // Out of rounds with more to do: the position has not settled.
        if (round >= steps.mostRounds) {
            run.settled = false;
            break;
        }
    }
    return run;
}

}  // namespace kalvex
