#pragma once
// The raster's outline in map units, as the driver, the track read and the
// trimming see it.
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"

namespace kalvex {

// Left, right, top and bottom of the raster, the nodes of its first and last
// cells; top and bottom follow the signs of GT4 and GT5 (the way the maps
// draw the raster), so top may lie below bottom.
struct rasterEdges {
    double left = 0.0;
    double right = 0.0;
    double top = 0.0;
    double bottom = 0.0;
};

// An axis-aligned box in map units.
struct mapBox {
    double xmin = 0.0;
    double xmax = 0.0;
    double ymin = 0.0;
    double ymax = 0.0;
    bool contains(double x, double y) const { return xmin <= x && x <= xmax && ymin <= y && ymax >= y; }
};

rasterEdges edgesOf(const elevationRaster& raster);
double mapWidth(const elevationRaster& raster);
double mapHeight(const elevationRaster& raster);

// The map position of the middle of the raster's nodes.
mapPosition rasterCentre(const elevationRaster& raster);

// The length of a cell's shorter side in map units, whatever its turn.
double shorterCellSide(const geoTransform& transform);

// The lowest and highest corner coordinate on each axis, grown by the margin on
// every side, whatever directions the rows and columns run in.
mapBox boxAround(const elevationRaster& raster, double margin);

// True when (x, y) lies on the raster: between its first and last nodes in
// both directions, whatever its rotation.
bool liesOnRaster(const elevationRaster& raster, double x, double y);

// A raster whose corners all read as longitudes and latitudes; a raster in
// metres has corners far beyond them.
bool looksLikeDegrees(const elevationRaster& raster);

// True when the tie points are angles in radians: a raster in degrees holds
// none of them as read, and every one once read as radians.
bool holdsOnlyAsRadians(const elevationRaster& raster, const std::vector<tiePoint>& points);

// The points moved by whole turns of longitude onto the raster's own
// longitudes, or as near to them as a turn brings them.
std::vector<molaPoint> placedOnRasterLongitudes(std::vector<molaPoint> points, const elevationRaster& raster);

// The points that lie in the raster's box grown by margin, in their order.
std::vector<molaPoint> trimmedToRaster(std::vector<molaPoint> points, const elevationRaster& raster, double margin);

}  // namespace kalvex
