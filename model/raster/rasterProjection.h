#pragma once
// The raster's own map projection: longitudes and latitudes in degrees on the
// raster's body (the geographic reference of its datum) into the raster's map
// units and back, through GDAL's coordinate transformation.
#include <memory>
#include <optional>
#include <vector>

#include "model/raster/elevationRaster.h"
#include "model/records.h"

class OGRCoordinateTransformation;

namespace kalvex {

class rasterProjection {
public:
    // Nothing for a raster without a projected spatial reference, or one that
    // GDAL cannot transform into.
    static std::optional<rasterProjection> of(const elevationRaster& raster);

    // In place; a position that cannot be projected becomes NaN. A longitude
    // may count from 0 to 360 or from -180 to 180: it is taken within half a
    // turn of the projection's central meridian.
    void toMap(std::vector<molaPoint>& points) const;
    void toMap(std::vector<tiePoint>& points) const;
    // Map units back to longitudes and latitudes in degrees, in place.
    void toDegrees(std::vector<tiePoint>& points) const;

private:
    std::shared_ptr<OGRCoordinateTransformation> forward;
    std::shared_ptr<OGRCoordinateTransformation> inverse;
};

}  // namespace kalvex
