#pragma once
// The tie coordinate map: the raster's outline and the tie points as read and
// as the run has moved them.
#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"

namespace kalvex {

// corners: the raster's outline as read (top-left, top-right, bottom-left, bottom-right).
void writeCoordinateMap(std::ostream& script, const elevationRaster& raster, const std::array<cornerRecord, 4>& corners,
                        const std::vector<tiePoint>& initialTiePoints, const std::vector<tiePoint>& tiePoints,
                        const std::string& pngPath);

}  // namespace kalvex
