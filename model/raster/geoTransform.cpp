#include "model/raster/geoTransform.h"

#include <cmath>

namespace kalvex {

namespace {

// Counter-clockwise on a map whose y axis points up.
struct turn {
    double s;
    double c;
    double pivotX;
    double pivotY;
    turn(double angle, double aboutX, double aboutY)
        : s(std::sin(angle * pi / 180.0)), c(std::cos(angle * pi / 180.0)), pivotX(aboutX), pivotY(aboutY) {}
    mapPosition of(double x, double y) const {
        return {pivotX + c * (x - pivotX) - s * (y - pivotY), pivotY + s * (x - pivotX) + c * (y - pivotY)};
    }
};

}  // namespace

nodePosition geoTransform::nodeOf(double x, double y) const {
    const double det = determinant();
    if (!(det != 0.0)) return {notANumber, notANumber};
    const double dx = x - coefficients[0];
    const double dy = y - coefficients[3];
    return {(coefficients[5] * dx - coefficients[2] * dy) / det, (coefficients[1] * dy - coefficients[4] * dx) / det};
}

geoTransform geoTransform::withOriginAt(double column, double row) const {
    geoTransform moved = *this;
    moved[0] = mapX(column, row);
    moved[3] = mapY(column, row);
    return moved;
}

geoTransform geoTransform::translated(double dx, double dy) const {
    geoTransform moved = *this;
    moved[0] += dx;
    moved[3] += dy;
    return moved;
}

// The turned georeference is read off the turned images of three nodes, so
// that it maps every node exactly where turning its map position would.
geoTransform geoTransform::turnedAbout(int column, int row, double angle) const {
    const turn rotation(angle, mapX(column, row), mapY(column, row));
    const mapPosition origin = rotation.of(mapX(0, 0), mapY(0, 0));
    const mapPosition nextColumn = rotation.of(mapX(1, 0), mapY(1, 0));
    const mapPosition nextRow = rotation.of(mapX(0, 1), mapY(0, 1));
    geoTransform turned;
    turned[0] = origin.x;
    turned[3] = origin.y;
    turned[1] = nextColumn.x - origin.x;
    turned[4] = nextColumn.y - origin.y;
    turned[2] = nextRow.x - origin.x;
    turned[5] = nextRow.y - origin.y;
    return turned;
}

void turnPoints(std::vector<tiePoint>& points, double angle, double pivotX, double pivotY) {
    const turn rotation(angle, pivotX, pivotY);
    for (tiePoint& point : points) {
        const mapPosition turned = rotation.of(point.x, point.y);
        point.x = turned.x;
        point.y = turned.y;
    }
}

}  // namespace kalvex
