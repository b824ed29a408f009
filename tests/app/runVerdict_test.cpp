// The verdict on a run: each reason decided by its own rule, told by one
// warning line and named once in the summary.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/runVerdict.h"

namespace kalvex {
namespace {

positionUncertainty withErrors(double x, double y, double stepX = 0.0, double stepY = 0.0) {
    positionUncertainty uncertainty;
    uncertainty.standardError = {x, y, 0.0};
    uncertainty.step = {stepX, stepY, 0.0};
    return uncertainty;
}

TEST(RunVerdict, EachRuleDecidesItsOwnReason) {
    // A round that measured nothing left the raster where it was.
    EXPECT_TRUE(!notSettled(true, false) && notSettled(false, false) && notSettled(true, true));
    struct shotCase { std::size_t counted, atStart; bool few; };
    for (const shotCase& c : {shotCase{10, 20, false}, {9, 9, true}, {0, 0, true}, {12, 1497, true}, {70, 140, false}})
        EXPECT_EQ(fewShots(c.counted, c.atStart), c.few) << c.counted << " of " << c.atStart;
    EXPECT_TRUE(fewTracks(2) && !fewTracks(3));
    struct precisionCase { positionUncertainty uncertainty; bool open, away; };
    for (const precisionCase& c : {precisionCase{withErrors(0.25, 0.01), false, false},
                                   {withErrors(0.01, 0.26), true, false},
                                   {withErrors(HUGE_VAL, 0.01), true, false},
                                   {withErrors(notANumber, 0.01), true, false},
                                   {withErrors(0.02, 0.02, 0.2, 0.2), false, true},    // 0.28 cell, ten errors away
                                   {withErrors(0.2, 0.2, 0.3, 0.0), false, false},     // within three errors
                                   {withErrors(0.01, 0.01, 0.2, 0.0), false, false}}) {  // within a quarter cell
        EXPECT_EQ(positionNotFixed(c.uncertainty), c.open) << c.uncertainty.standardError[0];
        EXPECT_EQ(awayFromBestPosition(c.uncertainty), c.away) << c.uncertainty.step[0];
    }
}

alignmentEvidence soundRun() {
    alignmentEvidence evidence;
    evidence.stages = 7;
    evidence.converged = true;
    evidence.shotsAtStart = evidence.countedShots = 2000;
    evidence.countedTracks = 12;
    evidence.uncertainty = withErrors(0.01, 0.02);
    return evidence;
}

// A sound run is good and prints nothing; each flaw alone makes it doubtful with exactly one line and one name.
TEST(RunVerdict, EachReasonAloneGivesOneWarningAndOneName) {
    EXPECT_STREQ(verdictName(reasonsFor(soundRun())), "good");
    EXPECT_TRUE(reasonLines(reasonsFor(soundRun()), soundRun()).empty());
    struct flawCase { const char* name; void (*spoil)(alignmentEvidence&); const char* line; };
    const std::vector<flawCase> flaws{
        {"offsetBeyondRange", [](alignmentEvidence& e) { e.firstTranslationOnRangeEdge = true; },
         "Warning: The best translation of the first stage lies on the edge of its range"},
        {"notSettled", [](alignmentEvidence& e) { e.converged = false; }, "Warning: The stages did not settle"},
        {"notSettled", [](alignmentEvidence& e) { e.converged = false, e.robust = true; },
         "Warning: The robust rounds did not settle within 7 rounds"},
        {"notSettled", [](alignmentEvidence& e) { e.measureLost = true, e.robust = true; },
         "Warning: Robust round 7 could compare no shots at any position"},
        {"betterPositionElsewhere", [](alignmentEvidence& e) { e.betterPositionCells = 25.5; },
         "Warning: A robust search of the same shots finds a clearly better position 25.5 cells"},
        {"fewShots", [](alignmentEvidence& e) { e.countedShots = 0; }, "Warning: No shot counts at the end"},
        {"fewShots", [](alignmentEvidence& e) { e.countedShots = 1; }, "Warning: Only 1 shot counts at the end"},
        {"fewShots", [](alignmentEvidence& e) { e.countedShots = 12; }, "Warning: Only 12 of the 2000 shots"},
        {"fewTracks", [](alignmentEvidence& e) { e.countedTracks = 1; }, "Warning: Only 1 track counts at the end"},
        {"positionNotFixed", [](alignmentEvidence& e) { e.uncertainty = withErrors(3.5, HUGE_VAL); },
         "Warning: The shots hardly fix the translation, standard error 3.5 cells along x and inf along y"},
        {"awayFromBestPosition", [](alignmentEvidence& e) { e.uncertainty = withErrors(0.01, 0.01, 0.6, 0.8); },
         "Warning: The least squares of the shots put the best position 1 cells"},
        {"surfaceNotDetermined", [](alignmentEvidence& e) { e.surfaceLeftOpen = true; },
         "Warning: The shots do not determine a fitted surface across the raster"}};
    for (const flawCase& flaw : flaws) {
        alignmentEvidence evidence = soundRun();
        flaw.spoil(evidence);
        const verdictReasons reasons = reasonsFor(evidence);
        EXPECT_STREQ(verdictName(reasons), "doubtful") << flaw.line;
        EXPECT_EQ(reasonNames(reasons), std::vector<std::string>{flaw.name}) << flaw.line;
        const std::vector<std::string> lines = reasonLines(reasons, evidence);
        ASSERT_EQ(lines.size(), 1u) << flaw.line;
        EXPECT_EQ(lines[0].rfind(flaw.line, 0), 0u) << lines[0];
    }
}

// Too few shots or tracks make the precision meaningless: it is not told as a reason of its own.
TEST(RunVerdict, TooFewShotsOrTracksHideThePrecisionTheyCannotCarry) {
    alignmentEvidence evidence = soundRun();
    evidence.countedTracks = 2;
    evidence.uncertainty = withErrors(HUGE_VAL, HUGE_VAL, 5.0, 5.0);
    EXPECT_EQ(reasonNames(reasonsFor(evidence)), std::vector<std::string>{"fewTracks"});
}

}  // namespace
}  // namespace kalvex
