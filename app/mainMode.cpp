#include "app/mainMode.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <ostream>
#include <set>

#include "app/outputFiles.h"
#include "app/plainStages.h"
#include "app/robustMode.h"
#include "app/roundLoop.h"
#include "app/runText.h"
#include "model/plain/trackFilter.h"
#include "model/raster/rasterExtent.h"
#include "model/robust/robustObjective.h"
#include "model/robust/robustStages.h"
#include "output/progressLine.h"

namespace kalvex {

namespace {

// Every stage searches rotations over the same span of angles, in degrees:
// a turn of a few degrees is the most a georeferenced DEM is expected to be off.
constexpr double lowestAngle = -5.0;
constexpr double highestAngle = 5.0;
constexpr double angleStep = 0.1;
// Each stage searches translations in a window this much narrower than the
// last, with a step as much finer: the grid keeps its size while it closes in.
constexpr double rangeShrink = 1.75;

// What changes from stage to stage: the translation range and increment
// close in, the mean-error limit of the track filter is lowered.
struct stageSearch {
    double padding;
    double increment;
    double maxError;
};

// A robust probe's position counts as clearly better when its measure is
// below this share of the measure where the stages ended, and it lies more
// than a cell away.
constexpr double clearlyBetter = 0.8;

// Tracks that keep failing lose weight, shots far off the mean error are
// removed, and the mean-error limit is lowered for the next stage.
void filterStage(alignmentModel& model, stageSearch& search, const runSettings& settings) {
    const trackFilterLimits limits{search.maxError, settings.sfMaxStdDev, settings.sfRemovePercent,
                                   settings.errorThreshold};
    const tracksFiltered filtered = filterTracks(model.searchSubject(), limits);
    model.takeWeights(filtered.weights);
    model.removePoints(filtered.outliers);
    search.maxError = lowerMaxError(model.console(), search.maxError, settings.sfDecrease, settings.sfCutoff);
}

// One stage's searches after the filtering: plane fit, translation, a
// narrower translation search for the next stage, and for HiRISE projects a
// rotation. Returns the RMS the stage ended with.
double searchStage(alignmentModel& model, stageSearch& search, const runSettings& settings, int stage,
                   alignmentRecord& record) {
    std::ostream& console = model.console();
    const std::string stageName =
        "Stage " + std::to_string(stage) + " of at most " + std::to_string(std::max(settings.maxStages, 1));
    progressStage(stageName, "translation");
    if (model.state().debug) console << "Beginning Linear Surface Fitting:" << std::endl;
    double rms = planeStage(model);
    const translationOutcome translation = translationStage(model, rms, search.padding, search.increment);
    rms = translation.rms;
    if (stage == 1) record.firstTranslationOnRangeEdge = translation.onRangeEdge;
    search.padding = search.padding / rangeShrink;
    search.increment = search.increment / rangeShrink;
    if (settings.hirise) {
        progressStage(stageName, "rotation");
        rms = rotationStage(model, rms, lowestAngle, highestAngle, angleStep).rms;
    }
    return rms;
}

// The stage loop: filtering (from the start stage on), then the stage's
// searches, until the RMS stops changing over the last k stages. The range
// only shrinks from stage to stage, so an offset beyond the first range is
// never reached: the record says when the first stage's best offset lay on
// its edge.
alignmentRecord runStages(alignmentModel& model, const runSettings& settings, double rms) {
    std::ostream& console = model.console();
    alignmentRecord record;
    stageSearch search{settings.padding, settings.delta, settings.sfMaxError};
    std::vector<double> rmsHistory{rms};
    const int lookback = std::max(settings.maxStages / 4, 2);
    roundSteps steps;
    steps.mostRounds = settings.maxStages;
    steps.open = [&](int stage) {
        console << std::endl;
        console << "Stage: " << stage << std::endl;
        if (stage > settings.sfStartStage && settings.sfRemovePercent > 0) filterStage(model, search, settings);
    };
    steps.searchAndApply = [&](int stage) {
        rmsHistory.push_back(searchStage(model, search, settings, stage, record));
        console << "Stage " << stage << " RMS: " << rmsHistory.back() << std::endl;
        if (stage == 1 && record.firstTranslationOnRangeEdge) console << offsetBeyondRangeLine << std::endl;
        const double change = stage >= lookback
                                  ? std::fabs(rmsHistory.back() - rmsHistory[std::size_t(stage - lookback)])
                                  : settings.convergeValue + 1.0;
        roundOutcome outcome;
        outcome.settled = change <= settings.convergeValue;
        // An RMS that is no number has no change to settle by.
        outcome.measureLost = std::isunordered(change, settings.convergeValue);
        return outcome;
    };
    // Nothing is judged once the RMS has settled: the stages filter their tracks before they search.
    steps.judgeSettled = [] { return false; };
    const roundsRun run = runRounds(steps);
    record.stages = run.rounds;
    record.converged = run.settled;
    return record;
}

// Tie points off the raster (a file in other units, or of another area) are
// moved all the same, and a file without a point moves nothing; the user
// should know.
void warnAboutTiePointsOffTheRaster(const alignmentModel& model, const std::string& tiePath) {
    const runState& state = model.state();
    std::ostream& console = model.console();
    if (state.tiePoints.empty())
        console << "Warning: " << tiePath << " holds no tie point, the run moves no tie coordinates" << std::endl;
    std::size_t outside = 0;
    for (const tiePoint& point : state.tiePoints)
        if (!liesOnRaster(state.raster, point.x, point.y)) ++outside;
    if (outside > 0)
        console << "Warning: " << outside << " of the " << state.tiePoints.size()
                << " tie points lie outside the raster" << std::endl;
}

// The precision of the stages' position: each shot counts with its track's
// weight, as in the RMS the stages lower.
positionUncertainty weightedUncertainty(const alignmentModel& model, bool withTurn) {
    const runState& state = model.state();
    std::vector<double> weights;
    weights.reserve(state.molaPoints.size());
    for (const molaPoint& point : state.molaPoints) {
        const double weight = state.trackWeights.of(point.trackIndex);
        weights.push_back(weight * weight);
    }
    const mapPosition centre = rasterCentre(state.raster);
    return estimatePosition(shotSensitivities(state.raster, state.molaPoints, weights, centre.x, centre.y), withTurn);
}

// The stages lower the weighted RMS and may stop in a valley of it that is
// not the right one: a robust search from where they began, over the same
// range, tells whether the same shots find a clearly better position
// elsewhere. Cells to that position, or 0.
double betterPositionElsewhere(const alignmentModel& model, const runSettings& settings) {
    const runState& state = model.state();
    const double cell = shorterCellSide(state.raster.transform);
    if (!(cell > 0.0) || !std::isfinite(cell)) return 0.0;
    progressStage("Checking the alignment", "robust search from the start");
    const mapPosition here = rasterCentre(state.raster);
    const double startX = 0.5 * (state.corners[0].x + state.corners[3].x) - here.x;
    const double startY = 0.5 * (state.corners[0].y + state.corners[3].y) - here.y;
    const robustShots shots = countedShots(state.molaPoints, state.trackWeights, unjudgedShare);
    const probeFound probe =
        probeRobustly(model.searchSubject(), shots, std::fmax(settings.padding, 0.0) / cell, startX, startY);
    return probe.cells > 1.0 && probe.there < clearlyBetter * probe.here ? probe.cells : 0.0;
}

// Prints one warning per reason to doubt the alignment, and keeps them.
void judgeAlignment(const alignmentModel& model, const runSettings& settings,
                    const std::vector<errorRecord>& finalErrors, std::size_t shotsAtStart, alignmentRecord& record) {
    const runState& state = model.state();
    alignmentEvidence evidence;
    evidence.shotsAtStart = shotsAtStart;
    evidence.robust = settings.robustAlignment;
    evidence.stages = record.stages;
    evidence.converged = record.converged;
    evidence.measureLost = record.measureLost;
    evidence.firstTranslationOnRangeEdge = record.firstTranslationOnRangeEdge;
    std::set<std::int32_t> tracks;
    for (const errorRecord& entry : finalErrors)
        if (state.trackWeights.of(entry.trackIndex) > 0.0) ++evidence.countedShots, tracks.insert(entry.trackIndex);
    evidence.countedTracks = tracks.size();
    evidence.uncertainty = record.uncertainty;
    evidence.betterPositionCells = record.betterPositionCells;
    evidence.surfaceLeftOpen = state.lineFitTold || state.quadraticLeftOpen;
    record.reasons = reasonsFor(evidence);
    for (const std::string& line : reasonLines(record.reasons, evidence)) model.console() << line << std::endl;
}

void writeScript(std::ostream& console, const std::string& path, std::vector<std::string>& scriptList,
                 runOutputs& outputs, bool& runFailed, const std::function<void(std::ostream&)>& write) {
    scriptList.push_back(path);
    outputFile script(path, console, &outputs);
    write(script.stream());
    if (!script.close()) runFailed = true;
}

}  // namespace

std::optional<alignmentRecord> runMainMode(alignmentModel& model, const runSettings& settings,
                                           const std::string& base, std::ostream& errorMapStream,
                                           std::vector<std::string>& scriptList, runOutputs& outputs,
                                           bool& runFailed, const std::function<void()>& finalFitMade) {
    const runState& state = model.state();
    std::ostream& console = model.console();
    if (!model.readTiePoints(settings.tiePath)) {
        console << "Tie Coordinate Read Unsuccessful" << std::endl;
        return std::nullopt;
    }
    // Ground point files may hold their angles in radians, also over a projected raster.
    if (state.raster.projected) {
        model.takeTiePointsOntoProjection();
    } else if (!settings.polarProjection && holdsOnlyAsRadians(state.raster, state.tiePoints)) {
        model.takeTiePointsAsRadians();
    }
    if (state.tiePointsInRadians)
        console << "Warning: The tie points lie off the raster as degrees and on it as radians, they are read and "
                   "written in radians"
                << std::endl;
    const bool degreesMinutesSeconds = state.raster.projected ? state.tiePointsProjected : !settings.polarProjection;
    model.writeTiePointTable(console, "Initial XYZ Coordinates", degreesMinutesSeconds);
    warnAboutTiePointsOffTheRaster(model, settings.tiePath);
    const double initialRms = model.currentRms().rms;
    console << "Initial RMS: " << initialRms << std::endl;
    const std::size_t shotsAtStart = model.currentErrorList().size();

    alignmentRecord record =
        settings.robustAlignment ? runRobustAlignment(model, settings) : runStages(model, settings, initialRms);
    if (!settings.robustAlignment) {
        record.uncertainty = weightedUncertainty(model, settings.hirise);
        record.betterPositionCells = betterPositionElsewhere(model, settings);
    }
    record.initialRms = initialRms;

    const double finalRms = settings.quadFit ? quadraticStage(model) : planeStage(model);
    console << std::endl;
    console << "Final RMS: " << finalRms << std::endl;
    record.finalRms = finalRms;
    finalFitMade();

    writeScript(console, base + "_Coord_Map.gnu", scriptList, outputs, runFailed,
                [&](std::ostream& script) { model.writeCoordinateMap(script, base + "_Coord_Map.png"); });
    const std::vector<errorRecord> finalErrors = model.currentErrorList();
    if (settings.sfRemovePercent > 0)
        writeScript(console, base + "_Weightings_Map.gnu", scriptList, outputs, runFailed, [&](std::ostream& script) {
            model.writeWeightingsMap(script, base + "_Weightings_Map.png", finalErrors);
        });
    model.writeTiePointTable(console, "Final XYZ Coordinates", degreesMinutesSeconds);

    outputFile report(base + "_report.txt", console, &outputs);
    const errorStatistics finalStatistics = model.writeReport(report.stream(), degreesMinutesSeconds, finalErrors);
    printStatistics(console, finalErrors.size(), finalStatistics);
    if (!report.close()) runFailed = true;
    // Every output is written, but nothing was aligned: no success to report.
    if (finalErrors.empty()) {
        if (record.firstTranslationOnRangeEdge) console << offsetBeyondRangeLine << std::endl;
        console << "Error: No altimeter point with a model elevation was left at the end of the run" << std::endl;
        runFailed = record.failed = true;
    } else {
        judgeAlignment(model, settings, finalErrors, shotsAtStart, record);
    }

    model.writeFinalErrorMap(errorMapStream, settings.hirise, finalErrors, finalStatistics);
    return record;
}

}  // namespace kalvex
