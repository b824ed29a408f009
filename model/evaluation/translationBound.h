#pragma once
// A lower bound of the sum of squares of every candidate of a translation
// search, from a few sums over the shots, so that a search can pass over the
// candidates that cannot come near the best one without measuring them.
//
// While the candidates stay within a fraction of a cell, most shots keep
// their nearest node under all of them. The error of such a shot is then,
// but for roundings, an affine function of the offset, the same for every
// shot up to its own coefficients, and the sum of their squares a quadratic
// function of the offset whose six coefficients are sums over the shots. The
// other shots are measured under every candidate. Every rounding of the
// arithmetic, of the sums and of the bound itself is taken off, so that the
// bound lies at or below the sum of squares the evaluator would find.
#include <cstddef>
#include <memory>
#include <vector>

#include "model/evaluation/errorEvaluator.h"
#include "model/raster/elevationRaster.h"
#include "model/records.h"

namespace kalvex {

class translationBound {
public:
    // For the candidates of a search over offsets within shift of zero along
    // each axis, measured by evaluator (made with the same points and weights).
    translationBound(const errorEvaluator& evaluator, const elevationRaster& raster,
                     const std::vector<molaPoint>& points, const trackWeightList* weights, double shift);

    // False when too few shots keep their node for the bound to be worth its cost.
    bool useful() const { return worthIt; }

    // The bound of each candidate offset (dx[k], dy[k]), using up to threadCount
    // threads, and in counts the exact number of shots that have a model
    // elevation under it.
    std::vector<double> lowerBounds(const std::vector<double>& dx, const std::vector<double>& dy, int threadCount,
                                    std::vector<std::size_t>& counts) const;

private:
    geoTransform transform;
    double det = 0.0;
    bool worthIt = false;
    double shotTotal = 0.0;
    std::size_t steadyCount = 0;  // shots that keep a node with data under every candidate
    // Sums over the shots that keep their node: E0^2, E0 p, E0 q, p^2, p q, q^2
    // with E0 the error at zero offset and p, q its changes per cell along the
    // columns and the rows, the sums of the magnitudes of the mixed terms, and
    // what the roundings may take off the sum of squares.
    double e0e0 = 0.0, e0p = 0.0, e0q = 0.0, pp = 0.0, pq = 0.0, qq = 0.0;
    double e0pMagnitude = 0.0, e0qMagnitude = 0.0, pqMagnitude = 0.0;
    double roundingLoss = 0.0;
    std::unique_ptr<errorEvaluator> moving;  // the shots that may change node
};

}  // namespace kalvex
