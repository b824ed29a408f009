#pragma once
// The adjusted elevation model as a GeoTIFF, for carrying on in a GIS.
#include <string>

#include "model/elevationRaster.h"

namespace kalvex {

// Writes the raster's cells with its current georeference in GDAL's terms
// (north up when its rotation terms are of rounding size only), the spatial
// reference of the GeoTIFF it was read from and that file's no-data value
// (-32768 when it declared none) in place of NaN cells. False when the file
// could not be written.
bool writeAlignedRaster(const elevationRaster& raster, const std::string& path);

}  // namespace kalvex
