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

}  // namespace kalvex
