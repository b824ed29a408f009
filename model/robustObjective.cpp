#include "model/robustObjective.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "model/localPlane.h"

namespace kalvex {

namespace {


// Refits of the plane to the best share of its own residuals: the first plane
// still leans towards the bad shots, the second hardly, the third not at all
// in practice.
constexpr int refits = 2;

// Below this share of the product of its diagonal the normal matrix is
// singular in all but rounding: the shots lie along one line.
constexpr double singularShare = 1e-9;

struct plane {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    double at(double u, double v) const { return a * u + b * v + c; }
};

// The errors of the shots that have a model elevation, with their plane coordinates.
struct errorSample {
    std::vector<double> u;
    std::vector<double> v;
    std::vector<double> error;
    std::vector<std::uint32_t> shot;
};

using rankedResidual = std::pair<double, std::uint32_t>;  // squared residual, sample index

errorSample sampleErrors(const elevationRaster& raster, const robustShots& shots, double dx, double dy) {
    const localPlane model(raster, dx, dy, 0.0);
    errorSample sample;
    const std::size_t count = shots.x.size();
    sample.u.reserve(count);
    sample.v.reserve(count);
    sample.error.reserve(count);
    sample.shot.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double elevation = model.elevationAt(shots.x[i], shots.y[i]);
        if (std::isnan(elevation)) continue;
        sample.u.push_back(shots.u[i]);
        sample.v.push_back(shots.v[i]);
        sample.error.push_back(shots.elevation[i] - elevation);
        sample.shot.push_back(std::uint32_t(i));
    }
    return sample;
}

// Least squares over the first count members, by Cramer's rule on numbers
// near 1; shots along one line get the level through their mean instead.
plane fitPlane(const errorSample& sample, const std::vector<rankedResidual>& members, std::size_t count) {
    double suu = 0, suv = 0, su = 0, svv = 0, sv = 0, sue = 0, sve = 0, se = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = members[k].second;
        const double u = sample.u[i], v = sample.v[i], e = sample.error[i];
        suu += u * u, suv += u * v, su += u, svv += v * v, sv += v;
        sue += u * e, sve += v * e, se += e;
    }
    const double n = double(count);
    const double det = suu * (svv * n - sv * sv) - suv * (suv * n - sv * su) + su * (suv * sv - svv * su);
    if (!(std::fabs(det) > singularShare * suu * svv * n)) return plane{0.0, 0.0, count > 0 ? se / n : 0.0};
    const double a = sue * (svv * n - sv * sv) - suv * (sve * n - sv * se) + su * (sve * sv - svv * se);
    const double b = suu * (sve * n - se * sv) - sue * (suv * n - sv * su) + su * (suv * se - sve * su);
    const double c = suu * (svv * se - sve * sv) - suv * (suv * se - sve * su) + sue * (suv * sv - svv * su);
    return plane{a / det, b / det, c / det};
}

// Ranks every residual from the plane and moves the kept share to the front.
void rankResiduals(const errorSample& sample, const plane& surface, std::vector<rankedResidual>& ranked,
                   std::size_t kept) {
    for (rankedResidual& entry : ranked) {
        const std::size_t i = entry.second;
        const double residual = sample.error[i] - surface.at(sample.u[i], sample.v[i]);
        entry.first = residual * residual;
    }
    std::nth_element(ranked.begin(), ranked.begin() + std::ptrdiff_t(kept - 1), ranked.end());
}

struct robustFit {
    robustMeasure measure;
    plane surface;
};

robustFit fitRobustly(const errorSample& sample, std::size_t shotCount, double keptShare) {
    const std::size_t count = sample.error.size();
    robustFit fit;
    if (count == 0 || 2 * count < shotCount) return fit;
    std::vector<rankedResidual> ranked(count);
    for (std::size_t i = 0; i < count; ++i) ranked[i] = {0.0, std::uint32_t(i)};
    const std::size_t kept = std::max<std::size_t>(1, std::size_t(std::ceil(keptShare * double(count))));
    fit.surface = fitPlane(sample, ranked, count);
    for (int refit = 0; refit < refits; ++refit) {
        rankResiduals(sample, fit.surface, ranked, kept);
        fit.surface = fitPlane(sample, ranked, kept);
    }
    rankResiduals(sample, fit.surface, ranked, kept);
    double sum = 0.0;
    for (std::size_t k = 0; k < kept; ++k) sum += ranked[k].first;
    fit.measure = robustMeasure{std::sqrt(sum / double(kept)), kept};
    return fit;
}

}  // namespace

robustShots countedShots(const std::vector<molaPoint>& points, const trackWeightList& weights,
                         double keptShare) {
    robustShots shots;
    shots.keptShare = keptShare;
    double sumX = 0.0, sumY = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!(weights.of(points[i].trackIndex) > 0.0)) continue;
        shots.x.push_back(points[i].x);
        shots.y.push_back(points[i].y);
        shots.elevation.push_back(points[i].elevation);
        shots.source.push_back(i);
        sumX += points[i].x;
        sumY += points[i].y;
    }
    const double count = double(shots.x.size());
    const double meanX = count > 0 ? sumX / count : 0.0;
    const double meanY = count > 0 ? sumY / count : 0.0;
    double largest = 0.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i)
        largest = std::fmax(largest, std::fmax(std::fabs(shots.x[i] - meanX), std::fabs(shots.y[i] - meanY)));
    const double scale = largest > 0.0 && std::isfinite(largest) ? largest : 1.0;
    for (std::size_t i = 0; i < shots.x.size(); ++i) {
        shots.u.push_back((shots.x[i] - meanX) / scale);
        shots.v.push_back((shots.y[i] - meanY) / scale);
    }
    return shots;
}

robustShots turnedShots(const robustShots& shots, double angle, double pivotX, double pivotY) {
    robustShots turned = shots;
    const double s = std::sin(angle * pi / 180.0);
    const double c = std::cos(angle * pi / 180.0);
    for (std::size_t i = 0; i < shots.x.size(); ++i) {
        const double east = shots.x[i] - pivotX;
        const double north = shots.y[i] - pivotY;
        turned.x[i] = pivotX + c * east - s * north;
        turned.y[i] = pivotY + s * east + c * north;
    }
    return turned;
}

robustMeasure measureRobustly(const elevationRaster& raster, const robustShots& shots, double dx, double dy) {
    return fitRobustly(sampleErrors(raster, shots, dx, dy), shots.x.size(), shots.keptShare).measure;
}

std::vector<double> robustResiduals(const elevationRaster& raster, const robustShots& shots) {
    const errorSample sample = sampleErrors(raster, shots, 0.0, 0.0);
    const plane surface = fitRobustly(sample, shots.x.size(), shots.keptShare).surface;
    std::vector<double> residuals(shots.x.size(), notANumber);
    for (std::size_t i = 0; i < sample.error.size(); ++i)
        residuals[sample.shot[i]] = sample.error[i] - surface.at(sample.u[i], sample.v[i]);
    return residuals;
}

}  // namespace kalvex
