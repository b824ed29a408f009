#include "model/raster/georeferenceMotion.h"

#include <cmath>

namespace kalvex {

namespace {


struct mapPoint {
    double x;
    double y;
};

mapPoint nodeOf(const geoTransform& transform, double column, double row) {
    return {transform[0] + column * transform[1] + row * transform[2],
            transform[3] + column * transform[4] + row * transform[5]};
}

}  // namespace

// Turns only ever add up, whatever their pivots, so the angle is that of the
// column direction; the centre is chosen as the pivot because its shift is
// the one that best says how far the raster as a whole moved.
georeferenceMotion motionBetween(const geoTransform& before, const geoTransform& after, std::uint32_t width,
                                 std::uint32_t height) {
    const double centreColumn = 0.5 * (double(width) - 1.0);
    const double centreRow = 0.5 * (double(height) - 1.0);
    const mapPoint from = nodeOf(before, centreColumn, centreRow);
    const mapPoint to = nodeOf(after, centreColumn, centreRow);
    georeferenceMotion motion;
    motion.pivotX = from.x;
    motion.pivotY = from.y;
    double turn = std::atan2(after[4], after[1]) - std::atan2(before[4], before[1]);
    if (turn > pi) turn -= 2.0 * pi;
    if (turn <= -pi) turn += 2.0 * pi;
    motion.rotationDegrees = turn * 180.0 / pi;
    motion.translationX = to.x - from.x;
    motion.translationY = to.y - from.y;
    const double determinant = before.determinant();
    motion.columns = (motion.translationX * before[5] - motion.translationY * before[2]) / determinant;
    motion.rows = (motion.translationY * before[1] - motion.translationX * before[4]) / determinant;
    return motion;
}

}  // namespace kalvex
