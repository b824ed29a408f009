// The kernel for any processor: each position in turn forms the errors of a
// stretch of shots from the raster's cells, in two loops without branches that
// the compiler vectorises over the shots; then every position adds its errors
// in shot order, the positions side by side so that their sums overlap.
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "model/evaluation/errorKernel.h"
#include "model/raster/localPlane.h"

namespace kalvex {

namespace {

struct stretchScratch {
    double columnOffset[kernelStretch];
    double rowOffset[kernelStretch];
    std::size_t corner[kernelStretch];  // the cell above and left of the nearest node
    std::int32_t interior[kernelStretch];
};

// Inside the int32 range, and not NaN, so the truncation is always defined.
inline bool fitsInt32(double value) { return (value > -2147483649.0) & (value < 2147483648.0); }

void locateNodes(const kernelPosition& p, const kernelInput& in, std::size_t start, std::size_t n,
                 stretchScratch& s) {
    for (std::size_t i = 0; i < n; ++i) {
        const double u = in.x[start + i] - p.gt0 - p.dx;
        const double v = in.y[start + i] - p.gt3 - p.dy;
        const double rowPosition = (v * p.gt1 - u * p.gt4) / p.det;
        const double columnPosition = (u * p.gt5 - v * p.gt2) / p.det;
        const double roundedRow = rowPosition + 0.5;
        const double roundedColumn = columnPosition + 0.5;
        // Bitwise tests rather than short-circuits keep the loop free of branches.
        const bool representable = fitsInt32(roundedRow) & fitsInt32(roundedColumn);
        const std::int32_t r = static_cast<std::int32_t>(representable ? roundedRow : 0.0);
        const std::int32_t c = static_cast<std::int32_t>(representable ? roundedColumn : 0.0);
        const bool inside = representable & (c >= 1) & (r >= 1) & (c <= in.lastColumn) & (r <= in.lastRow);
        s.columnOffset[i] = columnPosition - c;
        s.rowOffset[i] = rowPosition - r;
        s.corner[i] = inside ? (std::size_t(r) - 1) * in.width + (std::size_t(c) - 1) : 0;
        s.interior[i] = inside ? 1 : 0;
    }
}

// Errors of one stretch: zero for a shot without a model elevation, which
// leaves both sums exactly as they were.
std::size_t stretchErrors(const kernelPosition& p, const kernelInput& in, std::size_t start, std::size_t n,
                          double* errors) {
    stretchScratch s;
    locateNodes(p, in, start, n, s);
    std::size_t valid = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double elevation = neighbourPlaneAt(in.cells + s.corner[i], in.width, s.columnOffset[i], s.rowOffset[i]) + p.dz;
        // NaN and infinities both fail this test: neither is a model elevation.
        const bool usable = s.interior[i] != 0 && std::fabs(elevation) <= DBL_MAX;
        const double error = (in.z[start + i] - elevation) * in.w[start + i];
        errors[i] = usable ? error : 0.0;
        valid += usable ? 1 : 0;
    }
    return valid;
}

}  // namespace

void portableErrorKernel(const kernelInput& input, const kernelPosition* positions, std::size_t count,
                         double sumOfSquaresLimit, kernelSums* sums) {
    bool live[kernelLanes] = {};
    double errors[kernelLanes][kernelStretch] = {};
    std::size_t liveCount = count;
    for (std::size_t k = 0; k < count; ++k) {
        sums[k] = kernelSums{0.0, 0.0, 0, false, 0};
        live[k] = true;
    }
    for (std::size_t start = 0; start < input.shotCount && liveCount > 0; start += kernelStretch) {
        const std::size_t n = input.shotCount - start < kernelStretch ? input.shotCount - start : kernelStretch;
        for (std::size_t k = 0; k < count; ++k)
            if (live[k]) {
                sums[k].count += stretchErrors(positions[k], input, start, n, errors[k]);
                sums[k].shotsSeen += n;
            }
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t k = 0; k < count; ++k) {
                const double error = errors[k][i];
                sums[k].sumOfSquares += error * error;
                sums[k].sum += error;
            }
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (!live[k] || !(sums[k].sumOfSquares > sumOfSquaresLimit)) continue;
            sums[k].abandoned = true;
            live[k] = false;
            --liveCount;
            for (double& error : errors[k]) error = 0.0;
        }
    }
}

}  // namespace kalvex
