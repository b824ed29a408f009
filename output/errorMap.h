#pragma once
// The error map: the altimeter points coloured by their error over the
// raster's outline, as one map (no tie file) or as the initial and final
// panels of one picture.
#include <ostream>
#include <string>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"

namespace kalvex {

void writeErrorMap(std::ostream& script, const elevationRaster& raster, const std::string& pngPath, bool hirise,
                   const std::vector<errorRecord>& errors, const errorStatistics& statistics);

// The left panel; the final panel follows once the run is aligned.
void writeInitialErrorMap(std::ostream& script, const elevationRaster& raster, const std::string& pngPath,
                          bool hirise, const std::vector<errorRecord>& errors, const errorStatistics& statistics);
void writeFinalErrorMap(std::ostream& script, const elevationRaster& raster, bool hirise,
                        const std::vector<errorRecord>& errors, const errorStatistics& statistics);

// The plot line and one coloured point line per error, closed by "e".
void writeErrorPoints(std::ostream& script, const elevationRaster& raster, const std::vector<errorRecord>& errors,
                      bool hirise);

}  // namespace kalvex
