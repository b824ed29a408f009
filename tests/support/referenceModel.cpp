// Plain evaluations for the tests and benchmarks; nothing here is tuned.
#include "tests/support/referenceModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <utility>

#include "model/evaluation/pointError.h"

namespace kalvex::testing {

namespace {

bool fitsInt32(double value) { return value > -2147483649.0 && value < 2147483648.0; }

double determinant(double a, double b, double c, double d, double e, double f, double g, double h, double i) {
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

struct regionOfNodes {
    int x0;
    int y0;
    int x1;
    int y1;
};

}  // namespace

double referenceElevation(const elevationRaster& raster, const molaPoint& point, double dx, double dy, double dz) {
    const geoTransform& gt = raster.transform;
    const double det = gt[1] * gt[5] - gt[2] * gt[4];
    if (det == 0.0 || !std::isfinite(det)) return notANumber;
    if (raster.cells.size() < std::size_t(raster.width) * raster.height) return notANumber;
    const double u = point.x - gt[0] - dx;
    const double v = point.y - gt[3] - dy;
    const double row = (v * gt[1] - u * gt[4]) / det;
    const double column = (u * gt[5] - v * gt[2]) / det;
    if (!fitsInt32(row + 0.5) || !fitsInt32(column + 0.5)) return notANumber;
    const std::int64_t r = std::int32_t(row + 0.5);
    const std::int64_t c = std::int32_t(column + 0.5);
    if (c < 1 || r < 1 || c > std::int64_t(raster.width) - 2 || r > std::int64_t(raster.height) - 2)
        return notANumber;

    double sxx = 0, sxy = 0, sx = 0, syy = 0, sy = 0, sxz = 0, syz = 0, sz = 0;
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            if (i == 0 && j == 0) continue;
            const double x = i * gt[1] + j * gt[2];
            const double y = i * gt[4] + j * gt[5];
            const double z = double(raster.cell(std::uint32_t(c + i), std::uint32_t(r + j))) + dz;
            if (std::isnan(z)) return notANumber;
            sxx += x * x;
            sxy += x * y;
            sx += x;
            syy += y * y;
            sy += y;
            sxz += x * z;
            syz += y * z;
            sz += z;
        }
    }
    const double d = determinant(sxx, sxy, sx, sxy, syy, sy, sx, sy, 8.0);
    const double gx = determinant(sxz, sxy, sx, syz, syy, sy, sz, sy, 8.0) / d;
    const double gy = determinant(sxx, sxz, sx, sxy, syz, sy, sx, sz, 8.0) / d;
    const double g0 = determinant(sxx, sxy, sxz, sxy, syy, syz, sx, sy, sz) / d;
    const double px = u - (double(c) * gt[1] + double(r) * gt[2]);
    const double py = v - (double(c) * gt[4] + double(r) * gt[5]);
    const double elevation = gx * px + gy * py + g0;
    return std::isfinite(elevation) ? elevation : notANumber;
}

referenceSums referenceRms(const elevationRaster& raster, const std::vector<molaPoint>& points,
                           const trackWeightList* weights, double dx, double dy, double dz) {
    referenceSums result;
    double squares = 0.0;
    double sum = 0.0;
    for (const molaPoint& point : points) {
        const double model = referenceElevation(raster, point, dx, dy, dz);
        if (std::isnan(model)) continue;
        double error = point.elevation - model;
        if (weights != nullptr) error *= weights->of(point.trackIndex);
        ++result.count;
        squares += error * error;
        sum += error;
    }
    if (result.count == 0) return result;
    result.rms = std::sqrt(squares / double(result.count));
    result.mean = sum / double(result.count);
    return result;
}

double referenceRmsOnly(const elevationRaster& raster, const std::vector<molaPoint>& points,
                        const trackWeightList* weights, double dx, double dy, double dz) {
    return referenceRms(raster, points, weights, dx, dy, dz).rms;
}

double sampledRms(const elevationRaster& raster, const std::vector<molaPoint>& points,
                  const trackWeightList* weights, double dx, double dy, double dz) {
    const std::vector<double> models = sampleModel(raster, points, dx, dy, dz);
    std::size_t count = 0;
    double squares = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (std::isnan(models[i])) continue;
        double error = points[i].elevation - models[i];
        if (weights != nullptr) error *= weights->of(points[i].trackIndex);
        ++count;
        squares += error * error;
    }
    return count == 0 ? notANumber : std::sqrt(squares / double(count));
}

double plainTranslationStage(alignmentModel& model, double currentRms, double padding, double delta,
                             rmsFunction rms) {
    const runState& state = model.state();
    if (state.debug) model.console() << "Beginning Translation Stage" << std::endl;
    double best = currentRms;
    double bestDx = 0.0;
    double bestDy = 0.0;
    const auto tryOffset = [&](double dx, double dy) {
        const double value = rms(state.raster, state.molaPoints, &state.trackWeights, dx, dy, 0.0);
        if (!(value < best)) return;
        best = value;
        bestDx = dx;
        bestDy = dy;
        if (state.debug)
            model.console() << "New Lowest RMS with x-y translation of (" << dx << "," << dy << ") is " << value
                      << std::endl;
    };
    const double widest = std::fabs(padding);
    if (delta > 0.0 && std::isfinite(delta) && std::isfinite(padding) && widest + delta != widest) {
        const double first = 0.0 - padding;
        for (double dy = first; dy <= padding; dy += delta)
            for (double dx = first; dx <= padding; dx += delta) tryOffset(dx, dy);
    } else {
        tryOffset(0.0, 0.0);
    }
    model.console() << "x-translation: " << bestDx << std::endl;
    model.console() << "y-translation: " << bestDy << std::endl;
    model.moveBy(bestDx, bestDy);
    return best;
}

double plainRotationStage(alignmentModel& model, double currentRms, double lo, double hi, double step,
                          rmsFunction rms) {
    // The candidates turn a copy of the raster; the model turns once, by the best.
    elevationRaster raster = model.state().raster;
    const std::vector<molaPoint>& points = model.state().molaPoints;
    const trackWeightList& weights = model.state().trackWeights;
    const bool debug = model.state().debug;
    if (debug) model.console() << "Beginning Rotation Stage" << std::endl;
    if (lo > hi) std::swap(lo, hi);
    step = std::fabs(step);
    std::vector<double> angles;
    const double widest = std::max(std::fabs(lo), std::fabs(hi));
    if (std::isfinite(lo) && std::isfinite(hi)) {
        if (step > 0.0 && std::isfinite(step) && widest + step != widest) {
            for (double angle = lo; angle <= hi; angle += step) angles.push_back(angle);
        } else if (lo <= hi) {
            angles.push_back(lo);
        }
    }
    const int largest = std::numeric_limits<int>::max() / 4;
    std::vector<regionOfNodes> regions{{0, 0, int(std::min<std::uint32_t>(raster.width, largest)) - 1,
                                        int(std::min<std::uint32_t>(raster.height, largest)) - 1}};
    double overallBest = currentRms;
    int bestColumn = -1, bestRow = -1;
    double bestAngle = 0.0;
    while (!regions.empty() && regions.front().x1 > regions.front().x0 && regions.front().y1 > regions.front().y0 &&
           regions.size() < 256) {
        if (debug) {
            model.console() << regions.front().x1 << " : " << regions.front().x0 << std::endl;
            model.console() << regions.front().y1 << " : " << regions.front().y0 << std::endl;
            model.console() << regions.size() << std::endl;
        }
        double passBest = std::numeric_limits<double>::infinity();
        int passColumn = -1, passRow = -1;
        double passAngle = 0.0;
        std::vector<regionOfNodes> next;
        for (const regionOfNodes& region : regions) {
            const int cx = (region.x0 + region.x1) / 2;
            const int cy = (region.y0 + region.y1) / 2;
            for (int k = 0; k < 4; ++k) {
                const int px = (k % 2 == 0) ? (region.x0 + cx) / 2 : (region.x1 + cx) / 2;
                const int py = (k < 2) ? (region.y0 + cy) / 2 : (cy + region.y1) / 2;
                for (double angle : angles) {
                    const geoTransform saved = raster.transform;
                    raster.transform = saved.turnedAbout(px, py, angle);
                    const double value = rms(raster, points, &weights, 0.0, 0.0, 0.0);
                    raster.transform = saved;
                    if (value < passBest) {
                        passBest = value;
                        passColumn = px;
                        passRow = py;
                        passAngle = angle;
                        next.clear();
                    }
                    if (value <= passBest) {
                        regionOfNodes quarter = region;
                        if (px > cx) quarter.x0 = cx; else quarter.x1 = cx;
                        if (py > cy) quarter.y0 = cy; else quarter.y1 = cy;
                        next.push_back(quarter);
                    }
                }
            }
        }
        if (passBest < overallBest) {
            overallBest = passBest;
            bestColumn = passColumn;
            bestRow = passRow;
            bestAngle = passAngle;
        }
        regions = std::move(next);
    }
    if (bestColumn < 0 || bestRow < 0) {
        model.console() << "No Rotation Found" << std::endl;
        return overallBest;
    }
    model.console() << "Min RMS Rotation About: " << bestColumn << " : " << bestRow << std::endl;
    model.console() << "Min RMS Rotation Angle:" << bestAngle << std::endl;
    model.turnAbout(bestColumn, bestRow, bestAngle);
    return overallBest;
}

}  // namespace kalvex::testing
