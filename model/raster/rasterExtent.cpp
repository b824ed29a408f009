#include "model/raster/rasterExtent.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kalvex {

rasterEdges edgesOf(const elevationRaster& raster) {
    const double lastColumn = double(raster.width) - 1.0;
    const double lastRow = double(raster.height) - 1.0;
    const geoTransform& gt = raster.transform;
    rasterEdges edges;
    edges.left = std::min(raster.nodeX(0, 0), raster.nodeX(0, lastRow));
    edges.right = std::max(raster.nodeX(lastColumn, 0), raster.nodeX(lastColumn, lastRow));
    // A negative zero counts as not negative.
    const bool sameSigns = (gt[4] < 0) == (gt[5] < 0);
    if (sameSigns) {
        edges.top = raster.nodeY(0, 0);
        edges.bottom = raster.nodeY(lastColumn, lastRow);
    } else {
        edges.top = raster.nodeY(lastColumn, 0);
        edges.bottom = raster.nodeY(0, lastRow);
    }
    return edges;
}

double mapWidth(const elevationRaster& raster) {
    const rasterEdges edges = edgesOf(raster);
    return std::fabs(edges.left - edges.right);
}

double mapHeight(const elevationRaster& raster) {
    const rasterEdges edges = edgesOf(raster);
    return std::fabs(edges.top - edges.bottom);
}

mapPosition rasterCentre(const elevationRaster& raster) {
    return raster.transform.mapOf(0.5 * (double(raster.width) - 1.0), 0.5 * (double(raster.height) - 1.0));
}

double shorterCellSide(const geoTransform& transform) {
    return std::min(std::hypot(transform[1], transform[4]), std::hypot(transform[2], transform[5]));
}

mapBox boxAround(const elevationRaster& raster, double margin) {
    const double lastColumn = double(raster.width) - 1.0;
    const double lastRow = double(raster.height) - 1.0;
    const std::array<double, 4> xs{raster.nodeX(0, 0), raster.nodeX(lastColumn, 0), raster.nodeX(0, lastRow),
                                   raster.nodeX(lastColumn, lastRow)};
    const std::array<double, 4> ys{raster.nodeY(0, 0), raster.nodeY(lastColumn, 0), raster.nodeY(0, lastRow),
                                   raster.nodeY(lastColumn, lastRow)};
    const auto [xLowest, xHighest] = std::minmax_element(xs.begin(), xs.end());
    const auto [yLowest, yHighest] = std::minmax_element(ys.begin(), ys.end());
    mapBox box;
    box.xmin = *xLowest - margin;
    box.xmax = *xHighest + margin;
    box.ymin = *yLowest - margin;
    box.ymax = *yHighest + margin;
    return box;
}

bool liesOnRaster(const elevationRaster& raster, double x, double y) {
    if (raster.width == 0 || raster.height == 0) return false;
    const nodePosition node = raster.transform.nodeOf(x, y);
    return node.column >= 0.0 && node.column <= double(raster.width) - 1.0 && node.row >= 0.0 &&
           node.row <= double(raster.height) - 1.0;
}

bool looksLikeDegrees(const elevationRaster& raster) {
    const mapBox box = boxAround(raster, 0.0);
    return box.xmin >= -540.0 && box.xmax <= 540.0 && box.ymin >= -90.0 && box.ymax <= 90.0;
}

bool holdsOnlyAsRadians(const elevationRaster& raster, const std::vector<tiePoint>& points) {
    if (points.empty() || !looksLikeDegrees(raster)) return false;
    const double degreesPerRadian = 180.0 / pi;
    for (const tiePoint& point : points) {
        if (liesOnRaster(raster, point.x, point.y)) return false;
        if (!liesOnRaster(raster, point.x * degreesPerRadian, point.y * degreesPerRadian)) return false;
    }
    return true;
}

namespace {

// Distance from a longitude to the raster's own longitude range.
double distanceOutside(double x, const mapBox& raster) {
    if (x < raster.xmin) return raster.xmin - x;
    if (x > raster.xmax) return x - raster.xmax;
    return 0.0;
}

}  // namespace

// A raster counting longitudes 0 to 360 and one counting -180 to 180 hold
// the same shots; a single wrap into [-180, 180] can leave a shot a turn
// away from a raster that spans more than half a turn. Only rasters in
// degrees are meant: metres have no turns.
std::vector<molaPoint> placedOnRasterLongitudes(std::vector<molaPoint> points, const elevationRaster& raster) {
    if (!looksLikeDegrees(raster)) return points;
    const mapBox longitudes = boxAround(raster, 0.0);
    for (molaPoint& point : points) {
        double best = point.x;
        for (const double turns : {-2.0, -1.0, 1.0, 2.0}) {
            const double moved = point.x + 360.0 * turns;
            if (distanceOutside(moved, longitudes) < distanceOutside(best, longitudes)) best = moved;
        }
        point.x = best;
    }
    return points;
}

std::vector<molaPoint> trimmedToRaster(std::vector<molaPoint> points, const elevationRaster& raster, double margin) {
    const mapBox box = boxAround(raster, margin);
    auto outside = [&box](const molaPoint& point) { return !box.contains(point.x, point.y); };
    points.erase(std::remove_if(points.begin(), points.end(), outside), points.end());
    return points;
}

}  // namespace kalvex
