#include "model/raster/rasterProjection.h"

#include <ogr_spatialref.h>

#include "model/raster/quietGdal.h"

namespace kalvex {

namespace {

std::shared_ptr<OGRCoordinateTransformation> transformation(const OGRSpatialReference& from,
                                                             const OGRSpatialReference& to) {
    return std::shared_ptr<OGRCoordinateTransformation>(OGRCreateCoordinateTransformation(&from, &to),
                                                        OGRCoordinateTransformation::DestroyCT);
}

// Every point in one call; the ones PROJ cannot take get no position.
template <typename point>
void transformEach(OGRCoordinateTransformation& transformation, std::vector<point>& points) {
    if (points.empty()) return;
    std::vector<double> xs, ys;
    for (const point& p : points) {
        xs.push_back(p.x);
        ys.push_back(p.y);
    }
    std::vector<int> succeeded(points.size(), 0);
    transformation.Transform(points.size(), xs.data(), ys.data(), nullptr, succeeded.data());
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].x = succeeded[i] ? xs[i] : notANumber;
        points[i].y = succeeded[i] ? ys[i] : notANumber;
    }
}

}  // namespace

std::optional<rasterProjection> rasterProjection::of(const elevationRaster& raster) {
    if (!raster.projected || raster.spatialReference.empty()) return std::nullopt;
    silenceGdalMessages();
    OGRSpatialReference map;
    if (map.importFromWkt(raster.spatialReference.c_str()) != OGRERR_NONE || !map.IsProjected())
        return std::nullopt;
    map.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRSpatialReference> body(map.CloneGeogCS());
    if (!body) return std::nullopt;
    body->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    rasterProjection projection;
    projection.forward = transformation(*body, map);
    projection.inverse = transformation(map, *body);
    if (!projection.forward || !projection.inverse) return std::nullopt;
    return projection;
}

void rasterProjection::toMap(std::vector<molaPoint>& points) const { transformEach(*forward, points); }

void rasterProjection::toMap(std::vector<tiePoint>& points) const { transformEach(*forward, points); }

void rasterProjection::toDegrees(std::vector<tiePoint>& points) const { transformEach(*inverse, points); }

}  // namespace kalvex
