#pragma once
// South polar stereographic map coordinates in metres on the sphere that
// kalvex uses for its polar mode (central meridian 0, scale 1 at the pole).

namespace kalvex::scene {

struct mapPoint {
    double x = 0.0;
    double y = 0.0;
};

struct lonLat {
    double lon = 0.0;   // degrees east, in (-180, 180]
    double lat = 0.0;   // degrees north, negative here
};

// Only the southern formula: the polar scenes lie near the south pole.
mapPoint polarFromLonLat(const lonLat& position);
lonLat lonLatFromPolar(const mapPoint& position);

}  // namespace kalvex::scene
