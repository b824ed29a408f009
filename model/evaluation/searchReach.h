#pragma once
// Which shots a search can ever measure. A shot counts under a candidate only
// when its nearest node is an interior node whose eight neighbours all hold
// data; a shot that no candidate brings next to such a node adds exactly
// nothing to any sum or count of the search, and its passes can leave it out.
#include <cstddef>
#include <cstdint>

#include "model/raster/elevationRaster.h"

namespace kalvex {

// How far the candidates of a search may move the raster: each starts from
// transform and is moved by at most shift along x and along y, or turned by at
// most turn degrees about a node of the raster.
struct searchReach {
    geoTransform transform{0, 0, 0, 0, 0, 0};
    double shift = 0.0;
    double turn = 0.0;
};

class reachTest {
public:
    // planes, when given, are the node planes of the wide kernels, NaN or
    // infinite where a neighbour has no data.
    reachTest(const searchReach& reach, std::uint32_t width, std::uint32_t height, const double* planes);

    // False only when no candidate can give the shot a model elevation.
    bool mayCount(double x, double y) const;

private:
    bool anyNodeWithData(double row, double column, double radius) const;

    searchReach reach;
    double width;
    double height;
    const double* planes;
    double det;
    double frameSize;       // the Frobenius norm of the georeference's matrix
    double turnStretch;     // how far a turn may move a node, per node of distance from its pivot
    bool usable;
};

}  // namespace kalvex
