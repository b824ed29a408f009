// The robust alignment in rounds. Each round searches the translation with the
// robust measure, coarse to fine, then for HiRISE projects the turn; the
// first round searches the whole range, later ones refine about where the
// raster is. Tracks are judged only once a round has left the raster where it
// was, against an aligned raster, and the rounds then go on until one moves
// it by less than a hundredth of a cell again.
#include "app/robustMode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

#include "model/rasterExtent.h"
#include "model/robustObjective.h"
#include "model/robustStages.h"
#include "model/surfaceFit.h"
#include "model/trackJudgement.h"

namespace kalvex {

namespace {

constexpr double settledMovement = 0.01;  // cells
constexpr int mostRounds = 12;
constexpr double widestTurn = 5.0;   // degrees each way, as far as the stage loop turns
constexpr double localTurn = 0.25;   // degrees each way after the first round
constexpr double localReach = 1.0;   // cells each way after the first round

using cornerPositions = std::array<cornerRecord, 4>;

// An affine change moves no node farther than one of the corners.
double largestMove(const cornerPositions& before, const cornerPositions& after, double cell) {
    double largest = 0.0;
    for (std::size_t k = 0; k < before.size(); ++k)
        largest = std::fmax(largest, std::hypot(after[k].x - before[k].x, after[k].y - before[k].y) / cell);
    return largest;
}

// One round; returns the robust RMS at its end. Whether the raster is turned
// at all is decided once: a turn that stands out from the noise makes the
// angle a parameter of the alignment (turned), which later rounds refine to
// the best value they find.
double alignOnce(alignmentModel& model, const robustShots& shots, double translationReach, bool hirise,
                 double turnReach, bool& turned) {
    std::ostream& console = model.console();
    const offsetFound offset = searchRobustOffset(model, shots, translationReach);
    console << "x-translation: " << offset.dx << std::endl;
    console << "y-translation: " << offset.dy << std::endl;
    model.moveBy(offset.dx, offset.dy);
    if (!hirise) return offset.rms;
    const turnFound turn = searchRobustTurn(model, shots, turnReach);
    turned = turned || turn.beyondNoise;
    if (!turned || turn.angle == 0.0) {
        console << "No Rotation Found" << std::endl;
        return offset.rms;
    }
    console << "Min RMS Rotation About: " << turn.column << " : " << turn.row << std::endl;
    console << "Min RMS Rotation Angle:" << turn.angle << std::endl;
    model.turnAbout(turn.column, turn.row, turn.angle);
    return turn.rms;
}

// Tracks far off the others get weight 0 and shots far off the rest are
// removed, as the filtering of the stage loop would: the maps, the report and
// the shot table then show them so.
void judgeAlignedTracks(alignmentModel& model, const robustShots& shots) {
    const std::vector<double> shotResiduals = robustResiduals(model.raster, shots);
    std::vector<double> residuals(model.molaPoints.size(), notANumber);
    for (std::size_t k = 0; k < shots.source.size(); ++k) residuals[shots.source[k]] = shotResiduals[k];
    std::vector<std::int32_t> trackOf;
    trackOf.reserve(model.molaPoints.size());
    for (const molaPoint& point : model.molaPoints) trackOf.push_back(point.trackIndex);
    const judgement verdict = judgeTracks(trackOf, residuals);

    for (std::size_t k = 0; k < verdict.silencedTracks.size(); ++k) {
        const std::size_t track = verdict.silencedTracks[k];
        model.trackWeights.silence(track);
        model.console() << "Orbit " << model.orbits[track] << " set to weight 0, median residual "
                        << verdict.silencedMedians[k] << std::endl;
    }
    model.removePoints(verdict.outliers);
}

// The plane of the aligned errors of the shots that count, added to the
// raster and the tie points as each stage of the loop adds its plane: the
// final fit then starts from errors without a tilt or an offset.
void addAlignedPlane(alignmentModel& model) {
    std::vector<molaPoint> counted;
    for (const molaPoint& point : model.molaPoints)
        if (model.trackWeights.of(point.trackIndex) > 0.0) counted.push_back(point);
    model.lineFitTold =
        addPlaneFit(model.console(), model.raster, model.tiePoints, counted, nullptr, model.lineFitTold) ||
        model.lineFitTold;
}

}  // namespace

alignmentRecord runRobustAlignment(alignmentModel& model, const runSettings& settings) {
    alignmentRecord record;
    const double cell = shorterCellSide(model.raster.transform);
    // Without a cell size nothing can be measured in cells: the final fit alone follows.
    if (model.notReady || !(cell > 0.0) || !std::isfinite(cell)) return record;
    const double range = std::fmax(settings.padding, 0.0) / cell;
    robustShots shots = countedShots(model.molaPoints, model.trackWeights, unjudgedShare);
    bool judged = false;
    bool turned = false;
    std::ostream& console = model.console();
    for (int round = 1;; ++round) {
        const cornerPositions before = rasterCorners(model.raster);
        console << std::endl;
        console << "Robust Round: " << round << std::endl;
        const double rms = alignOnce(model, shots, round == 1 ? range : std::fmin(range, localReach),
                                     settings.hirise, round == 1 ? widestTurn : localTurn, turned);
        console << "Round " << round << " Robust RMS: " << rms << std::endl;
        const bool settled = largestMove(before, rasterCorners(model.raster), cell) < settledMovement;
        record.stages = round;
        record.converged = settled;
        if (!settled && round < mostRounds) continue;
        if (judged) break;
        judgeAlignedTracks(model, shots);
        shots = countedShots(model.molaPoints, model.trackWeights, judgedShare);
        judged = true;
    }
    addAlignedPlane(model);
    return record;
}

}  // namespace kalvex
