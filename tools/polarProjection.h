#pragma once
// South polar stereographic map coordinates in metres on a sphere of the
// given radius (central meridian 0, scale 1 at the pole).

namespace kalvex::scene {

struct mapPoint {
    double x = 0.0;
    double y = 0.0;
};

struct lonLat {
    double lon = 0.0;   // degrees east, in (-180, 180]
    double lat = 0.0;   // degrees north, negative here
};

// Polar scenes are made on the sphere kalvex's own polar mode assumes,
// unless asked for another.
constexpr double polarModeRadius = 3376200.0;

// Only the southern formula: the polar scenes lie near the south pole.
mapPoint polarFromLonLat(const lonLat& position, double radius);
lonLat lonLatFromPolar(const mapPoint& position, double radius);

}  // namespace kalvex::scene
