// Turning the raster's georeference and the tie points about a pivot.
#include <cmath>
#include <vector>

#include "model/elevationRaster.h"

namespace kalvex {

namespace {


struct mapPosition {
    double x;
    double y;
};

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

void elevationRaster::rotateGeotransform(int column, int row, double angle) {
    const turn rotation(angle, nodeX(column, row), nodeY(column, row));
    const mapPosition origin = rotation.of(nodeX(0, 0), nodeY(0, 0));
    const mapPosition nextColumn = rotation.of(nodeX(1, 0), nodeY(1, 0));
    const mapPosition nextRow = rotation.of(nodeX(0, 1), nodeY(0, 1));
    transform[0] = origin.x;
    transform[3] = origin.y;
    transform[1] = nextColumn.x - origin.x;
    transform[4] = nextColumn.y - origin.y;
    transform[2] = nextRow.x - origin.x;
    transform[5] = nextRow.y - origin.y;
}

void rotatePoints(std::vector<tiePoint>& points, double angle, double cx, double cy) {
    const turn rotation(angle, cx, cy);
    for (tiePoint& point : points) {
        const mapPosition turned = rotation.of(point.x, point.y);
        point.x = turned.x;
        point.y = turned.y;
    }
}

}  // namespace kalvex
