#pragma once
// How precisely the shots fix the raster's position: the terrain's gradient
// at each shot says how its error changes when the raster moves or turns, the
// normal matrix of those changes says how well the shots as a whole pin the
// position down, and the scatter of the errors says how much they disagree.
//
// Neighbouring shots of a track see nearly the same error of the raster (the
// cells cannot follow the terrain between them, an orbit is off as a whole),
// so they are not independent: the covariance sums each track's contribution
// before squaring it, with the track as the unit of independence. A plane of
// the errors (offset and tilt) is fitted with the position, as every
// alignment fits one, so a regional slope that a plane takes up fixes nothing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"

namespace kalvex {

// One shot as a change of the raster's position sees it. Lengths are in cells
// (map units over the shorter cell side), along the map's own x and y.
struct shotSensitivity {
    std::int32_t track = 0;
    double error = 0.0;   // shot elevation minus model elevation
    double slopeX = 0.0;  // model elevation per cell of the shot's position along x
    double slopeY = 0.0;
    double east = 0.0;    // the shot's position from the pivot of a turn
    double north = 0.0;
    double u = 0.0;       // the shot's position in the frame of the plane, numbers near 1
    double v = 0.0;
    double weight = 1.0;  // of the shot's squared error in the fit; 0 leaves it out
};

// Parameters of a position: translation along x and y in cells, and the turn
// counter-clockwise about the pivot in degrees (only with a turn).
inline constexpr std::size_t positionParameters = 3;
using positionVector = std::array<double, positionParameters>;
using positionMatrix = std::array<positionVector, positionParameters>;

struct positionUncertainty {
    bool withTurn = false;
    positionMatrix covariance{};  // infinite on a diagonal the shots do not fix
    positionVector standardError{};
    // The step of the position (the raster moved by it) that lowers the
    // weighted sum of squared errors most, to first order.
    positionVector step{};
    std::size_t shots = 0;   // with a weight
    std::size_t tracks = 0;  // with a weighted shot: the independent units
};

positionUncertainty estimatePosition(const std::vector<shotSensitivity>& shots, bool withTurn);

// Where a turn should pivot so that, as the shots see it, it moves the raster
// in no way a translation could: the offset from the pivot the shots were
// measured from, in cells along x and y. Zero when the shots fix no translation.
positionVector decouplingPivotOffset(const std::vector<shotSensitivity>& shots);

// The shots with their sensitivities at the raster's own position; weights
// (one per point) of 0 or NaN, and shots without a model elevation, are left
// out. The pivot is a map position.
std::vector<shotSensitivity> shotSensitivities(const elevationRaster& raster, const std::vector<molaPoint>& points,
                                               const std::vector<double>& weights, double pivotX, double pivotY);

}  // namespace kalvex
