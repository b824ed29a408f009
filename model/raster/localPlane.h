#pragma once
// The model elevation of one point: the least-squares plane through the eight
// cells around the raster node nearest to the point, evaluated at the point.
//
// The plane is solved in the raster's own cell frame, relative to the centre
// node. For the eight neighbours (i, j in {-1, 0, 1} without the centre)
// sum(i) = sum(j) = sum(i*j) = 0 and sum(i*i) = sum(j*j) = 6, so the normal
// equations are diagonal and the plane is g + a*di + b*dj with
// a = sum(i*Z)/6, b = sum(j*Z)/6, g = sum(Z)/8. Under an affine georeference
// this is the same plane as the one fitted in map coordinates, but it does not
// lose metres to cancellation at longitudes near 180 degrees with tiny cells
// or at polar coordinates near a million metres.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "model/raster/elevationRaster.h"
#include "model/records.h"

namespace kalvex {

// The least-squares plane through the eight neighbours of a node, in cells
// from the node: z = g + a * column offset + b * row offset; above points at
// the neighbour up and to the left. In cell space the neighbours' sums of i,
// j and ij vanish and those of i^2 and j^2 are 6, so the plane needs no
// solving and nothing cancels, whatever the map coordinates of the raster.
struct neighbourPlane {
    double a;
    double b;
    double g;
};

inline neighbourPlane neighbourPlaneOf(const float* above, std::size_t width) {
    const float* middle = above + width;
    const float* below = middle + width;
    const double leftColumn = double(above[0]) + double(middle[0]) + double(below[0]);
    const double rightColumn = double(above[2]) + double(middle[2]) + double(below[2]);
    const double rowAbove = double(above[0]) + double(above[1]) + double(above[2]);
    const double rowBelow = double(below[0]) + double(below[1]) + double(below[2]);
    const double sumZ = leftColumn + rightColumn + double(above[1]) + double(below[1]);
    return {(rightColumn - leftColumn) / 6.0, (rowBelow - rowAbove) / 6.0, sumZ / 8.0};
}

inline double neighbourPlaneAt(const float* above, std::size_t width, double columnOffset, double rowOffset) {
    const neighbourPlane plane = neighbourPlaneOf(above, width);
    return plane.g + plane.a * columnOffset + plane.b * rowOffset;
}


class localPlane {
public:
    // Offsets dx, dy move the raster's nodes, dz raises its cells.
    localPlane(const elevationRaster& raster, double offsetX, double offsetY, double offsetZ)
        : cells(raster.cells.data()),
          width(raster.width),
          lastInteriorColumn(std::int64_t(raster.width) - 2),
          lastInteriorRow(std::int64_t(raster.height) - 2),
          gt0(raster.transform[0]),
          gt1(raster.transform[1]),
          gt2(raster.transform[2]),
          gt3(raster.transform[3]),
          gt4(raster.transform[4]),
          gt5(raster.transform[5]),
          det(raster.transform.determinant()),
          dx(offsetX),
          dy(offsetY),
          dz(offsetZ),
          usable(raster.cells.size() >= std::size_t(raster.width) * raster.height && det != 0.0 &&
                 std::isfinite(det)) {}

    // NaN when the nearest node is not an interior node or a neighbour holds no data.
    double elevationAt(double x, double y) const {
        if (!usable) return notANumber;
        const double u = x - gt0 - dx;
        const double v = y - gt3 - dy;
        const double rowPosition = (v * gt1 - u * gt4) / det;
        const double columnPosition = (u * gt5 - v * gt2) / det;
        const double roundedRow = rowPosition + 0.5;
        const double roundedColumn = columnPosition + 0.5;
        if (!fitsInt32(roundedRow) || !fitsInt32(roundedColumn)) return notANumber;
        const std::int32_t r = static_cast<std::int32_t>(roundedRow);
        const std::int32_t c = static_cast<std::int32_t>(roundedColumn);
        if (c < 1 || r < 1 || c > lastInteriorColumn || r > lastInteriorRow) return notANumber;

        const float* above = cells + (std::size_t(r) - 1) * width + (std::size_t(c) - 1);
        const double elevation = neighbourPlaneAt(above, width, columnPosition - c, rowPosition - r) + dz;
        // An infinite cell gives no usable elevation either.
        return std::isfinite(elevation) ? elevation : notANumber;
    }

private:
    // False for NaN and infinities too, so the truncation below is always defined.
    static bool fitsInt32(double value) { return value > -2147483649.0 && value < 2147483648.0; }

    const float* cells;
    std::size_t width;
    std::int64_t lastInteriorColumn;
    std::int64_t lastInteriorRow;
    double gt0, gt1, gt2, gt3, gt4, gt5;
    double det;
    double dx, dy, dz;
    bool usable;
};

}  // namespace kalvex
