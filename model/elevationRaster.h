#pragma once
// The float32 elevation grid and its affine georeference.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/records.h"

namespace kalvex {

// Geotransform in GDAL numbering: cell (c, r) lies at
// X = gt[0] + c*gt[1] + r*gt[2], Y = gt[3] + c*gt[4] + r*gt[5], no half-cell offset.
using geoTransform = std::array<double, 6>;

class elevationRaster {
public:
    bool debug = false;
    bool loaded = false;
    bool lineFitReported = false;  // the plane fits have said that the points lie along one line
    std::string path;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    geoTransform transform{0, 0, 0, 0, 0, 0};
    std::vector<float> cells;  // row-major, row 0 first; a no-data cell is NaN

    void reset(const std::string& newPath);
    bool read();
    void maskNoData(double threshold);
    cornerRecord cornerAt(int c, int r) const;

    float cell(std::uint32_t c, std::uint32_t r) const { return cells[std::size_t(r) * width + c]; }
    float& cell(std::uint32_t c, std::uint32_t r) { return cells[std::size_t(r) * width + c]; }
    double nodeX(double c, double r) const { return transform[0] + c * transform[1] + r * transform[2]; }
    double nodeY(double c, double r) const { return transform[3] + c * transform[4] + r * transform[5]; }

    // Point error and RMS. weights may be null (plain errors).
    std::vector<double> sampleModel(const std::vector<molaPoint>& points, double dx, double dy, double dz) const;
    rmsResult rmsAndMean(const std::vector<molaPoint>& points, const std::vector<double>* weights,
                         double dx, double dy, double dz) const;
    std::vector<errorRecord> errorList(const std::vector<molaPoint>& points, const std::vector<double>* weights) const;

    // Surface fits: plane (Cx, Cy, C0) and quadratic (Cx2, Cxy, Cy2, Cx, Cy, C0).
    std::array<double, 3> planeFit(const std::vector<molaPoint>& points, const std::vector<double>* weights) const;
    void applyPlaneFit(const std::vector<molaPoint>& points, const std::vector<double>* weights,
                       std::vector<tiePoint>* tiePoints);
    std::array<double, 6> quadraticFit(const std::vector<molaPoint>& points, const std::vector<double>* weights) const;
    void applyQuadraticFit(const std::vector<molaPoint>& points, const std::vector<double>* weights,
                           std::vector<tiePoint>* tiePoints);
    void removeOutliers(std::vector<molaPoint>& points, const std::vector<double>* weights, double threshold) const;

    // Rotation of the georeference about the map position of node (column, row).
    void rotateGeotransform(int column, int row, double angle);
};

// Point elevation minus model elevation, times the weight of the point's
// track when weights are given.
double weightedError(const molaPoint& point, double modelElevation, const std::vector<double>* weights);

void rotatePoints(std::vector<tiePoint>& points, double angle, double cx, double cy);

}  // namespace kalvex
