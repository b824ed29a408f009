#pragma once
// The affine georeference of a raster and the moves the searches make with it.
#include <array>
#include <cstddef>
#include <vector>

#include "model/records.h"

namespace kalvex {

struct mapPosition {
    double x = 0.0;
    double y = 0.0;
};

// A position in the raster's node grid, in (fractional) columns and rows.
struct nodePosition {
    double column;
    double row;
};

// Coefficients in GDAL numbering: node (c, r) lies at
// X = [0] + c*[1] + r*[2], Y = [3] + c*[4] + r*[5]. A raster's nodes are the
// centres of its cells, where their values stand; GDAL's own georeference
// puts node (0, 0) at the top-left corner of the first cell instead.
struct geoTransform {
    std::array<double, 6> coefficients{0, 0, 0, 0, 0, 0};

    double& operator[](std::size_t i) { return coefficients[i]; }
    double operator[](std::size_t i) const { return coefficients[i]; }
    bool operator==(const geoTransform& other) const { return coefficients == other.coefficients; }
    bool operator!=(const geoTransform& other) const { return !(*this == other); }

    double mapX(double column, double row) const {
        return coefficients[0] + column * coefficients[1] + row * coefficients[2];
    }
    double mapY(double column, double row) const {
        return coefficients[3] + column * coefficients[4] + row * coefficients[5];
    }
    mapPosition mapOf(double column, double row) const { return {mapX(column, row), mapY(column, row)}; }

    double determinant() const { return coefficients[1] * coefficients[5] - coefficients[2] * coefficients[4]; }
    // The node grid position of a map position; NaN for a georeference that
    // folds the plane onto a line.
    nodePosition nodeOf(double x, double y) const;

    // The same grid with its origin moved to the position of node (column, row).
    geoTransform withOriginAt(double column, double row) const;

    // The same georeference moved by (dx, dy) in map units.
    geoTransform translated(double dx, double dy) const;
    // The georeference turned counter-clockwise by angle degrees about the
    // map position of node (column, row).
    geoTransform turnedAbout(int column, int row, double angle) const;
};

// Map positions turned counter-clockwise by angle degrees about (pivotX, pivotY).
void turnPoints(std::vector<tiePoint>& points, double angle, double pivotX, double pivotY);

}  // namespace kalvex
