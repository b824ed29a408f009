#pragma once
// The weighted RMS of the altimeter points for many positions of the raster,
// as the searches need it: the points are laid out once, column by column, and
// every evaluation is one allocation-free pass over them.
//
// Each evaluation performs, point by point and in point order, exactly the
// arithmetic of localPlane::elevationAt and the sums of rmsAndMean, so its RMS
// is bit for bit the one rmsAndMean gives for the same georeference and
// offsets. The searches depend on that: a candidate never looks better or
// worse than the same position measured any other way.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/evaluation/errorKernel.h"
#include "model/evaluation/searchReach.h"
#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

// One position of the raster: a georeference, moved by dx, dy and raised by dz.
struct candidatePosition {
    geoTransform transform{0, 0, 0, 0, 0, 0};
    double dx = 0.0;
    double dy = 0.0;
    double dz = 0.0;
};

struct errorSums {
    double sumOfSquares = 0.0;
    double sum = 0.0;
    std::size_t count = 0;
    bool abandoned = false;  // stopped early: the RMS provably lies above the bound it was given
};

// Shots measured by every evaluator so far, one for each shot under each
// position: what the benchmarks divide by the time taken.
std::uint64_t shotEvaluationsSoFar();

class errorEvaluator {
public:
    // The evaluator reads the raster's cells (not its georeference) for as long
    // as it lives; the cells must not change meanwhile. weights may be null.
    // Given the reach of a search, it measures only the candidates of that
    // search, and leaves out the shots that none of them can count.
    // The node planes depend on the cells alone: given an evaluator made from
    // the same cells, this one shares its planes instead of filling its own.
    errorEvaluator(const elevationRaster& raster, const std::vector<molaPoint>& points,
                   const trackWeightList* weights, const searchReach* reach = nullptr,
                   const errorEvaluator* sameCells = nullptr);
    std::size_t pointCount() const { return xs.size(); }

    // The sums for the cells under the given georeference, moved by dx, dy and raised by dz.
    errorSums sums(const geoTransform& transform, double dx, double dy, double dz) const;

    // The RMS, or NaN once the partial sums prove that the RMS would be
    // strictly greater than bound: such a position can neither beat nor tie it.
    double rmsUnlessAbove(const geoTransform& transform, double dx, double dy, double dz, double bound) const;

    // rmsUnlessAbove of each of up to groupLimit positions, measured together
    // block by block: neighbouring positions read mostly the same cells, which
    // are then still cached. Every position keeps its own sums in point order
    // and its own early stop, so each value is the one rmsUnlessAbove gives.
    static constexpr std::size_t groupLimit = 8;
    void rmsUnlessAboveEach(const candidatePosition* positions, std::size_t count, double bound,
                            double* results) const;

    static rmsResult resultOf(const errorSums& sums);

    // A sum of squares above this, over at most shots shots, makes an RMS
    // strictly greater than bound; infinite when bound is no positive number.
    static double squaresLimit(double bound, std::size_t shots);

private:
    friend class translationBound;

    void sumsUpTo(const candidatePosition* positions, std::size_t count, double sumOfSquaresLimit,
                  errorSums* results) const;

    const float* cells;
    std::size_t width;
    std::size_t height;
    bool cellsComplete;
    std::vector<double> xs;
    std::vector<double> ys;
    std::vector<double> elevations;
    std::vector<double> weightOf;
    std::vector<std::size_t> pointOf;  // each shot's place in the points the evaluator was given
    // The local plane of every node, for the wide kernels; none when they read the cells.
    std::shared_ptr<const std::vector<double>> nodePlanes;
    const double* planes() const { return nodePlanes ? nodePlanes->data() : nullptr; }
    errorKernel kernel = portableErrorKernel;
};

}  // namespace kalvex
