// The robust alignment in rounds. Each round searches the translation with the
// robust measure, coarse to fine, then for HiRISE projects the turn; the
// first round searches the whole range, later ones refine about where the
// raster is. Tracks are judged only once a round has left the raster where it
// was, against an aligned raster, and the rounds then go on until one moves
// it by less than a hundredth of a cell again. A turn that does not stand out
// from the scatter of the tracks is then undone, and the rounds settle the
// translation without it.
#include "app/robustMode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/roundLoop.h"
#include "model/evaluation/positionUncertainty.h"
#include "model/plain/surfaceFit.h"
#include "model/raster/rasterExtent.h"
#include "model/robust/robustObjective.h"
#include "model/robust/robustStages.h"
#include "model/robust/trackJudgement.h"
#include "output/progressLine.h"

namespace kalvex {

namespace {

constexpr double settledMovement = 0.01;  // cells
constexpr int mostRounds = 16;
constexpr double widestTurn = 5.0;   // degrees each way, as far as the stage loop turns
constexpr double localTurn = 0.25;   // degrees each way after the first round
constexpr double localReach = 1.0;   // cells each way after the first round
// A turn is kept when it lies this many standard errors from none.
constexpr double turnStandsOut = 5.0;

using cornerPositions = std::array<cornerRecord, 4>;

// An affine change moves no node farther than one of the corners.
double largestMove(const cornerPositions& before, const cornerPositions& after, double cell) {
    double largest = 0.0;
    for (std::size_t k = 0; k < before.size(); ++k)
        largest = std::fmax(largest, std::hypot(after[k].x - before[k].x, after[k].y - before[k].y) / cell);
    return largest;
}

// The turns made so far: their angles add up whatever their pivots, and the
// last pivot is where they are undone.
struct turnsMade {
    bool allowed = false;
    double angle = 0.0;
    int column = 0;
    int row = 0;
};

// One round; returns the robust RMS at its end. A turn is made whenever it
// lowers the measure by more than chance would; whether the turn stands out
// from the scatter of the tracks is judged once the position has settled.
double alignOnce(alignmentModel& model, const robustShots& shots, int round, double translationReach,
                 double turnReach, turnsMade& turns) {
    std::ostream& console = model.console();
    progressStage("Robust round " + std::to_string(round), "translation");
    const offsetFound offset = searchRobustOffset(model.searchSubject(), shots, translationReach);
    console << "x-translation: " << offset.dx << std::endl;
    console << "y-translation: " << offset.dy << std::endl;
    model.moveBy(offset.dx, offset.dy);
    if (!turns.allowed) return offset.rms;
    progressStage("Robust round " + std::to_string(round), "turn");
    const turnFound turn = searchRobustTurn(model.searchSubject(), shots, turnReach);
    if (!turn.beyondChance || turn.angle == 0.0) {
        console << "No Rotation Found" << std::endl;
        return offset.rms;
    }
    console << "Min RMS Rotation About: " << turn.column << " : " << turn.row << std::endl;
    console << "Min RMS Rotation Angle:" << turn.angle << std::endl;
    model.turnAbout(turn.column, turn.row, turn.angle);
    turns.angle += turn.angle;
    turns.column = turn.column;
    turns.row = turn.row;
    return turn.rms;
}

// Tracks far off the others get weight 0 and shots far off the rest are
// removed, as the filtering of the stage loop would: the maps, the report and
// the shot table then show them so.
void judgeAlignedTracks(alignmentModel& model, const robustShots& shots) {
    const runState& state = model.state();
    const std::vector<double> shotResiduals = robustResiduals(state.raster, shots);
    std::vector<double> residuals(state.molaPoints.size(), notANumber);
    for (std::size_t k = 0; k < shots.source.size(); ++k) residuals[shots.source[k]] = shotResiduals[k];
    std::vector<std::int32_t> trackOf;
    trackOf.reserve(state.molaPoints.size());
    for (const molaPoint& point : state.molaPoints) trackOf.push_back(point.trackIndex);
    const judgement verdict = judgeTracks(trackOf, residuals);

    for (std::size_t k = 0; k < verdict.silencedTracks.size(); ++k) {
        const std::size_t track = verdict.silencedTracks[k];
        const std::int32_t orbit = model.silenceTrack(track);
        model.console() << "Orbit " << orbit << " set to weight 0, median residual " << verdict.silencedMedians[k]
                        << std::endl;
    }
    model.removePoints(verdict.outliers);
}

std::size_t tracksOnTheRaster(const alignmentModel& model) {
    std::set<std::int32_t> tracks;
    for (const errorRecord& entry : model.currentErrorList())
        if (model.state().trackWeights.of(entry.trackIndex) > 0.0) tracks.insert(entry.trackIndex);
    return tracks.size();
}

// The precision of the position the rounds settled on, from the shots in the measure.
positionUncertainty settledUncertainty(const alignmentModel& model, const robustShots& shots, bool withTurn) {
    const runState& state = model.state();
    const mapPosition centre = rasterCentre(state.raster);
    const std::vector<double> weights = keptShotWeights(state.raster, shots, state.molaPoints.size());
    return estimatePosition(shotSensitivities(state.raster, state.molaPoints, weights, centre.x, centre.y), withTurn);
}

// The turns are undone unless their sum stands out from the scatter of the
// tracks: residuals along a track that are not independent can favour a turn
// that is none. Too few tracks have no scatter to stand out from.
bool undoTurnUnlessItStandsOut(alignmentModel& model, const robustShots& shots, turnsMade& turns) {
    if (!turns.allowed || turns.angle == 0.0) return false;
    const positionUncertainty precision = settledUncertainty(model, shots, true);
    if (!fewTracks(precision.tracks) && std::fabs(turns.angle) > turnStandsOut * precision.standardError[2])
        return false;
    model.console() << "Rotation of " << turns.angle
                    << " degrees undone, it does not stand out from the scatter of the tracks" << std::endl;
    model.turnAbout(turns.column, turns.row, -turns.angle);
    turns = turnsMade{};
    return true;
}

void printUncertainty(std::ostream& console, const positionUncertainty& precision, const geoTransform& transform) {
    const double cell = shorterCellSide(transform);
    const positionVector error = errorSizes(precision);
    console << "Standard error of the translation in cells: " << error[0] << " " << error[1] << std::endl;
    console << "Standard error of the translation in map units: " << error[0] * cell << " " << error[1] * cell
            << std::endl;
    if (precision.withTurn) console << "Standard error of the rotation in degrees: " << error[2] << std::endl;
}

// The plane of the unweighted errors of the shots whose track still counts,
// added as each stage of the loop adds its plane: the final fit then starts
// from errors without a tilt or an offset.
void addPlaneOfCountedShots(alignmentModel& model) {
    const runState& state = model.state();
    std::vector<molaPoint> counted;
    for (const molaPoint& point : state.molaPoints)
        if (state.trackWeights.of(point.trackIndex) > 0.0) counted.push_back(point);
    model.addSurface(planeOfErrors(model.console(), state.raster, counted, nullptr, state.lineFitTold));
}

}  // namespace

alignmentRecord runRobustAlignment(alignmentModel& model, const runSettings& settings) {
    const runState& state = model.state();
    alignmentRecord record;
    const double cell = shorterCellSide(state.raster.transform);
    // Without a cell size nothing can be measured in cells: the final fit alone follows.
    if (state.notReady || !(cell > 0.0) || !std::isfinite(cell)) return record;
    const double range = std::fmax(settings.padding, 0.0) / cell;
    robustShots shots = countedShots(state.molaPoints, state.trackWeights, unjudgedShare);
    bool judged = false;
    // Too few tracks have no scatter that a turn could be shown to stand out
    // from, and a turn chased on them can swing from round to round.
    turnsMade turns{settings.hirise && !fewTracks(tracksOnTheRaster(model))};
    std::ostream& console = model.console();
    cornerPositions before;
    roundSteps steps;
    steps.mostRounds = mostRounds;
    steps.open = [&](int round) {
        before = rasterCorners(state.raster);
        console << std::endl;
        console << "Robust Round: " << round << std::endl;
    };
    steps.searchAndApply = [&](int round) {
        const double rms = alignOnce(model, shots, round, round == 1 ? range : std::fmin(range, localReach),
                                     round == 1 ? widestTurn : localTurn, turns);
        console << "Round " << round << " Robust RMS: " << rms << std::endl;
        roundOutcome outcome;
        // A round that could measure nothing has not settled anything, wherever the raster is.
        outcome.measureLost = std::isnan(rms);
        outcome.settled = largestMove(before, rasterCorners(state.raster), cell) < settledMovement;
        return outcome;
    };
    steps.judgeSettled = [&] {
        if (judged) return undoTurnUnlessItStandsOut(model, shots, turns);
        judgeAlignedTracks(model, shots);
        shots = countedShots(state.molaPoints, state.trackWeights, judgedShare);
        judged = true;
        return true;
    };
    const roundsRun run = runRounds(steps);
    record.stages = run.rounds;
    record.converged = run.settled;
    record.measureLost = run.measureLost;
    record.uncertainty = settledUncertainty(model, shots, settings.hirise);
    printUncertainty(console, record.uncertainty, state.raster.transform);
    addPlaneOfCountedShots(model);
    return record;
}

}  // namespace kalvex
