#pragma once
// What a run holds: the raster, the altimeter points with their tracks and
// weights, the tie points, and the settings in force. The run's owner
// (alignmentModel) keeps it private; a state made by hand hands a ready
// model to a test or a benchmark.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

struct runState {
    elevationRaster raster;
    std::vector<std::string> tiePointIds;
    std::vector<tiePoint> tiePoints;
    std::vector<molaPoint> molaPoints;
    std::size_t shotsOutsideBox = 0;  // read whole by the last bounded track read, but outside its box
    std::vector<std::size_t> shotNumbers;  // each held point's place among the points held at the start
    std::vector<numberedPoint> removedPoints;  // the points removed since, with their shot numbers
    trackWeightList trackWeights;          // one per orbit, same order as orbits
    std::vector<std::int32_t> orbits;
    std::array<cornerRecord, 4> corners{};  // top-left, top-right, bottom-left, bottom-right as read
    std::vector<tiePoint> initialTiePoints;
    bool tiePointsInRadians = false;  // read as radians and held in degrees; written back in radians
    // Over a projected raster: read as longitudes and latitudes (in degrees
    // here) and held in the raster's map units; written back as read.
    bool tiePointsProjected = false;
    std::vector<tiePoint> tiePointsAsRead;
    bool debug = false;
    bool notReady = true;      // no raster or no altimeter point yet: every writer does nothing
    bool lineFitTold = false;  // the plane fits have said that the points lie along (or too near) one line
    bool quadraticLeftOpen = false;  // the quadratic fit was not added: the points do not determine it
    int threadCount = 1;       // threads a search may use; results never depend on it
};

}  // namespace kalvex
