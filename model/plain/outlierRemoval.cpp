#include "model/plain/outlierRemoval.h"

#include <cmath>

#include "model/evaluation/pointError.h"

namespace kalvex {

// Every point is judged against the mean of all errors as they were before
// any removal, so the order of the list does not change the outcome.
std::vector<std::size_t> outlierIndices(const elevationRaster& raster, const std::vector<molaPoint>& points,
                                        const trackWeightList* weights, double threshold) {
    const std::vector<double> model = sampleModel(raster, points, 0.0, 0.0, 0.0);
    std::vector<double> errors(points.size(), notANumber);
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (std::isnan(model[i])) continue;
        errors[i] = weightedError(points[i], model[i], weights);
        sum += errors[i];
        ++count;
    }
    std::vector<std::size_t> outliers;
    if (count == 0) return outliers;
    const double mean = sum / double(count);
    for (std::size_t i = 0; i < points.size(); ++i)
        if (!std::isnan(model[i]) && std::fabs(errors[i] - mean) >= threshold) outliers.push_back(i);
    return outliers;
}

}  // namespace kalvex
