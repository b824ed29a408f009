// The RMS pass of the searches. Points are taken in blocks: first every
// point's nearest node and its offsets from it, then the local planes and the
// errors, then the sums in point order. The first two loops have no order to
// keep and no branches, so the compiler turns them into vector code; only the
// running sums stay strictly sequential, which keeps every result bit for bit
// that of the point-by-point evaluation.
#include "model/errorEvaluator.h"
#include "model/localPlane.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kalvex {

namespace {

constexpr std::size_t blockSize = 256;
constexpr double infinity = std::numeric_limits<double>::infinity();

// The georeference and offsets of one evaluation.
struct cellFrame {
    double gt0, gt1, gt2, gt3, gt4, gt5;
    double det;
    double dx, dy, dz;
    std::int32_t lastColumn;
    std::int32_t lastRow;
};

struct blockScratch {
    double columnOffset[blockSize];
    double rowOffset[blockSize];
    std::size_t corner[blockSize];  // the cell above and left of the nearest node
    std::int32_t interior[blockSize];
    double errors[blockSize];
};

// Inside the int32 range, and not NaN, so the truncation is always defined.
inline bool fitsInt32(double value) { return (value > -2147483649.0) & (value < 2147483648.0); }

// Points along a track are rows apart, so nearly every point needs cells that
// are not cached yet; asking for all of a block's rows at once lets those
// reads overlap instead of waiting for them one point at a time.
void prefetchRows(const float* cells, std::size_t width, const blockScratch& s, std::size_t n) {
#if defined(__GNUC__)
    for (std::size_t i = 0; i < n; ++i) {
        const float* above = cells + s.corner[i];
        __builtin_prefetch(above);
        __builtin_prefetch(above + width);
        __builtin_prefetch(above + 2 * width);
    }
#else
    (void)cells, (void)width, (void)s, (void)n;
#endif
}

std::int32_t lastInteriorIndex(std::size_t count) {
    const std::size_t largest = std::size_t(std::numeric_limits<std::int32_t>::max());
    return count < 2 ? -1 : std::int32_t(count - 2 < largest ? count - 2 : largest);
}

// Nearest nodes of one block of points.
void locateNodes(const cellFrame& f, std::size_t width, const double* x, const double* y, std::size_t n,
                 blockScratch& s) {
    for (std::size_t i = 0; i < n; ++i) {
        const double u = x[i] - f.gt0 - f.dx;
        const double v = y[i] - f.gt3 - f.dy;
        const double rowPosition = (v * f.gt1 - u * f.gt4) / f.det;
        const double columnPosition = (u * f.gt5 - v * f.gt2) / f.det;
        const double roundedRow = rowPosition + 0.5;
        const double roundedColumn = columnPosition + 0.5;
        // Bitwise tests rather than short-circuits keep the loop free of branches.
        const bool representable = fitsInt32(roundedRow) & fitsInt32(roundedColumn);
        const std::int32_t r = static_cast<std::int32_t>(representable ? roundedRow : 0.0);
        const std::int32_t c = static_cast<std::int32_t>(representable ? roundedColumn : 0.0);
        const bool inside = representable & (c >= 1) & (r >= 1) & (c <= f.lastColumn) & (r <= f.lastRow);
        s.columnOffset[i] = columnPosition - c;
        s.rowOffset[i] = rowPosition - r;
        s.corner[i] = inside ? (std::size_t(r) - 1) * width + (std::size_t(c) - 1) : 0;
        s.interior[i] = inside ? 1 : 0;
    }
}

// Errors of one block: zero for a point without a model elevation, which
// leaves both sums exactly as they were.
std::size_t blockErrors(const cellFrame& f, const float* cells, std::size_t width, const double* z,
                        const double* w, std::size_t n, blockScratch& s) {
    std::size_t valid = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double elevation =
            neighbourPlaneAt(cells + s.corner[i], width, s.columnOffset[i], s.rowOffset[i]) + f.dz;
        // NaN and infinities both fail this test: neither is a model elevation.
        const bool usable = s.interior[i] != 0 && std::fabs(elevation) <= DBL_MAX;
        const double error = (z[i] - elevation) * w[i];
        s.errors[i] = usable ? error : 0.0;
        valid += usable ? 1 : 0;
    }
    return valid;
}

}  // namespace

errorEvaluator::errorEvaluator(const elevationRaster& raster, const std::vector<molaPoint>& points,
                               const std::vector<double>* weights)
    : cells(raster.cells.data()),
      width(raster.width),
      height(raster.height),
      cellsComplete(raster.cells.size() >= std::size_t(raster.width) * raster.height) {
    xs.reserve(points.size());
    ys.reserve(points.size());
    elevations.reserve(points.size());
    weightOf.reserve(points.size());
    for (const molaPoint& point : points) {
        xs.push_back(point.x);
        ys.push_back(point.y);
        elevations.push_back(point.elevation);
        // Multiplying by 1 changes no error, so unweighted errors need no second loop.
        double weight = 1.0;
        if (weights != nullptr) {
            const std::size_t slot = std::size_t(std::uint32_t(point.trackIndex));
            if (slot < weights->size()) weight = (*weights)[slot]; else allWeighted = false;
        }
        weightOf.push_back(weight);
    }
}

errorSums errorEvaluator::sums(const geoTransform& transform, double dx, double dy, double dz) const {
    const candidatePosition position{transform, dx, dy, dz};
    errorSums result;
    sumsUpTo(&position, 1, infinity, &result);
    return result;
}

namespace {

// With n <= N points counted, rms = sqrt(S / n) >= sqrt(S_partial / N), and
// rounding keeps that order. The relative margin covers the roundings of this
// limit itself and the floor keeps everything clear of subnormals.
double sumOfSquaresLimit(double bound, std::size_t pointTotal) {
    if (!(bound > 0.0) || !std::isfinite(bound)) return infinity;
    return std::fmax(bound * bound * double(pointTotal) * (1.0 + 1e-9), 1e-290);
}

}  // namespace

double errorEvaluator::rmsUnlessAbove(const geoTransform& transform, double dx, double dy, double dz,
                                      double bound) const {
    double rms = notANumber;
    const candidatePosition position{transform, dx, dy, dz};
    rmsUnlessAboveEach(&position, 1, bound, &rms);
    return rms;
}

void errorEvaluator::rmsUnlessAboveEach(const candidatePosition* positions, std::size_t count, double bound,
                                        double* results) const {
    const double limit = sumOfSquaresLimit(bound, pointCount());
    for (std::size_t first = 0; first < count; first += groupLimit) {
        const std::size_t size = count - first < groupLimit ? count - first : groupLimit;
        errorSums sums[groupLimit];
        sumsUpTo(positions + first, size, limit, sums);
        for (std::size_t k = 0; k < size; ++k)
            results[first + k] = sums[k].abandoned ? notANumber : resultOf(sums[k]).rms;
    }
}

rmsResult errorEvaluator::resultOf(const errorSums& sums) {
    if (sums.count == 0 || sums.abandoned) return rmsResult{notANumber, notANumber};
    const double n = double(sums.count);
    return rmsResult{std::sqrt(sums.sumOfSquares / n), sums.sum / n};
}

// The work is a sequence of steps, one position over one block of points,
// block after block and, within a block, position after position. The nodes
// of the next step are located and their rows requested before the errors of
// the current step are formed, so the cell reads of one step overlap the
// arithmetic of the previous one.
void errorEvaluator::sumsUpTo(const candidatePosition* positions, std::size_t count, double sumOfSquaresLimit,
                              errorSums* results) const {
    cellFrame frames[groupLimit];
    bool live[groupLimit] = {};
    std::size_t liveCount = 0;
    for (std::size_t k = 0; k < count; ++k) {
        results[k] = errorSums{};
        const geoTransform& transform = positions[k].transform;
        const double det = transform[1] * transform[5] - transform[2] * transform[4];
        // Without an interior node or a usable georeference no point has a model elevation.
        if (!cellsComplete || width < 3 || height < 3 || det == 0.0 || !std::isfinite(det)) continue;
        frames[k] = cellFrame{transform[0], transform[1], transform[2], transform[3], transform[4], transform[5],
                              det, positions[k].dx, positions[k].dy, positions[k].dz, lastInteriorIndex(width),
                              lastInteriorIndex(height)};
        live[k] = true;
        ++liveCount;
    }
    const std::size_t total = pointCount();
    if (liveCount == 0 || total == 0) return;

    struct step {
        std::size_t start;
        std::size_t position;
    };
    // The live position after the given step, or a start past the points when none is left.
    const auto following = [&](step current) {
        for (;;) {
            if (++current.position == count) {
                current.position = 0;
                current.start += blockSize;
                if (current.start >= total) return current;
            }
            if (live[current.position]) return current;
        }
    };
    const auto blockLength = [&](std::size_t start) { return total - start < blockSize ? total - start : blockSize; };
    const auto prepare = [&](step s, blockScratch& scratch) {
        const std::size_t n = blockLength(s.start);
        locateNodes(frames[s.position], width, xs.data() + s.start, ys.data() + s.start, n, scratch);
        prefetchRows(cells, width, scratch, n);
    };

    blockScratch scratch[2];
    int current = 0;
    step now{0, 0};
    if (!live[0]) now = following(now);
    prepare(now, scratch[current]);
    while (now.start < total) {
        step next = following(now);
        if (next.start < total) prepare(next, scratch[1 - current]);
        blockScratch& s = scratch[current];
        errorSums& result = results[now.position];
        const std::size_t n = blockLength(now.start);
        result.count += blockErrors(frames[now.position], cells, width, elevations.data() + now.start,
                                    weightOf.data() + now.start, n, s);
        for (std::size_t i = 0; i < n; ++i) {
            const double error = s.errors[i];
            result.sumOfSquares += error * error;
            result.sum += error;
        }
        if (result.sumOfSquares > sumOfSquaresLimit) {
            result.abandoned = true;
            live[now.position] = false;
            if (--liveCount == 0) return;
            // The step prepared next may be this position's next block: skip it.
            if (next.start < total && next.position == now.position) {
                next = following(next);
                if (next.start < total) prepare(next, scratch[1 - current]);
            }
        }
        now = next;
        current = 1 - current;
    }
}

}  // namespace kalvex
