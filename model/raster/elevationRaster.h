#pragma once
// The float32 elevation grid and its affine georeference.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "model/raster/geoTransform.h"
#include "model/records.h"

namespace kalvex {

class elevationRaster {
public:
    bool debug = false;
    bool loaded = false;
    std::string path;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    geoTransform transform;
    std::vector<float> cells;  // row-major, row 0 first; a no-data cell is NaN
    // Earlier runs placed a cell's value at the cell's top-left corner; kept
    // across reset, like debug, so that results can be compared with theirs.
    bool valuesAtCorners = false;
    // What the file says of its values and its place: the band's scale and
    // offset turn the stored values into elevations; the spatial reference,
    // when there is one, gives the semi-major axis of its spheroid in metres,
    // tells whether the coordinates are angles or projected, and in what units.
    double scale = 1.0;
    double offset = 0.0;
    std::optional<double> semiMajorAxis;
    bool geographic = false;
    bool projected = false;
    std::string spatialReference;  // as the file gives it (WKT); empty without one
    std::string mapUnits;          // "degrees", "metres" or the unit's own name; empty without a reference
    double metresPerMapUnit = 1.0;  // of a projected reference
    // Whole numbers mark no data only by the file's own declaration; any
    // stored number can be an elevation once scaled.
    bool wholeNumberCells = false;
    // The file's declared no-data value, when its cells are unscaled float32:
    // only then can it stand among the elevations.
    std::optional<double> float32NoData;

    void reset(const std::string& newPath);
    // Reads the elevation model at path; every failure is told on the console.
    bool read(std::ostream& console);
    void maskNoData(double threshold);
    // Applies the band's scale and offset to every cell.
    void toElevations();
    cornerRecord cornerAt(int c, int r) const;

    // The georeference in GDAL's terms, which give the top-left corner of the
    // first cell, from and to the nodes' own.
    geoTransform gdalTransform() const;
    void setGdalTransform(const geoTransform& gdal);

    float cell(std::uint32_t c, std::uint32_t r) const { return cells[std::size_t(r) * width + c]; }
    float& cell(std::uint32_t c, std::uint32_t r) { return cells[std::size_t(r) * width + c]; }
    double nodeX(double c, double r) const { return transform.mapX(c, r); }
    double nodeY(double c, double r) const { return transform.mapY(c, r); }
};

// The outline of the raster: top-left, top-right, bottom-left, bottom-right.
std::array<cornerRecord, 4> rasterCorners(const elevationRaster& raster);

}  // namespace kalvex
