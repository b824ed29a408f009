#pragma once
// The adjusted elevation model as a GeoTIFF, for carrying on in a GIS.
#include <string>

#include "model/raster/elevationRaster.h"

namespace kalvex {

// Writes the raster's cells as float32 with its current georeference in
// GDAL's terms (north up when its rotation terms are of rounding size only),
// the spatial reference of the file it was read from and that file's no-data
// value where it could keep one (else -32768) in place of NaN cells. False
// when the file could not be written.
bool writeAlignedRaster(const elevationRaster& raster, const std::string& path);

}  // namespace kalvex
