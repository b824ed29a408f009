// Choosing the widest kernel the processor runs, and the node planes the wide
// kernels read instead of the eight cells around each node.
#include "model/evaluation/errorKernel.h"

#include <atomic>
#include <initializer_list>

#include "model/raster/localPlane.h"

namespace kalvex {

namespace {

std::atomic<kernelPath> forcedPath{kernelPath::automatic};
std::atomic<bool> forcedCells{false};

bool processorHas(kernelPath path) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (path == kernelPath::avx2) return __builtin_cpu_supports("avx2");
    if (path == kernelPath::avx512) return __builtin_cpu_supports("avx512f");
#endif
    return path == kernelPath::automatic || path == kernelPath::portable;
}

}  // namespace

bool kernelPathRuns(kernelPath path) { return processorHas(path); }

kernelPath chosenKernelPath() {
    const kernelPath forced = forcedPath.load();
    if (forced != kernelPath::automatic) return forced;
    for (const kernelPath path : {kernelPath::avx512, kernelPath::avx2})
        if (processorHas(path)) return path;
    return kernelPath::portable;
}

void forceKernelPath(kernelPath path, bool readingCells) {
    forcedPath.store(kernelPathRuns(path) ? path : kernelPath::automatic);
    forcedCells.store(readingCells);
}

bool kernelReadsCells() { return forcedCells.load(); }

errorKernel kernelFor(kernelPath path) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (path == kernelPath::avx512 && processorHas(path)) return avx512ErrorKernel;
    if (path == kernelPath::avx2 && processorHas(path)) return avx2ErrorKernel;
#endif
    (void)path;
    return portableErrorKernel;
}

void spreadOverLanes(const kernelPosition* positions, std::size_t count,
                     double (&fields)[positionFields][kernelLanes]) {
    for (std::size_t k = 0; k < kernelLanes; ++k) {
        const kernelPosition& p = positions[k < count ? k : 0];
        const double values[positionFields] = {p.gt0, p.gt1, p.gt2, p.gt3, p.gt4, p.gt5, p.det, p.dx, p.dy, p.dz};
        for (int f = 0; f < positionFields; ++f) fields[f][k] = values[f];
    }
}

// The same sums, in the same order, as the one-point evaluation forms for a
// node each time a point falls next to it; only the offsets of the point from
// the node are left for the kernels.
void nodePlane(const float* cells, std::size_t width, std::size_t node, double* plane) {
    const neighbourPlane neighbours = neighbourPlaneOf(cells + node - width - 1, width);
    plane[0] = neighbours.a;
    plane[1] = neighbours.b;
    plane[2] = neighbours.g;
}

void fillNodePlanes(const float* cells, std::size_t width, std::size_t height, double* planes) {
    const double notANumber = __builtin_nan("");
    for (std::size_t node = 0; node < width * height * 3; ++node) planes[node] = notANumber;
    for (std::size_t r = 1; r + 1 < height; ++r)
        for (std::size_t c = 1; c + 1 < width; ++c) nodePlane(cells, width, r * width + c, planes + 3 * (r * width + c));
}

}  // namespace kalvex
