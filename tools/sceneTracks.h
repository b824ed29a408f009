#pragma once
// Altimeter shots sampled from the true terrain along near north-south tracks.
#include <cstddef>
#include <vector>

#include "tools/sceneFrame.h"
#include "tools/sceneOptions.h"
#include "tools/sceneTerrain.h"

namespace kalvex::scene {

struct trackPoint {
    double x = 0.0;             // true map position
    double y = 0.0;
    double lon = 0.0;           // as written to the tables
    double lat = 0.0;
    double topography = 0.0;    // terrain + noise (+ track offset, + outlier offset)
    double range = 0.0;         // spacecraft range, only to give the tables an extra column
    int orbit = 0;
};

struct trackSet {
    std::vector<trackPoint> points;         // in table order
    std::vector<int> orbits;                // one per track, in track order
    std::vector<int> badOrbits;
    std::vector<double> badOffsets;         // metres, parallel to badOrbits
    std::vector<std::size_t> outlierRows;   // 0-based table rows, ascending
    std::vector<double> outlierOffsets;     // metres, parallel to outlierRows
};

trackSet makeTracks(const sceneOptions& options, const sceneFrame& frame, const sceneTerrain& terrain);

}  // namespace kalvex::scene
