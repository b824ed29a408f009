#pragma once
// The body of the wide kernels, for any vector width: one lane per position,
// every lane on the same shot, each lane's sums in shot order. Each wide
// source includes it with the vector operations of its instruction set
// (names of the form lanes::add), so nothing here is shared between sources
// built for different instruction sets.
//
// Per lane the arithmetic is that of the one-point evaluation, operation for
// operation: the offsets from the nearest node, the node's local plane read
// from the precomputed planes, the weighted error, and the two sums.
#include "model/evaluation/errorKernel.h"

namespace kalvex {

namespace {

// The planes of the lanes' nodes: from the table when there is one, else
// from the eight cells around each node, summed as nodePlane sums them.
// Neighbouring positions mostly put a shot next to the same node: then one
// plane serves every lane.
template <typename lanes>
void planesOf(const kernelInput& input, const typename lanes::index& node, const typename lanes::mask& inside,
              typename lanes::real& a, typename lanes::real& b, typename lanes::real& g) {
    std::size_t first = 0;
    if (lanes::shared(node, inside, first)) {
        double computed[3];
        const double* plane = input.planes + 3 * first;
        if (input.planes == nullptr) {
            nodePlane(input.cells, input.width, first, computed);
            plane = computed;
        }
        a = lanes::set(plane[0]);
        b = lanes::set(plane[1]);
        g = lanes::set(plane[2]);
        return;
    }
    if (input.planes != nullptr) {
        a = lanes::planeField(input.planes, node, inside, 0);
        b = lanes::planeField(input.planes, node, inside, 1);
        g = lanes::planeField(input.planes, node, inside, 2);
        return;
    }
    using real = typename lanes::real;
    const long long w = static_cast<long long>(input.width);
    const auto cell = [&](long long offset) { return lanes::cellAt(input.cells, node, offset, inside); };
    const real aboveLeft = cell(-w - 1), above = cell(-w), aboveRight = cell(-w + 1);
    const real left = cell(-1), right = cell(1);
    const real belowLeft = cell(w - 1), below = cell(w), belowRight = cell(w + 1);
    const real leftColumn = lanes::add(lanes::add(aboveLeft, left), belowLeft);
    const real rightColumn = lanes::add(lanes::add(aboveRight, right), belowRight);
    const real rowAbove = lanes::add(lanes::add(aboveLeft, above), aboveRight);
    const real rowBelow = lanes::add(lanes::add(belowLeft, below), belowRight);
    const real sumZ = lanes::add(lanes::add(lanes::add(leftColumn, rightColumn), above), below);
    a = lanes::div(lanes::sub(rightColumn, leftColumn), lanes::set(6.0));
    b = lanes::div(lanes::sub(rowBelow, rowAbove), lanes::set(6.0));
    g = lanes::div(sumZ, lanes::set(8.0));
}

template <typename lanes>
void measureLanes(const kernelInput& input, const kernelPosition* positions, std::size_t count,
                  double sumOfSquaresLimit, kernelSums* sums) {
    using real = typename lanes::real;
    using mask = typename lanes::mask;
    alignas(64) double fields[positionFields][kernelLanes];
    spreadOverLanes(positions, count, fields);
    real f[positionFields];
    for (int k = 0; k < positionFields; ++k) f[k] = lanes::load(fields[k]);
    const real &gt0 = f[0], &gt1 = f[1], &gt2 = f[2], &gt3 = f[3], &gt4 = f[4], &gt5 = f[5], &det = f[6],
               &dx = f[7], &dy = f[8], &dz = f[9];
    const real half = lanes::set(0.5);
    const real one = lanes::set(1.0);
    // With 1 <= rounded < last + 1 the truncation lies in [1, last] and the
    // rounded position inside the int32 range, so converting it is exact.
    const real columnEnd = lanes::set(double(input.lastColumn) + 1.0);
    const real rowEnd = lanes::set(double(input.lastRow) + 1.0);
    const real largest = lanes::set(__DBL_MAX__);
    const real limit = lanes::set(sumOfSquaresLimit);
    real sumOfSquares = lanes::set(0.0);
    real sum = lanes::set(0.0);
    typename lanes::counter counts = lanes::noCounts();
    mask live = lanes::firstLanes(count);
    mask abandoned = lanes::firstLanes(0);
    std::size_t seen[kernelLanes] = {};

    for (std::size_t start = 0; start < input.shotCount && lanes::any(live); start += kernelStretch) {
        const std::size_t end = input.shotCount - start < kernelStretch ? input.shotCount : start + kernelStretch;
        for (std::size_t i = start; i < end; ++i) {
            const real u = lanes::sub(lanes::sub(lanes::set(input.x[i]), gt0), dx);
            const real v = lanes::sub(lanes::sub(lanes::set(input.y[i]), gt3), dy);
            const real rowPosition = lanes::div(lanes::sub(lanes::mul(v, gt1), lanes::mul(u, gt4)), det);
            const real columnPosition = lanes::div(lanes::sub(lanes::mul(u, gt5), lanes::mul(v, gt2)), det);
            const real roundedRow = lanes::add(rowPosition, half);
            const real roundedColumn = lanes::add(columnPosition, half);
            mask inside = lanes::atLeast(live, roundedColumn, one);
            inside = lanes::below(inside, roundedColumn, columnEnd);
            inside = lanes::atLeast(inside, roundedRow, one);
            inside = lanes::below(inside, roundedRow, rowEnd);
            // No lane has a model elevation: every error is zero and leaves the sums as they are.
            if (!lanes::any(inside)) continue;

            const typename lanes::whole r = lanes::truncate(roundedRow);
            const typename lanes::whole c = lanes::truncate(roundedColumn);
            const real columnOffset = lanes::sub(columnPosition, lanes::widen(c));
            const real rowOffset = lanes::sub(rowPosition, lanes::widen(r));
            real a, b, g;
            planesOf<lanes>(input, lanes::nodes(r, c, input.width), inside, a, b, g);
            const real elevation =
                lanes::add(lanes::add(lanes::add(g, lanes::mul(a, columnOffset)), lanes::mul(b, rowOffset)), dz);
            // NaN and infinities both fail this test: neither is a model elevation.
            const mask usable = lanes::atMost(inside, lanes::magnitude(elevation), largest);
            const real error = lanes::keep(
                usable, lanes::mul(lanes::sub(lanes::set(input.z[i]), elevation), lanes::set(input.w[i])));
            sumOfSquares = lanes::add(sumOfSquares, lanes::mul(error, error));
            sum = lanes::add(sum, error);
            counts = lanes::countIn(counts, usable);
        }
        const mask over = lanes::above(live, sumOfSquares, limit);
        for (std::size_t k = 0; k < lanes::width; ++k)
            if (lanes::has(live, k)) seen[k] = end;
        abandoned = lanes::either(abandoned, over);
        live = lanes::without(live, over);
    }

    alignas(64) double squares[kernelLanes];
    alignas(64) double sums1[kernelLanes];
    alignas(64) long long counted[kernelLanes];
    lanes::store(squares, sumOfSquares);
    lanes::store(sums1, sum);
    lanes::storeCounts(counted, counts);
    for (std::size_t k = 0; k < count && k < lanes::width; ++k)
        sums[k] = kernelSums{squares[k], sums1[k], static_cast<std::size_t>(counted[k]),
                             lanes::has(abandoned, k), seen[k]};
}

}  // namespace

}  // namespace kalvex
