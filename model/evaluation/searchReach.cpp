// The reach of a search, bounded generously: a shot is left out only when it
// stays more than a whole cell, plus a margin far above every rounding of the
// position arithmetic, away from every node that could give it a model
// elevation.
#include "model/evaluation/searchReach.h"

#include <algorithm>
#include <cmath>

namespace kalvex {

namespace {

// Nodes looked at for data around one shot; beyond this the shot is kept.
constexpr double mostNodesChecked = 256.0;

}  // namespace

reachTest::reachTest(const searchReach& given, std::uint32_t columns, std::uint32_t rows, const double* nodePlanes)
    : reach(given), width(columns), height(rows), planes(nodePlanes) {
    const geoTransform& t = reach.transform;
    det = t.determinant();
    frameSize = std::sqrt(t[1] * t[1] + t[2] * t[2] + t[4] * t[4] + t[5] * t[5]);
    // |T - I| <= |M| |R - I| |M^-1|, with |R - I| = 2 |sin(turn / 2)| <= turn in
    // radians and, for a 2 x 2 matrix, |M^-1| = |M| / |det| in the Frobenius norm.
    const double turn = std::min(std::fabs(reach.turn) * pi / 180.0, 2.0);
    turnStretch = frameSize * frameSize / std::fabs(det) * turn;
    usable = width >= 3 && height >= 3 && det != 0.0 && std::isfinite(det) && std::isfinite(frameSize) &&
             std::isfinite(turnStretch) && std::isfinite(reach.shift) && reach.shift >= 0.0;
}

bool reachTest::mayCount(double x, double y) const {
    if (!usable) return true;
    const geoTransform& t = reach.transform;
    const double u = x - t[0];
    const double v = y - t[3];
    const double row = (v * t[1] - u * t[4]) / det;
    const double column = (u * t[5] - v * t[2]) / det;
    // A position that is no number never reaches a node.
    if (!std::isfinite(row) || !std::isfinite(column)) return false;
    const double shiftCells = 2.0 * reach.shift * frameSize / std::fabs(det);
    const double farRow = std::max(std::fabs(row), std::fabs(row - (height - 1.0)));
    const double farColumn = std::max(std::fabs(column), std::fabs(column - (width - 1.0)));
    const double turnCells = turnStretch * std::hypot(farRow, farColumn);
    const double magnitude = (std::fabs(x) + std::fabs(y) + std::fabs(t[0]) + std::fabs(t[3]) + reach.shift) *
                                 frameSize / std::fabs(det) +
                             std::fabs(row) + std::fabs(column) + shiftCells + turnCells;
    const double radius = shiftCells + turnCells + 1.0 + 1e-9 * magnitude;
    if (!std::isfinite(radius)) return true;
    // Nearest nodes from 1 to the last interior one: rounded positions in [0.5, last + 0.5).
    const bool nearInterior = row + radius >= 0.5 && row - radius <= height - 1.5 && column + radius >= 0.5 &&
                              column - radius <= width - 1.5;
    return nearInterior && anyNodeWithData(row, column, radius);
}

// A node whose plane is not finite gives no model elevation at any offset.
bool reachTest::anyNodeWithData(double row, double column, double radius) const {
    if (planes == nullptr) return true;
    const double firstRow = std::max(1.0, std::floor(row - radius));
    const double lastRow = std::min(height - 2.0, std::ceil(row + radius));
    const double firstColumn = std::max(1.0, std::floor(column - radius));
    const double lastColumn = std::min(width - 2.0, std::ceil(column + radius));
    if ((lastRow - firstRow + 1.0) * (lastColumn - firstColumn + 1.0) > mostNodesChecked) return true;
    // Both ranges lie inside the raster here, so the conversions are exact.
    for (std::size_t r = std::size_t(firstRow); double(r) <= lastRow; ++r) {
        for (std::size_t c = std::size_t(firstColumn); double(c) <= lastColumn; ++c) {
            const double* plane = planes + 3 * (r * std::size_t(width) + c);
            if (std::isfinite(plane[0]) && std::isfinite(plane[1]) && std::isfinite(plane[2])) return true;
        }
    }
    return false;
}

}  // namespace kalvex
