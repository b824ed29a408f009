#include "model/evaluation/translationBound.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "model/evaluation/searchThreads.h"

namespace kalvex {

namespace {

constexpr double unitRoundoff = 0x1p-53;

// Beyond this share of shots that may change node the bound costs nearly a pass per candidate.
constexpr double largestMovingShare = 0.9;

// The rounded position plus a half keeps its floor, and so its truncation,
// for every position within reach of the given one.
bool keepsNode(double position, double reach) {
    if (!std::isfinite(position)) return true;  // no number under any candidate either
    const double rounded = position + 0.5;
    const double floor = std::floor(rounded);
    const double margin = reach + 8.0 * unitRoundoff * (std::fabs(rounded) + 1.0);
    return rounded - margin > floor && rounded + margin < floor + 1.0;
}

}  // namespace

translationBound::translationBound(const errorEvaluator& evaluator, const elevationRaster& raster,
                                   const std::vector<molaPoint>& points, const trackWeightList* weights,
                                   double shift)
    : transform(raster.transform) {
    const geoTransform& t = transform;
    det = t.determinant();
    const std::size_t shots = evaluator.pointCount();
    shotTotal = double(shots);
    if (!evaluator.nodePlanes || shots == 0 || !(std::fabs(det) > 0.0) || !std::isfinite(det) ||
        !(shift >= 0.0) || !std::isfinite(shift))
        return;
    const double frame = std::sqrt(t[1] * t[1] + t[2] * t[2] + t[4] * t[4] + t[5] * t[5]);
    // How far an offset within shift moves a shot along the rows and the columns, in cells.
    const double rowReach = shift * (std::fabs(t[4]) + std::fabs(t[1])) / std::fabs(det);
    const double columnReach = shift * (std::fabs(t[5]) + std::fabs(t[2])) / std::fabs(det);
    const double lastRow = double(raster.height) - 2.0;
    const double lastColumn = double(raster.width) - 2.0;
    std::vector<molaPoint> movingPoints;
    for (std::size_t i = 0; i < shots; ++i) {
        const double x = evaluator.xs[i];
        const double y = evaluator.ys[i];
        // The evaluator's arithmetic at zero offset.
        const double u = x - t[0] - 0.0;
        const double v = y - t[3] - 0.0;
        const double rowPosition = (v * t[1] - u * t[4]) / det;
        const double columnPosition = (u * t[5] - v * t[2]) / det;
        // A bound of the rounding of a position, generously above the few units
        // of roundoff that the subtractions, products and quotient can add.
        const double magnitude = (std::fabs(x) + std::fabs(y) + std::fabs(t[0]) + std::fabs(t[3]) + 2.0 * shift) *
                                     frame / std::fabs(det) +
                                 std::fabs(rowPosition) + std::fabs(columnPosition) + rowReach + columnReach + 1.0;
        const double positionError = 32.0 * unitRoundoff * magnitude;
        if (!keepsNode(rowPosition, rowReach + 2.0 * positionError) ||
            !keepsNode(columnPosition, columnReach + 2.0 * positionError)) {
            movingPoints.push_back(points[evaluator.pointOf[i]]);
            continue;
        }
        const double row = std::floor(rowPosition + 0.5);
        const double column = std::floor(columnPosition + 0.5);
        // Never next to an interior node: nothing under any candidate.
        if (!(row >= 1.0 && row <= lastRow && column >= 1.0 && column <= lastColumn)) continue;
        const double* plane =
            evaluator.planes() + 3 * (std::size_t(row) * evaluator.width + std::size_t(column));
        const double a = plane[0], b = plane[1], g = plane[2];
        // A node without data gives no model elevation under any candidate.
        if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(g)) continue;
        const double z = evaluator.elevations[i];
        const double w = evaluator.weightOf[i];
        const double elevation = g + a * (columnPosition - column) + b * (rowPosition - row) + 0.0;
        const double e0 = (z - elevation) * w;
        const double p = w * a;
        const double q = w * b;
        const double largestError = std::fabs(e0) + std::fabs(p) * columnReach + std::fabs(q) * rowReach;
        // How far the error under a candidate may lie from the affine model:
        // the rounding of the positions through the slopes, and a few units of
        // roundoff of every term of the elevation and the error.
        const double modelError =
            3.0 * (std::fabs(w) * (std::fabs(a) + std::fabs(b)) * positionError +
                   16.0 * unitRoundoff * (std::fabs(w) * (std::fabs(z) + std::fabs(g) + std::fabs(a) + std::fabs(b)) +
                                          largestError)) +
            4.0 * unitRoundoff * largestError;
        ++steadyCount;
        e0e0 += e0 * e0;
        e0p += e0 * p;
        e0q += e0 * q;
        pp += p * p;
        pq += p * q;
        qq += q * q;
        e0pMagnitude += std::fabs(e0 * p);
        e0qMagnitude += std::fabs(e0 * q);
        pqMagnitude += std::fabs(p * q);
        roundingLoss += 2.0 * largestError * modelError;
    }
    // A NaN or infinite sum leaves no bound.
    const double total = e0e0 + e0pMagnitude + e0qMagnitude + pp + pqMagnitude + qq + roundingLoss;
    if (!std::isfinite(total) || double(movingPoints.size()) > largestMovingShare * shotTotal) return;
    roundingLoss *= 1.0 + 1e-6;
    const searchReach reach{transform, shift, 0.0};
    moving = std::make_unique<errorEvaluator>(raster, movingPoints, weights, &reach, &evaluator);
    worthIt = true;
}

std::vector<double> translationBound::lowerBounds(const std::vector<double>& dx, const std::vector<double>& dy,
                                                  int threadCount, std::vector<std::size_t>& counts) const {
    const std::size_t count = dx.size();
    // The sums of squares of the shots that may change node, measured in full.
    std::vector<double> movingSquares(count, 0.0);
    counts.assign(count, steadyCount);
    measureCandidateRuns(count, errorEvaluator::groupLimit, threadCount, 0.0,
                         [&](std::size_t first, std::size_t end, double, double* values) {
                             candidatePosition positions[errorEvaluator::groupLimit];
                             errorSums sums[errorEvaluator::groupLimit];
                             for (std::size_t k = first; k < end; ++k) positions[k - first] = {transform, dx[k], dy[k], 0.0};
                             moving->sumsUpTo(positions, end - first, std::numeric_limits<double>::infinity(), sums);
                             for (std::size_t k = first; k < end; ++k) {
                                 movingSquares[k] = sums[k - first].sumOfSquares;
                                 counts[k] += sums[k - first].count;
                                 values[k - first] = 0.0;
                             }
                         });
    const geoTransform& t = transform;
    const double n = shotTotal;
    std::vector<double> bounds(count, 0.0);
    for (std::size_t k = 0; k < count; ++k) {
        const double dc = (dy[k] * t[2] - dx[k] * t[5]) / det;
        const double dr = (dx[k] * t[4] - dy[k] * t[1]) / det;
        const double model = e0e0 - 2.0 * e0p * dc - 2.0 * e0q * dr + pp * dc * dc + 2.0 * pq * dc * dr + qq * dr * dr;
        const double size = e0e0 + 2.0 * e0pMagnitude * std::fabs(dc) + 2.0 * e0qMagnitude * std::fabs(dr) +
                            pp * dc * dc + 2.0 * pqMagnitude * std::fabs(dc * dr) + qq * dr * dr;
        const double movingPart = movingSquares[k] * (1.0 - 2.0 * (n + 2.0) * unitRoundoff);
        const double steadyPart = model - 8.0 * (n + 16.0) * unitRoundoff * size - roundingLoss;
        const double bound = (1.0 - (n + 2.0) * unitRoundoff) * (steadyPart + movingPart) -
                             16.0 * unitRoundoff * (size + roundingLoss + movingSquares[k]);
        // NaN when the moving shots' sums are: then there is no bound.
        bounds[k] = std::isnan(bound) ? 0.0 : bound;
    }
    return bounds;
}

}  // namespace kalvex
