// Removal of altimeter points whose error lies too far from the mean error.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <vector>

#include "model/elevationRaster.h"

namespace kalvex {

void elevationRaster::removeOutliers(std::vector<molaPoint>& points, const std::vector<double>* weights,
                                     double threshold) const {
    // Every point is judged against the mean of all errors as they were before
    // any removal, so the order of the list does not change the outcome.
    const std::vector<double> model = sampleModel(points, 0.0, 0.0, 0.0);
    std::vector<double> errors(points.size(), notANumber);
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (std::isnan(model[i])) continue;
        errors[i] = weightedError(points[i], model[i], weights);
        sum += errors[i];
        ++count;
    }
    if (count == 0) return;
    const double mean = sum / double(count);

    std::size_t kept = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const bool outlier = !std::isnan(model[i]) && std::fabs(errors[i] - mean) >= threshold;
        if (outlier) {
            const molaPoint& point = points[i];
            std::cout << "The coordinate " << std::uint32_t(point.trackIndex) << ":" << point.x << ":" << point.y
                      << ":" << point.elevation << " was removed." << std::endl;
            continue;
        }
        if (kept != i) points[kept] = points[i];
        ++kept;
    }
    points.resize(kept);
}

}  // namespace kalvex
