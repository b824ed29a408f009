#include "model/plain/rotationStage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "model/evaluation/errorEvaluator.h"
#include "model/evaluation/searchThreads.h"

namespace kalvex {

namespace {

// Inclusive bounds of a block of raster nodes.
struct nodeRegion {
    int x0;
    int y0;
    int x1;
    int y1;
};

struct node {
    int column;
    int row;
};

constexpr std::size_t regionLimit = 256;

// Node indices stay far enough below the int range that sums of two never overflow.
int lastNodeIndex(std::uint32_t count) {
    constexpr std::uint32_t largest = std::uint32_t(std::numeric_limits<int>::max() / 4);
    return int(std::min(count, largest)) - 1;
}

nodeRegion wholeRaster(const elevationRaster& raster) {
    return {0, 0, lastNodeIndex(raster.width), lastNodeIndex(raster.height)};
}

bool canBeSplit(const nodeRegion& region) { return region.x1 > region.x0 && region.y1 > region.y0; }

// The centre of quarter k (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right).
node quarterCentre(const nodeRegion& region, int k) {
    const int cx = (region.x0 + region.x1) / 2;
    const int cy = (region.y0 + region.y1) / 2;
    const int column = (k % 2 == 0) ? (region.x0 + cx) / 2 : (region.x1 + cx) / 2;
    const int row = (k < 2) ? (region.y0 + cy) / 2 : (cy + region.y1) / 2;
    return {column, row};
}

nodeRegion quarterHolding(const nodeRegion& region, const node& pivot) {
    const int cx = (region.x0 + region.x1) / 2;
    const int cy = (region.y0 + region.y1) / 2;
    nodeRegion quarter = region;
    if (pivot.column > cx) quarter.x0 = cx; else quarter.x1 = cx;
    if (pivot.row > cy) quarter.y0 = cy; else quarter.y1 = cy;
    return quarter;
}

// Angles from lo while at most hi, by repeated addition of the step. A step
// that cannot advance the angle leaves the single angle lo; a range that is not
// finite leaves none.
struct angleRange {
    double lo;
    double hi;
    double step;

    template <typename action>
    void forEach(action&& tryAngle) const {
        if (!std::isfinite(lo) || !std::isfinite(hi)) return;
        const double widest = std::max(std::fabs(lo), std::fabs(hi));
        const bool advances = step > 0.0 && std::isfinite(step) && widest + step != widest;
        if (!advances) {
            if (lo <= hi) tryAngle(lo);
            return;
        }
        for (double angle = lo; angle <= hi; angle += step) tryAngle(angle);
    }
};

struct passResult {
    double best = std::numeric_limits<double>::infinity();
    node pivot{-1, -1};
    double angle = 0.0;
    std::vector<nodeRegion> next;
};

struct trial {
    std::size_t region;
    node pivot;
    double angle;
};

// A georeference by the bit patterns of its coefficients: equal keys give
// bit for bit the same evaluation.
using transformBits = std::array<std::uint64_t, 6>;

transformBits bitsOf(const geoTransform& transform) {
    transformBits bits;
    for (std::size_t i = 0; i < 6; ++i) std::memcpy(&bits[i], &transform.coefficients[i], sizeof bits[i]);
    return bits;
}

// The complete RMS of every georeference measured in the current stage.
using trialMemory = std::map<transformBits, double>;

// One pass: every angle about the four quarter centres of every region. The
// quarters that hold the best pivots (ties included) are refined next. Trials
// are measured in batches, possibly on several threads, and then walked in
// scan order, so the pass decides exactly as a one-by-one scan would.
class searchPass {
public:
    searchPass(const searchInputs& inputs, const errorEvaluator& evaluator, const std::vector<nodeRegion>& regions,
               trialMemory& memory)
        : inputs(inputs), evaluator(evaluator), regions(regions), memory(memory) {
        batch.reserve(searchBatchLimit);
    }

    passResult run(const angleRange& angles) {
        for (std::size_t region = 0; region < regions.size(); ++region) {
            for (int k = 0; k < 4; ++k) {
                const node pivot = quarterCentre(regions[region], k);
                angles.forEach([&](double angle) { add({region, pivot, angle}); });
            }
        }
        finishBatch();
        return std::move(pass);
    }

private:
    void add(const trial& next) {
        batch.push_back(next);
        if (batch.size() == searchBatchLimit) finishBatch();
    }

    void finishBatch() {
        if (batch.empty()) return;
        const std::vector<double> results = measureTurned();
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const double rms = results[k];
            if (rms < pass.best) {
                pass.best = rms;
                pass.pivot = batch[k].pivot;
                pass.angle = batch[k].angle;
                pass.next.clear();
            }
            if (rms <= pass.best) pass.next.push_back(quarterHolding(regions[batch[k].region], batch[k].pivot));
        }
        batch.clear();
    }

    // Trials whose turned georeference is bit for bit one measured before in
    // this stage (an angle too small to move anything turns every pivot into
    // the same georeference) take that trial's RMS, and a georeference met
    // twice in a batch is measured once: its first trial in scan order gets a
    // bound no lower than any later one would, so its value holds for all.
    std::vector<double> measureTurned() {
        const geoTransform& transform = inputs.raster.transform;
        std::vector<double> results(batch.size(), notANumber);
        std::vector<std::size_t> source(batch.size(), known);
        std::vector<candidatePosition> fresh;
        std::map<transformBits, std::size_t> freshIndex;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const geoTransform turned = transform.turnedAbout(batch[k].pivot.column, batch[k].pivot.row, batch[k].angle);
            const transformBits bits = bitsOf(turned);
            const auto remembered = memory.find(bits);
            if (remembered != memory.end()) {
                results[k] = remembered->second;
                continue;
            }
            const auto entry = freshIndex.emplace(bits, fresh.size());
            if (entry.second) fresh.push_back({turned, 0.0, 0.0, 0.0});
            source[k] = entry.first->second;
        }
        // Consecutive trials are mostly neighbouring angles about one pivot, which
        // read nearly the same cells: they are measured together.
        const std::vector<double> measured = measureCandidateRuns(
            fresh.size(), errorEvaluator::groupLimit, inputs.threadCount, pass.best,
            [&](std::size_t first, std::size_t end, double bound, double* values) {
                evaluator.rmsUnlessAboveEach(fresh.data() + first, end - first, bound, values);
            });
        for (std::size_t k = 0; k < batch.size(); ++k)
            if (source[k] != known) results[k] = measured[source[k]];
        // Only complete values are kept: a given-up trial was only proved worse than that moment's bound.
        for (const auto& entry : freshIndex)
            if (!std::isnan(measured[entry.second])) memory.emplace(entry.first, measured[entry.second]);
        return results;
    }

    static constexpr std::size_t known = std::numeric_limits<std::size_t>::max();

    const searchInputs& inputs;
    const errorEvaluator& evaluator;
    const std::vector<nodeRegion>& regions;
    trialMemory& memory;
    std::vector<trial> batch;
    passResult pass;
};

}  // namespace

rotationOutcome searchRotation(const searchInputs& inputs, double currentRms, double lo, double hi, double step) {
    std::ostream& console = inputs.console;
    if (inputs.debug) console << "Beginning Rotation Stage" << std::endl;
    if (lo > hi) std::swap(lo, hi);
    const angleRange angles{lo, hi, std::fabs(step)};

    rotationOutcome outcome;
    outcome.rms = currentRms;
    // A pass in which no trial gave a number leaves no region to refine, which
    // ends the search like exhausted regions do.
    std::vector<nodeRegion> regions{wholeRaster(inputs.raster)};
    const searchReach reach{inputs.raster.transform, 0.0, std::max(std::fabs(lo), std::fabs(hi))};
    const errorEvaluator evaluator(inputs.raster, inputs.points, &inputs.weights, &reach);
    trialMemory memory;
    while (!regions.empty() && canBeSplit(regions.front()) && regions.size() < regionLimit) {
        if (inputs.debug) {
            console << regions.front().x1 << " : " << regions.front().x0 << std::endl;
            console << regions.front().y1 << " : " << regions.front().y0 << std::endl;
            console << regions.size() << std::endl;
        }
        passResult pass = searchPass(inputs, evaluator, regions, memory).run(angles);
        if (pass.best < outcome.rms) {
            outcome.rms = pass.best;
            outcome.column = pass.pivot.column;
            outcome.row = pass.pivot.row;
            outcome.angle = pass.angle;
        }
        regions = std::move(pass.next);
    }

    outcome.found = outcome.column >= 0 && outcome.row >= 0;
    if (!outcome.found) {
        console << "No Rotation Found" << std::endl;
        return outcome;
    }
    console << "Min RMS Rotation About: " << outcome.column << " : " << outcome.row << std::endl;
    console << "Min RMS Rotation Angle:" << outcome.angle << std::endl;
    return outcome;
}

}  // namespace kalvex
