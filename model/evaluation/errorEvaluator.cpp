// The RMS pass of the searches: the shots are laid out once, one array per
// field, and each pass hands up to eight positions at a time to the kernel
// chosen for this processor.
#include "model/evaluation/errorEvaluator.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace kalvex {

namespace {

std::atomic<std::uint64_t> shotEvaluations{0};

constexpr double infinity = std::numeric_limits<double>::infinity();

// Eight bytes for each of three numbers per node: beyond this the planes
// would cost more memory than the raster is worth, and the kernels read the
// cells around each node instead.
constexpr std::size_t planeBudgetBytes = std::size_t(192) << 20;

std::int32_t lastInteriorIndex(std::size_t count) {
    const std::size_t largest = std::size_t(std::numeric_limits<std::int32_t>::max());
    return count < 2 ? -1 : std::int32_t(count - 2 < largest ? count - 2 : largest);
}

}  // namespace

std::uint64_t shotEvaluationsSoFar() { return shotEvaluations.load(std::memory_order_relaxed); }

errorEvaluator::errorEvaluator(const elevationRaster& raster, const std::vector<molaPoint>& points,
                               const trackWeightList* weights, const searchReach* reach,
                               const errorEvaluator* sameCells)
    : cells(raster.cells.data()),
      width(raster.width),
      height(raster.height),
      cellsComplete(raster.cells.size() >= std::size_t(raster.width) * raster.height) {
    const kernelPath path = chosenKernelPath();
    const std::size_t nodes = width * height;
    if (path != kernelPath::portable && cellsComplete && width >= 3 && height >= 3 && !points.empty()) {
        if (!kernelReadsCells() && nodes <= planeBudgetBytes / (3 * sizeof(double))) {
            if (sameCells != nullptr && sameCells->nodePlanes) {
                nodePlanes = sameCells->nodePlanes;
            } else {
                auto filled = std::make_shared<std::vector<double>>(3 * nodes);
                fillNodePlanes(cells, width, height, filled->data());
                nodePlanes = std::move(filled);
            }
        }
        kernel = kernelFor(path);
    }
    const std::optional<reachTest> reachable =
        reach == nullptr ? std::nullopt
                         : std::optional<reachTest>(std::in_place, *reach, raster.width, raster.height,
                                                    planes());
    xs.reserve(points.size());
    ys.reserve(points.size());
    elevations.reserve(points.size());
    weightOf.reserve(points.size());
    for (std::size_t place = 0; place < points.size(); ++place) {
        const molaPoint& point = points[place];
        if (reachable && !reachable->mayCount(point.x, point.y)) continue;
        pointOf.push_back(place);
        xs.push_back(point.x);
        ys.push_back(point.y);
        elevations.push_back(point.elevation);
        // Multiplying by 1 changes no error, so unweighted errors need no second loop.
        weightOf.push_back(weights == nullptr ? 1.0 : weights->of(point.trackIndex));
    }
}

errorSums errorEvaluator::sums(const geoTransform& transform, double dx, double dy, double dz) const {
    const candidatePosition position{transform, dx, dy, dz};
    errorSums result;
    sumsUpTo(&position, 1, infinity, &result);
    return result;
}

double errorEvaluator::rmsUnlessAbove(const geoTransform& transform, double dx, double dy, double dz,
                                      double bound) const {
    double rms = notANumber;
    const candidatePosition position{transform, dx, dy, dz};
    rmsUnlessAboveEach(&position, 1, bound, &rms);
    return rms;
}

void errorEvaluator::rmsUnlessAboveEach(const candidatePosition* positions, std::size_t count, double bound,
                                        double* results) const {
    const double limit = squaresLimit(bound, pointCount());
    for (std::size_t first = 0; first < count; first += groupLimit) {
        const std::size_t size = count - first < groupLimit ? count - first : groupLimit;
        errorSums sums[groupLimit];
        sumsUpTo(positions + first, size, limit, sums);
        for (std::size_t k = 0; k < size; ++k)
            results[first + k] = sums[k].abandoned ? notANumber : resultOf(sums[k]).rms;
    }
}

// With n <= N points counted, rms = sqrt(S / n) >= sqrt(S_partial / N), and
// rounding keeps that order. The relative margin covers the roundings of this
// limit itself and the floor keeps everything clear of subnormals.
double errorEvaluator::squaresLimit(double bound, std::size_t shots) {
    if (!(bound > 0.0) || !std::isfinite(bound)) return infinity;
    return std::fmax(bound * bound * double(shots) * (1.0 + 1e-9), 1e-290);
}

rmsResult errorEvaluator::resultOf(const errorSums& sums) {
    if (sums.count == 0 || sums.abandoned) return rmsResult{notANumber, notANumber};
    const double n = double(sums.count);
    return rmsResult{std::sqrt(sums.sumOfSquares / n), sums.sum / n};
}

void errorEvaluator::sumsUpTo(const candidatePosition* positions, std::size_t count, double sumOfSquaresLimit,
                              errorSums* results) const {
    static_assert(groupLimit <= kernelLanes, "a group must fit the kernel's lanes");
    kernelPosition live[groupLimit];
    std::size_t slotOf[groupLimit];
    std::size_t liveCount = 0;
    for (std::size_t k = 0; k < count; ++k) {
        results[k] = errorSums{};
        const geoTransform& t = positions[k].transform;
        const double det = t.determinant();
        // Without an interior node or a usable georeference no point has a model elevation.
        if (!cellsComplete || width < 3 || height < 3 || det == 0.0 || !std::isfinite(det)) continue;
        live[liveCount] = kernelPosition{t[0], t[1], t[2], t[3], t[4], t[5], det,
                                         positions[k].dx, positions[k].dy, positions[k].dz};
        slotOf[liveCount++] = k;
    }
    if (liveCount == 0 || pointCount() == 0) return;
    const kernelInput input{xs.data(), ys.data(), elevations.data(), weightOf.data(), pointCount(), cells,
                            planes(), width, lastInteriorIndex(width),
                            lastInteriorIndex(height)};
    kernelSums sums[groupLimit];
    kernel(input, live, liveCount, sumOfSquaresLimit, sums);
    std::uint64_t seen = 0;
    for (std::size_t k = 0; k < liveCount; ++k) {
        results[slotOf[k]] = errorSums{sums[k].sumOfSquares, sums[k].sum, sums[k].count, sums[k].abandoned};
        seen += sums[k].shotsSeen;
    }
    shotEvaluations.fetch_add(seen, std::memory_order_relaxed);
}

}  // namespace kalvex
