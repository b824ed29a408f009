#pragma once
// The measure of the robust alignment: how well the raster, at a trial
// position, matches the shots once a plane of its own is taken out, without
// letting a bad track or a few gross errors decide.
//
// A plane fitted beforehand and held while the raster moves belongs to the
// old position; at any other one it leaves a tilt that the comparison then
// blames on the position. So every trial position gets its own plane, fitted
// to the errors there, and the measure is the RMS of the best share of what
// the plane leaves: a track tens of metres off, or shots off by hundreds,
// fall into the ignored share instead of pulling the plane and the position.
#include <cstddef>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

// Shares of the residuals in the measure; the rest, the largest, is ignored.
// While bad tracks may still be among the shots, a fifth of them may be off;
// once the tracks are judged, only a few shots are, and every residual
// left out is information lost.
inline constexpr double unjudgedShare = 0.8;
inline constexpr double judgedShare = 0.95;

// The shots that count (those of tracks with a weight above 0), laid out once.
// x and y are where the raster is sampled; u and v place each shot in the
// plane's frame: offsets from the shots' mean position in units of their
// largest offset, so that the plane is solved on numbers near 1 whatever the
// map coordinates.
struct robustShots {
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> elevation;
    std::vector<double> u;
    std::vector<double> v;
    std::vector<std::size_t> source;  // the shot's index among the altimeter points
    double keptShare = unjudgedShare;  // of the residuals, in the measure
};

robustShots countedShots(const std::vector<molaPoint>& points, const trackWeightList& weights,
                         double keptShare);

// The same shots sampled at positions turned by angle (degrees,
// counter-clockwise) about (pivotX, pivotY): a raster turned the other way
// about the same point sees exactly these positions. The plane frame stays.
robustShots turnedShots(const robustShots& shots, double angle, double pivotX, double pivotY);

struct robustMeasure {
    double rms = notANumber;    // NaN when no shot has a model elevation
    std::size_t kept = 0;       // residuals in the RMS
    std::size_t available = 0;  // shots with a model elevation, of which kept is the share
};

// Where a candidate position of the raster puts the shots, in the cells of
// its own position: column = columnPerColumn * column0 + columnPerRow * row0
// + column, and rows alike.
struct cellMap {
    double columnPerColumn;
    double columnPerRow;
    double column;
    double rowPerColumn;
    double rowPerRow;
    double row;
};

// The shots in the cells of the raster where it lies, solved once: a search
// measures hundreds of positions near it, and each of them then only maps
// these by one affine map. Holds on to the raster and the shots it is given.
class robustPlacement {
public:
    robustPlacement(const elevationRaster& raster, const robustShots& shots);

    // The measure with the raster moved by (dx, dy).
    robustMeasure translated(double dx, double dy) const { return measure(translationMap(dx, dy)); }
    // The measure of the shots as turnedShots places them.
    robustMeasure turned(double angle, double pivotX, double pivotY) const {
        return measure(turnMap(angle, pivotX, pivotY));
    }
    cellMap translationMap(double dx, double dy) const;
    cellMap turnMap(double angle, double pivotX, double pivotY) const;
    robustMeasure measure(const cellMap& map) const;
    // See robustResiduals.
    std::vector<double> residuals() const;

    // The shots that have a model elevation wherever between the maps they
    // may be placed: in the box of their positions under every map, grown by
    // pad cells each way. A box of more than a few thousand nodes is not
    // searched, and its shot counts as not modelled throughout.
    std::vector<std::size_t> modelledThroughout(const std::vector<cellMap>& maps, double pad) const;
    std::size_t modelledCount(const cellMap& map) const;
    const robustShots& measured() const { return shots; }
    const elevationRaster& measuredRaster() const { return raster; }
    // Each shot's column and row where the raster lies; empty when none can have a model elevation.
    const std::vector<double>& shotColumns() const { return columns; }
    const std::vector<double>& shotRows() const { return rows; }

private:
    const elevationRaster& raster;
    const robustShots& shots;
    std::vector<double> columns;  // empty when no shot can have a model elevation
    std::vector<double> rows;
};

// The rank-th smallest (from 0) of the first count squares, which it reorders;
// rank must be below count, and no square negative.
double smallestSquare(std::vector<double>& squares, std::size_t count, std::size_t rank);

// The shots at the given ascending indices, with the same plane frame.
robustShots shotSubset(const robustShots& shots, const std::vector<std::size_t>& indices);

// Every stride-th shot, the stride the least that leaves at most most shots:
// shots come track by track, so these are spread over every track. The plane
// frame stays.
robustShots thinnedShots(const robustShots& shots, std::size_t most);

// The measure with the raster moved by (dx, dy).
robustMeasure measureRobustly(const elevationRaster& raster, const robustShots& shots, double dx, double dy);

// Every shot's residual from the plane of the measure at the raster's own
// position, in the order of the shots; NaN for a shot without a model elevation.
std::vector<double> robustResiduals(const elevationRaster& raster, const robustShots& shots);

// Per altimeter point (pointCount of them), 1 for a shot whose residual at
// the raster's own position is among the kept share, 0 for every other point.
std::vector<double> keptShotWeights(const elevationRaster& raster, const robustShots& shots, std::size_t pointCount);

}  // namespace kalvex
