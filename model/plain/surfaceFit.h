#pragma once
// Plane and quadratic surfaces fitted to the point errors and added to the
// raster, so that the raster bends towards the altimeter points. With the
// raster's debug flag the fits print their coefficients (and the quadratic
// its matrices).
#include <array>
#include <ostream>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

// The frame a surface is fitted in: offsets from (originX, originY) divided
// by scale, so that the fit never works on raw map coordinates.
struct localFrame {
    double originX = 0.0;
    double originY = 0.0;
    double scale = 1.0;
    double localX(double x) const { return (x - originX) / scale; }
    double localY(double y) const { return (y - originY) / scale; }
};

// A surface fitted to the point errors, in the local frame it was fitted in.
// None when there is nothing to add.
struct fittedSurface {
    enum termCount { none = 0, plane = 3, quadratic = 6 };
    termCount terms = none;
    localFrame frame;
    std::array<double, 6> local{0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // of X^2, XY, Y^2, X, Y, 1
    bool alongOneLine = false;  // the plane's points lie along (or too near) one line
    bool leftOpen = false;      // the points do not determine the quadratic: none is added
    double at(double x, double y) const;
};

// The plane of the errors. Points along one line, or too near one to hold
// the plane up across the raster, get the plane without a slope across them
// (with a warning unless lineTold); fewer than two points with a model
// elevation, or a plane they do not determine, give none.
fittedSurface planeOfErrors(std::ostream& console, const elevationRaster& raster, const std::vector<molaPoint>& points,
                            const trackWeightList* weights, bool lineTold);

// Cx^2, Cxy, Cy^2, Cx, Cy, C0 of the least-squares quadratic surface of the
// errors in map coordinates; all 0 when its solution is rejected.
std::array<double, 6> quadraticFit(std::ostream& console, const elevationRaster& raster,
                                   const std::vector<molaPoint>& points, const trackWeightList* weights);

// The quadratic surface of the errors; none, with a warning, when the points
// do not determine it across the raster (leftOpen), and none when its
// solution is rejected.
fittedSurface quadraticOfErrors(std::ostream& console, const elevationRaster& raster,
                                const std::vector<molaPoint>& points, const trackWeightList* weights);

// The surface added to the cells and to the tie point elevations.
void addSurface(elevationRaster& raster, std::vector<tiePoint>& tiePoints, const fittedSurface& surface);

}  // namespace kalvex
