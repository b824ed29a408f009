#pragma once
// The inner loop of the searches: the weighted errors of every shot under up
// to eight positions of the raster at once, summed shot by shot in shot order.
//
// Each position keeps the arithmetic of the one-point evaluation, operation
// for operation and without fused multiply-adds, so its sums are bit for bit
// those of rmsAndMean. The wide paths give one vector lane to each position:
// the lanes share the shot, and their sums run side by side, each in shot
// order. This header holds plain data only, so that the sources built for
// wider instruction sets share no inline code with the rest of the program.
#include <cstddef>
#include <cstdint>

namespace kalvex {

// One raster position: its georeference, moved by dx, dy and raised by dz.
struct kernelPosition {
    double gt0, gt1, gt2, gt3, gt4, gt5;
    double det;
    double dx, dy, dz;
};

// The shots, one array per field, and the raster they are measured against.
// planes holds the local plane of every node, three doubles per node in row
// order: the slopes along the columns and the rows and the mean of the eight
// neighbours (NaN or infinite where a neighbour has no data). Without planes
// the wide paths read the eight cells around each node instead.
struct kernelInput {
    const double* x;
    const double* y;
    const double* z;
    const double* w;
    std::size_t shotCount;
    const float* cells;
    const double* planes;
    std::size_t width;
    std::int32_t lastColumn;  // the last interior column and row
    std::int32_t lastRow;
};

struct kernelSums {
    double sumOfSquares;
    double sum;
    std::size_t count;
    bool abandoned;  // the sum of squares passed the limit: the rest was not measured
    std::size_t shotsSeen;  // shots measured before the end or the limit
};

// Shots between two looks at the limit: a position is given up at the end of
// the first stretch whose sum of squares exceeds it.
constexpr std::size_t kernelStretch = 64;
constexpr std::size_t kernelLanes = 8;

// Sums of count (at most kernelLanes) positions; each is given up once its
// sum of squares exceeds sumOfSquaresLimit.
using errorKernel = void (*)(const kernelInput& input, const kernelPosition* positions, std::size_t count,
                             double sumOfSquaresLimit, kernelSums* sums);

enum class kernelPath { automatic, portable, avx2, avx512 };

// Whether this processor and build can run a path; automatic and portable always can.
bool kernelPathRuns(kernelPath path);
// The widest path that runs, unless one was forced.
kernelPath chosenKernelPath();
// Makes every evaluator made afterwards use the given path (automatic undoes
// it), reading the cells rather than the planes when told so, as it does for a
// raster too large for them; for the tests, which hold each path against the others.
void forceKernelPath(kernelPath path, bool readingCells = false);
bool kernelReadsCells();
// The kernel of a path that runs.
errorKernel kernelFor(kernelPath path);

// The ten numbers of each position, field by field, one column per lane;
// lanes beyond count repeat the first position.
constexpr int positionFields = 10;
void spreadOverLanes(const kernelPosition* positions, std::size_t count,
                     double (&fields)[positionFields][kernelLanes]);

// The local plane of one interior node, from the eight cells around it: the
// slopes along the columns and the rows and the mean, in plane[0..2].
void nodePlane(const float* cells, std::size_t width, std::size_t node, double* plane);

// The local planes of every node for kernelInput::planes.
void fillNodePlanes(const float* cells, std::size_t width, std::size_t height, double* planes);

// The kernels of the individual paths; the wide ones exist only on x86-64.
void portableErrorKernel(const kernelInput& input, const kernelPosition* positions, std::size_t count,
                         double sumOfSquaresLimit, kernelSums* sums);
void avx2ErrorKernel(const kernelInput& input, const kernelPosition* positions, std::size_t count,
                     double sumOfSquaresLimit, kernelSums* sums);
void avx512ErrorKernel(const kernelInput& input, const kernelPosition* positions, std::size_t count,
                       double sumOfSquaresLimit, kernelSums* sums);

}  // namespace kalvex
