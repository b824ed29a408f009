#include "model/rasterExtent.h"

#include <algorithm>
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

double shorterCellSide(const geoTransform& transform) {
    return std::min(std::hypot(transform[1], transform[4]), std::hypot(transform[2], transform[5]));
}

mapBox boxAround(const elevationRaster& raster, double margin) {
    const double lastColumn = double(raster.width) - 1.0;
    const double lastRow = double(raster.height) - 1.0;
    const double xs[4] = {raster.nodeX(0, 0), raster.nodeX(lastColumn, 0), raster.nodeX(0, lastRow),
                          raster.nodeX(lastColumn, lastRow)};
    const double ys[4] = {raster.nodeY(0, 0), raster.nodeY(lastColumn, 0), raster.nodeY(0, lastRow),
                          raster.nodeY(lastColumn, lastRow)};
    mapBox box;
    box.xmin = *std::min_element(xs, xs + 4) - margin;
    box.xmax = *std::max_element(xs, xs + 4) + margin;
    box.ymin = *std::min_element(ys, ys + 4) - margin;
    box.ymax = *std::max_element(ys, ys + 4) + margin;
    return box;
}

bool liesOnRaster(const elevationRaster& raster, double x, double y) {
    const geoTransform& gt = raster.transform;
    const double determinant = gt[1] * gt[5] - gt[2] * gt[4];
    if (!(determinant != 0.0) || raster.width == 0 || raster.height == 0) return false;
    const double dx = x - gt[0];
    const double dy = y - gt[3];
    const double column = (gt[5] * dx - gt[2] * dy) / determinant;
    const double row = (gt[1] * dy - gt[4] * dx) / determinant;
    return column >= 0.0 && column <= double(raster.width) - 1.0 && row >= 0.0 && row <= double(raster.height) - 1.0;
}

bool looksLikeDegrees(const elevationRaster& raster) {
    const mapBox box = boxAround(raster, 0.0);
    return box.xmin >= -540.0 && box.xmax <= 540.0 && box.ymin >= -90.0 && box.ymax <= 90.0;
}

}  // namespace kalvex
