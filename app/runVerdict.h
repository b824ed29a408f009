#pragma once
// Whether a run can stand behind its alignment: good, doubtful with its
// reasons, or failed. Each reason is decided by a small rule of its own from
// what the alignment left; a doubtful run prints one warning line per reason.
#include <cstddef>
#include <string>
#include <vector>

#include "model/evaluation/positionUncertainty.h"

namespace kalvex {

// What an alignment leaves that bears on whether it can be trusted.
struct alignmentEvidence {
    bool robust = false;
    int stages = 0;  // stages or rounds run
    bool converged = false;
    bool measureLost = false;  // a robust round could measure no candidate
    bool firstTranslationOnRangeEdge = false;
    std::size_t shotsAtStart = 0;   // with a model elevation before the alignment
    std::size_t countedShots = 0;   // with a model elevation and a track weight above 0 at the end
    std::size_t countedTracks = 0;  // with such a shot
    positionUncertainty uncertainty;
    double betterPositionCells = 0.0;  // how far a robust probe found a clearly better position; 0: none
    bool surfaceLeftOpen = false;      // a fitted surface was reduced or refused
};

struct verdictReasons {
    bool notSettled = false;
    bool offsetBeyondRange = false;
    bool betterPositionElsewhere = false;
    bool awayFromBestPosition = false;
    bool fewShots = false;
    bool fewTracks = false;
    bool positionNotFixed = false;
    bool surfaceNotDetermined = false;
};

// The stages or rounds ran out before the position settled, or a round had nothing to measure.
bool notSettled(bool converged, bool measureLost);
// Fewer shots than a handful hold the position, or none (every track at
// weight 0), or fewer than half of those the run began with: shots removed
// for disagreeing with a position leave those that agree with it, right or not.
bool fewShots(std::size_t countedShots, std::size_t shotsAtStart);
// With fewer than three tracks no track can be told bad, nor the scatter between tracks judged.
bool fewTracks(std::size_t countedTracks);
// The terrain under the shots leaves the translation open by more than a quarter of a cell.
bool positionNotFixed(const positionUncertainty& uncertainty);
// The shots' own least squares put the best position well away from where the alignment stopped.
bool awayFromBestPosition(const positionUncertainty& uncertainty);

verdictReasons reasonsFor(const alignmentEvidence& evidence);
bool anyReason(const verdictReasons& reasons);

// "good" or "doubtful" (a run left with nothing to judge is "failed", which the run summary tells).
const char* verdictName(const verdictReasons& reasons);

// One "Warning: " line per reason.
std::vector<std::string> reasonLines(const verdictReasons& reasons, const alignmentEvidence& evidence);
// The reasons as the run summary names them.
std::vector<std::string> reasonNames(const verdictReasons& reasons);

// The expected size of the error of each parameter: the standard error and
// the distance to the least-squares best of the same shots together.
positionVector errorSizes(const positionUncertainty& uncertainty);

extern const char* const offsetBeyondRangeLine;

}  // namespace kalvex
