#pragma once
// The perturbed DEM: true terrain in the cells, a tilt and an offset added,
// a few no-data holes (and a block of them when asked), and a georeference written off by the frame's shift.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sceneFrame.h"
#include "tools/sceneOptions.h"
#include "tools/sceneTerrain.h"

namespace kalvex::scene {

const float noDataValue = -32768.0f;

struct sceneDem {
    std::vector<float> cells;   // row-major, row 0 first
    int noDataCells = 0;
};

sceneDem makeDem(const sceneFrame& frame, const scenePerturbation& perturbation, sceneTerrain& terrain,
                 const sceneOptions& options);

// Float32 single-band tiled GeoTIFF with the written georeference, the
// variant's CRS and the no-data value declared. False when GDAL failed.
// The cells are only read; GDAL's writer merely takes a mutable buffer.
bool writeDem(const std::string& path, const sceneFrame& frame, sceneDem& dem, bool deflate = false);

}  // namespace kalvex::scene
