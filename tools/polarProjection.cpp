#include "tools/polarProjection.h"

#include <cmath>

#include "model/records.h"

namespace kalvex::scene {

mapPoint polarFromLonLat(const lonLat& position, double radius) {
    const double twiceRadius = 2.0 * radius;
    double lonr = position.lon * pi / 180.0;
    double t = std::tan(position.lat * pi / 360.0 + pi / 4.0);
    return {std::sin(lonr) * t * twiceRadius, std::cos(lonr) * t * twiceRadius};
}

lonLat lonLatFromPolar(const mapPoint& position, double radius) {
    const double twiceRadius = 2.0 * radius;
    double t = std::hypot(position.x, position.y) / twiceRadius;
    double lat = (std::atan(t) - pi / 4.0) * 360.0 / pi;
    double lon = std::atan2(position.x, position.y) * 180.0 / pi;
    return {lon, lat};
}

}  // namespace kalvex::scene
