// The round loop both alignments run: what it calls, in which order, and what it reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/roundLoop.h"

namespace kalvex {
namespace {

// A script gives each round's outcome (S settled, - not settled, L a lost measure, which says settled too) and
// each judgement's answer in turn (y changed something, n nothing). The trace shows each round opened, what it
// found, and each judgement (j), then the rounds run and what the loop reports.
TEST(RoundLoop, RunsUntilARoundSettlesAndItsJudgementChangesNothingOrTheRoundsRunOut) {
    struct row { int mostRounds; std::string outcomes, answers, expected; };
    for (const row& test : std::vector<row>{
             {16, "S", "n", "1Sj 1 settled"},                  // settled at once, nothing to judge
             {16, "-S", "n", "1-2Sj 2 settled"},               // judged only once a round has settled
             {16, "SSS", "yyn", "1Sj2Sj3Sj 3 settled"},        // a judgement that changes something goes on
             {2, "SS", "yy", "1Sj2Sj 2"},                      // out of rounds with a judgement pending
             {3, "---", "", "1-2-3- 3"},                       // out of rounds unsettled
             {16, "-L", "", "1-2L 2 lost"},                    // a lost measure ends the loop, settled or not
             {16, "L", "", "1L 1 lost"},
             {0, "-", "", "1- 1"},                             // at least one round is run
             {-3, "S", "y", "1Sj 1"},
             {-3, "S", "n", "1Sj 1 settled"}}) {
        std::string trace;
        std::size_t judged = 0;
        roundSteps steps;
        steps.mostRounds = test.mostRounds;
        steps.open = [&](int round) { trace += std::to_string(round); };
        steps.searchAndApply = [&](int round) {
            const char outcome = test.outcomes.at(std::size_t(round) - 1);
            trace += outcome;
            return roundOutcome{outcome != '-', outcome == 'L'};
        };
        steps.judgeSettled = [&] {
            trace += 'j';
            return test.answers.at(judged++) == 'y';
        };
        const roundsRun run = runRounds(steps);
        EXPECT_EQ(trace + " " + std::to_string(run.rounds) + (run.settled ? " settled" : "") +
                      (run.measureLost ? " lost" : ""),
                  test.expected)
            << test.outcomes << " / " << test.answers;
    }
}

}  // namespace
}  // namespace kalvex
