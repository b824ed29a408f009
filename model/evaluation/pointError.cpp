// Model elevations of the altimeter points, their errors, and the weighted RMS
// that every stage of the run tries to lower.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/evaluation/pointError.h"
#include "model/raster/localPlane.h"

namespace kalvex {

namespace {

constexpr double polarScale = 6752400.0;  // twice the polar radius of Mars in metres

double wrappedOnce(double angle) {
    if (angle > 180.0) return angle - 360.0;
    if (angle < -180.0) return angle + 360.0;
    return angle;
}

}  // namespace

double weightedError(const molaPoint& point, double modelElevation, const trackWeightList* weights) {
    const double error = point.elevation - modelElevation;
    if (weights == nullptr) return error;
    return error * weights->of(point.trackIndex);
}

std::vector<double> sampleModel(const elevationRaster& raster, const std::vector<molaPoint>& points, double dx,
                                double dy, double dz) {
    const localPlane plane(raster, dx, dy, dz);
    std::vector<double> elevations;
    elevations.reserve(points.size());
    for (const molaPoint& point : points) elevations.push_back(plane.elevationAt(point.x, point.y));
    return elevations;
}

// One pass over the points without any allocation. The searches, which need
// thousands of these, prepare the points once in an errorEvaluator, which
// gives the same value bit for bit.
rmsResult rmsAndMean(const elevationRaster& raster, const std::vector<molaPoint>& points,
                     const trackWeightList* weights, double dx, double dy, double dz) {
    const localPlane plane(raster, dx, dy, dz);
    std::size_t count = 0;
    double sumOfSquares = 0.0;
    double sum = 0.0;
    for (const molaPoint& point : points) {
        const double model = plane.elevationAt(point.x, point.y);
        if (std::isnan(model)) continue;
        const double error = weightedError(point, model, weights);
        ++count;
        sumOfSquares += error * error;
        sum += error;
    }
    if (count == 0) return rmsResult{notANumber, notANumber};
    const double n = double(count);
    return rmsResult{std::sqrt(sumOfSquares / n), sum / n};
}

std::vector<errorRecord> errorList(const elevationRaster& raster, const std::vector<molaPoint>& points,
                                   const trackWeightList* weights) {
    const localPlane plane(raster, 0.0, 0.0, 0.0);
    std::vector<errorRecord> errors;
    errors.reserve(points.size());
    for (const molaPoint& point : points) {
        const double model = plane.elevationAt(point.x, point.y);
        if (std::isnan(model)) continue;
        const double error = weightedError(point, model, weights);
        errors.push_back(errorRecord{point.trackIndex, point.x, point.y, error});
    }
    return errors;
}

std::vector<molaPoint> wrappedLongitudes(std::vector<molaPoint> points) {
    for (molaPoint& point : points) {
        point.x = wrappedOnce(point.x);
        point.y = wrappedOnce(point.y);
    }
    return points;
}

std::vector<molaPoint> polarStereographic(std::vector<molaPoint> points) {
    for (molaPoint& point : points) {
        const double longitude = point.x * pi / 180.0 - 0.0;
        const double latitude = point.y;
        const bool south = latitude < 0.0;  // a NaN latitude takes the northern formulas
        const double t = south ? std::tan(latitude * pi / 360.0 + pi / 4.0)
                               : std::tan(pi / 4.0 - latitude * pi / 360.0);
        point.x = std::sin(longitude) * t * polarScale;
        point.y = south ? std::cos(longitude) * t * polarScale : std::cos(longitude) * t * -polarScale;
    }
    return points;
}

}  // namespace kalvex
