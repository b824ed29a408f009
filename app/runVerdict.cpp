#include "app/runVerdict.h"

#include <cmath>
#include <sstream>

namespace kalvex {

namespace {

constexpr std::size_t handfulOfShots = 10;
constexpr std::size_t tracksToJudge = 3;
constexpr double openCells = 0.25;
// A step shorter than this many standard errors is within the scatter.
constexpr double stepBeyondScatter = 3.0;

template <typename value>
std::string textOf(const value& number) {
    std::ostringstream text;
    text << number;
    return text.str();
}

}  // namespace

const char* const offsetBeyondRangeLine =
    "Warning: The best translation of the first stage lies on the edge of its range, the raster may be off by more "
    "than the range (-p widens it)";

bool notSettled(bool converged, bool measureLost) { return !converged || measureLost; }

bool fewShots(std::size_t countedShots, std::size_t shotsAtStart) {
    return countedShots < handfulOfShots || 2 * countedShots < shotsAtStart;
}

bool fewTracks(std::size_t countedTracks) { return countedTracks < tracksToJudge; }

bool positionNotFixed(const positionUncertainty& uncertainty) {
    return !(uncertainty.standardError[0] <= openCells) || !(uncertainty.standardError[1] <= openCells);
}

bool awayFromBestPosition(const positionUncertainty& uncertainty) {
    const double step = std::hypot(uncertainty.step[0], uncertainty.step[1]);
    const double scatter = std::hypot(uncertainty.standardError[0], uncertainty.standardError[1]);
    return step > openCells && step > stepBeyondScatter * scatter;
}

verdictReasons reasonsFor(const alignmentEvidence& evidence) {
    verdictReasons reasons;
    reasons.notSettled = notSettled(evidence.converged, evidence.measureLost);
    reasons.offsetBeyondRange = evidence.firstTranslationOnRangeEdge;
    reasons.betterPositionElsewhere = evidence.betterPositionCells > 0.0;
    reasons.fewShots = fewShots(evidence.countedShots, evidence.shotsAtStart);
    reasons.fewTracks = !reasons.fewShots && fewTracks(evidence.countedTracks);
    // Precision and the best position mean nothing on too few shots or tracks.
    const bool enough = !reasons.fewShots && !reasons.fewTracks;
    reasons.positionNotFixed = enough && positionNotFixed(evidence.uncertainty);
    reasons.awayFromBestPosition = enough && !reasons.positionNotFixed && awayFromBestPosition(evidence.uncertainty);
    reasons.surfaceNotDetermined = evidence.surfaceLeftOpen;
    return reasons;
}

bool anyReason(const verdictReasons& r) {
    return r.notSettled || r.offsetBeyondRange || r.betterPositionElsewhere || r.awayFromBestPosition || r.fewShots ||
           r.fewTracks || r.positionNotFixed || r.surfaceNotDetermined;
}

const char* verdictName(const verdictReasons& reasons) { return anyReason(reasons) ? "doubtful" : "good"; }

std::vector<std::string> reasonLines(const verdictReasons& reasons, const alignmentEvidence& evidence) {
    std::vector<std::string> lines;
    const std::string stages = textOf(evidence.stages);
    const std::string plural = evidence.stages == 1 ? "" : "s";
    if (reasons.offsetBeyondRange) lines.emplace_back(offsetBeyondRangeLine);
    if (reasons.notSettled && evidence.measureLost)
        lines.push_back("Warning: Robust round " + stages +
                        " could compare no shots at any position, the raster was left where it was");
    else if (reasons.notSettled && evidence.robust)
        lines.push_back("Warning: The robust rounds did not settle within " + stages + " round" + plural +
                        ", the alignment may not be finished");
    else if (reasons.notSettled)
        lines.push_back("Warning: The stages did not settle within " + stages + " stage" + plural +
                        ", the alignment may not be finished (-s allows more)");
    if (reasons.betterPositionElsewhere)
        lines.push_back("Warning: A robust search of the same shots finds a clearly better position " +
                        textOf(evidence.betterPositionCells) +
                        " cells from where the stages ended, they may have stopped in a wrong valley (try -robust)");
    if (reasons.fewShots && evidence.countedShots == 0)
        lines.emplace_back("Warning: No shot counts at the end (every track at weight 0 or no shot on the raster), "
                           "nothing holds the alignment");
    else if (reasons.fewShots && evidence.countedShots < handfulOfShots)
        lines.push_back("Warning: Only " + textOf(evidence.countedShots) +
                        (evidence.countedShots == 1 ? " shot counts" : " shots count") +
                        " at the end, too few to hold the alignment");
    else if (reasons.fewShots)
        lines.push_back("Warning: Only " + textOf(evidence.countedShots) + " of the " +
                        textOf(evidence.shotsAtStart) +
                        " shots on the raster at the start count at the end, the alignment stands on those that "
                        "agreed with it");
    if (reasons.fewTracks)
        lines.push_back("Warning: Only " + textOf(evidence.countedTracks) +
                        (evidence.countedTracks == 1 ? " track counts" : " tracks count") +
                        " at the end, too few to tell a bad track from a good one or how precise the alignment is");
    const positionVector& error = evidence.uncertainty.standardError;
    if (reasons.positionNotFixed)
        lines.push_back("Warning: The shots hardly fix the translation, standard error " + textOf(error[0]) +
                        " cells along x and " + textOf(error[1]) +
                        " along y (flat ground, shots along one direction, or tracks that disagree)");
    if (reasons.awayFromBestPosition)
        lines.push_back("Warning: The least squares of the shots put the best position " +
                        textOf(std::hypot(evidence.uncertainty.step[0], evidence.uncertainty.step[1])) +
                        " cells from where the alignment ended");
    if (reasons.surfaceNotDetermined)
        lines.emplace_back("Warning: The shots do not determine a fitted surface across the raster, the part they "
                           "leave open was not fitted");
    return lines;
}

std::vector<std::string> reasonNames(const verdictReasons& reasons) {
    std::vector<std::string> names;
    const std::pair<bool, const char*> all[] = {{reasons.offsetBeyondRange, "offsetBeyondRange"},
                                                {reasons.notSettled, "notSettled"},
                                                {reasons.betterPositionElsewhere, "betterPositionElsewhere"},
                                                {reasons.fewShots, "fewShots"},
                                                {reasons.fewTracks, "fewTracks"},
                                                {reasons.positionNotFixed, "positionNotFixed"},
                                                {reasons.awayFromBestPosition, "awayFromBestPosition"},
                                                {reasons.surfaceNotDetermined, "surfaceNotDetermined"}};
    for (const auto& [given, name] : all)
        if (given) names.emplace_back(name);
    return names;
}

positionVector errorSizes(const positionUncertainty& uncertainty) {
    positionVector sizes{};
    for (std::size_t k = 0; k < sizes.size(); ++k)
        sizes[k] = std::hypot(uncertainty.standardError[k], uncertainty.step[k]);
    return sizes;
}

}  // namespace kalvex
