// Model elevations, point errors, the weighted RMS and the coordinate
// conversions of the altimeter points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "model/alignmentModel.h"
#include "model/elevationRaster.h"

namespace kalvex {
namespace {

elevationRaster makeRaster(std::uint32_t width, std::uint32_t height, const geoTransform& transform,
                           const std::function<float(int, int)>& value) {
    elevationRaster raster;
    raster.width = width;
    raster.height = height;
    raster.transform = transform;
    raster.cells.resize(std::size_t(width) * height);
    for (std::uint32_t r = 0; r < height; ++r)
        for (std::uint32_t c = 0; c < width; ++c) raster.cell(c, r) = value(int(c), int(r));
    raster.loaded = true;
    return raster;
}

elevationRaster constantRaster(std::uint32_t width, std::uint32_t height, float value) {
    return makeRaster(width, height, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, [value](int, int) { return value; });
}

molaPoint pointAt(double x, double y, double elevation, std::int32_t track = 0) {
    molaPoint point;
    point.trackIndex = track;
    point.x = x;
    point.y = y;
    point.elevation = elevation;
    return point;
}

// Map position of a fractional cell position under an affine geotransform.
molaPoint pointAtCell(const elevationRaster& raster, double column, double row, double elevation = 0.0) {
    return pointAt(raster.nodeX(column, row), raster.nodeY(column, row), elevation);
}

double modelAt(const elevationRaster& raster, const molaPoint& point, double dx = 0, double dy = 0, double dz = 0) {
    return raster.sampleModel({point}, dx, dy, dz).front();
}

// ---------------------------------------------------------------- model elevation

TEST(ModelElevation, RasterNarrowerOrLowerThanThreeCellsHasNoInterior) {
    for (const auto& size : {std::pair<int, int>{2, 6}, {6, 2}, {1, 1}, {0, 0}}) {
        const elevationRaster raster = constantRaster(std::uint32_t(size.first), std::uint32_t(size.second), 100.0f);
        for (double c = -1.0; c <= 6.0; c += 0.5)
            for (double r = -1.0; r <= 6.0; r += 0.5)
                EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, c, r)))) << size.first << "x" << size.second;
    }
}

TEST(ModelElevation, OnlyNodesOffTheOutermostRowsAndColumnsAreInterior) {
    const elevationRaster raster = constantRaster(5, 4, 100.0f);
    EXPECT_DOUBLE_EQ(modelAt(raster, pointAtCell(raster, 1, 1)), 100.0);
    EXPECT_DOUBLE_EQ(modelAt(raster, pointAtCell(raster, 3, 2)), 100.0);
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 0, 1))));  // inside the raster, on its edge
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 1, 0))));
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 4, 2))));
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 2, 3))));
    // The nearest node decides: half a cell beyond an interior node still counts.
    EXPECT_DOUBLE_EQ(modelAt(raster, pointAtCell(raster, 0.5, 1.0)), 100.0);
    EXPECT_DOUBLE_EQ(modelAt(raster, pointAtCell(raster, 3.49, 2.49)), 100.0);
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 0.49, 1.0))));
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 3.5, 1.0))));
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, -0.7, 1.0))));
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, -30.0, -30.0))));
}

TEST(ModelElevation, ConstantRasterGivesItsValuePlusRaiseWhereverItIsMoved) {
    const elevationRaster raster = constantRaster(8, 8, 100.0f);
    const molaPoint point = pointAtCell(raster, 3.3, 4.6);
    EXPECT_DOUBLE_EQ(modelAt(raster, point, 0.0, 0.0, 2.5), 102.5);
    EXPECT_DOUBLE_EQ(modelAt(raster, point, 1.7, -2.2, -4.0), 96.0);
    EXPECT_DOUBLE_EQ(modelAt(raster, point, -2.0, 1.0, 0.0), 100.0);
    // Moved far enough the point leaves the interior.
    EXPECT_TRUE(std::isnan(modelAt(raster, point, -4.0, 0.0, 0.0)));
}

TEST(ModelElevation, NoDataNeighbourGivesNoValueButTheCentreIsNeverUsed) {
    elevationRaster raster = constantRaster(5, 5, 50.0f);
    raster.cell(2, 2) = std::nanf("");
    EXPECT_DOUBLE_EQ(modelAt(raster, pointAtCell(raster, 2, 2)), 50.0);
    raster.cell(2, 2) = 1.0e6f;
    EXPECT_DOUBLE_EQ(modelAt(raster, pointAtCell(raster, 2, 2)), 50.0);
    for (int c = 1; c <= 3; ++c) {
        for (int r = 1; r <= 3; ++r) {
            if (c == 2 && r == 2) continue;
            elevationRaster holed = constantRaster(5, 5, 50.0f);
            holed.cell(std::uint32_t(c), std::uint32_t(r)) = std::nanf("");
            EXPECT_TRUE(std::isnan(modelAt(holed, pointAtCell(holed, 2.1, 1.9)))) << c << "," << r;
        }
    }
}

TEST(ModelElevation, InfiniteCellGivesNoValue) {
    elevationRaster raster = constantRaster(5, 5, 50.0f);
    raster.cell(1, 1) = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 2, 2))));
}

TEST(ModelElevation, FarAwayOrDegenerateGeoreferenceGivesNoValueWithoutOverflow) {
    const elevationRaster raster = constantRaster(5, 5, 50.0f);
    const double infinity = std::numeric_limits<double>::infinity();
    for (double x : {1.0e300, -1.0e300, 3.0e9, -3.0e9, 2147483747.5, infinity, -infinity, notANumber}) {
        EXPECT_TRUE(std::isnan(modelAt(raster, pointAt(x, 198.0, 0.0)))) << x;
        EXPECT_TRUE(std::isnan(modelAt(raster, pointAt(102.0, x, 0.0)))) << x;
    }
    // 2^32 + 2 columns away would wrap onto column 2 in 32-bit arithmetic.
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAt(100.0 + 4294967298.0, 198.0, 0.0))));
    elevationRaster flat = constantRaster(5, 5, 50.0f);
    flat.transform = {100.0, 0.0, 0.0, 200.0, 0.0, 0.0};
    EXPECT_TRUE(std::isnan(modelAt(flat, pointAt(102.0, 198.0, 0.0))));
}

TEST(ModelElevation, CellsMissingFromTheGridGiveNoValue) {
    elevationRaster raster = constantRaster(5, 5, 50.0f);
    raster.cells.resize(10);
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 2, 2))));
}

// Cells 1000 + 0.5 c - 0.25 r are exact in float32, so the model must give
// that plane at any interior position, between nodes too.
void expectPlaneReproduced(const geoTransform& transform, std::uint32_t size) {
    const auto plane = [](double c, double r) { return 1000.0 + 0.5 * c - 0.25 * r; };
    const elevationRaster raster =
        makeRaster(size, size, transform, [&](int c, int r) { return float(plane(c, r)); });
    std::mt19937 random(7);
    std::uniform_real_distribution<double> position(0.6, double(size) - 1.6);
    for (int i = 0; i < 500; ++i) {
        const double c = position(random);
        const double r = position(random);
        const double model = modelAt(raster, pointAtCell(raster, c, r));
        ASSERT_NEAR(model, plane(c, r), 1e-6) << "cell position " << c << ", " << r;
    }
}

TEST(ModelElevation, PlaneRasterIsReproducedExactlyAtLongitudesWithTinyCells) {
    expectPlaneReproduced({136.93, 1.0e-5, 0.0, 20.41, 0.0, -1.0e-5}, 120);
}

TEST(ModelElevation, PlaneRasterIsReproducedExactlyUnderATurnedGeoreference) {
    expectPlaneReproduced({136.93, 0.9e-5, 0.3e-5, 20.41, 0.35e-5, -0.95e-5}, 120);
}

TEST(ModelElevation, PlaneRasterIsReproducedExactlyAtPolarCoordinates) {
    expectPlaneReproduced({1.0e6, 20.0, 0.0, -6.5e5, 0.0, -20.0}, 120);
    expectPlaneReproduced({-2.3e6, 1.0, 0.0, 1.7e6, 0.0, 1.0}, 120);
}

TEST(ModelElevation, OffsetsMoveTheSampledPlane) {
    // A plane rising 2 per unit of x: moving the raster by +1.5 in x lowers
    // the model under a fixed point by 3.
    const elevationRaster raster =
        makeRaster(10, 10, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, [](int c, int r) { return float(2 * c + r); });
    const molaPoint point = pointAt(4.3, 5.2, 0.0);
    EXPECT_NEAR(modelAt(raster, point), 2 * 4.3 + 5.2, 1e-12);
    EXPECT_NEAR(modelAt(raster, point, 1.5, 0.0, 0.0), 2 * 2.8 + 5.2, 1e-12);
    EXPECT_NEAR(modelAt(raster, point, 0.0, -1.0, 0.25), 2 * 4.3 + 6.2 + 0.25, 1e-12);
}

// ---------------------------------------------------------------- errors and RMS

TEST(PointErrors, ErrorIsPointAboveModelTimesTrackWeight) {
    const elevationRaster raster = constantRaster(6, 6, 100.0f);
    const std::vector<molaPoint> points{pointAt(102.0, 198.0, 105.0, 0), pointAt(103.0, 197.0, 96.0, 1),
                                        pointAt(50.0, 50.0, 7.0, 1), pointAt(102.0, 197.0, 100.0, 2)};
    const std::vector<double> weights{0.5, 1.0, 0.0};

    const std::vector<errorRecord> plain = raster.errorList(points, nullptr);
    ASSERT_EQ(plain.size(), 3u);  // the point outside the raster has no error
    EXPECT_EQ(plain[0].trackIndex, 0);
    EXPECT_DOUBLE_EQ(plain[0].x, 102.0);
    EXPECT_DOUBLE_EQ(plain[0].y, 198.0);
    EXPECT_DOUBLE_EQ(plain[0].error, 5.0);
    EXPECT_EQ(plain[1].trackIndex, 1);
    EXPECT_DOUBLE_EQ(plain[1].error, -4.0);
    EXPECT_EQ(plain[2].trackIndex, 2);
    EXPECT_DOUBLE_EQ(plain[2].error, 0.0);

    const std::vector<errorRecord> weighted = raster.errorList(points, &weights);
    ASSERT_EQ(weighted.size(), 3u);
    EXPECT_DOUBLE_EQ(weighted[0].error, 2.5);
    EXPECT_DOUBLE_EQ(weighted[1].error, -4.0);
}

TEST(PointErrors, RmsDividesByPointsWithAModelElevationNotByWeights) {
    const elevationRaster raster = constantRaster(6, 6, 100.0f);
    const std::vector<molaPoint> points{pointAt(102.0, 198.0, 103.0, 0), pointAt(103.0, 197.0, 97.0, 1),
                                        pointAt(-500.0, 197.0, 1000.0, 1)};
    const std::vector<double> ones{1.0, 1.0};
    rmsResult result = raster.rmsAndMean(points, &ones, 0, 0, 0);
    EXPECT_DOUBLE_EQ(result.rms, 3.0);
    EXPECT_DOUBLE_EQ(result.mean, 0.0);
    result = raster.rmsAndMean(points, nullptr, 0, 0, 0);
    EXPECT_DOUBLE_EQ(result.rms, 3.0);

    const std::vector<double> secondSilenced{1.0, 0.0};
    result = raster.rmsAndMean(points, &secondSilenced, 0, 0, 0);
    EXPECT_DOUBLE_EQ(result.rms, std::sqrt(9.0 / 2.0));
    EXPECT_DOUBLE_EQ(result.mean, 1.5);

    // Raising the model by 3 leaves errors 0 and -6.
    result = raster.rmsAndMean(points, &ones, 0, 0, 3.0);
    EXPECT_DOUBLE_EQ(result.rms, std::sqrt(36.0 / 2.0));
    EXPECT_DOUBLE_EQ(result.mean, -3.0);
}

TEST(PointErrors, NoPointWithAModelElevationGivesNaN) {
    const elevationRaster raster = constantRaster(6, 6, 100.0f);
    const rmsResult none = raster.rmsAndMean({}, nullptr, 0, 0, 0);
    EXPECT_TRUE(std::isnan(none.rms));
    EXPECT_TRUE(std::isnan(none.mean));
    const rmsResult outside = raster.rmsAndMean({pointAt(0.0, 0.0, 1.0)}, nullptr, 0, 0, 0);
    EXPECT_TRUE(std::isnan(outside.rms));
    EXPECT_TRUE(std::isnan(outside.mean));
    EXPECT_TRUE(raster.errorList({pointAt(0.0, 0.0, 1.0)}, nullptr).empty());
}

TEST(PointErrors, RmsAgreesWithTheSampledModelElevations) {
    const elevationRaster raster = makeRaster(30, 25, {10.0, 0.5, 0.1, 40.0, -0.05, -0.5}, [](int c, int r) {
        return float(20.0 * std::sin(c * 0.4) + 0.3 * r * r);
    });
    std::mt19937 random(3);
    std::uniform_real_distribution<double> column(-2.0, 32.0);
    std::uniform_real_distribution<double> row(-2.0, 27.0);
    std::uniform_real_distribution<double> height(-5.0, 200.0);
    std::vector<molaPoint> points;
    for (int i = 0; i < 400; ++i) {
        molaPoint point = pointAtCell(raster, column(random), row(random), height(random));
        point.trackIndex = i % 3;
        points.push_back(point);
    }
    const std::vector<double> weights{1.0, 0.5, 0.2};
    const double dx = 0.7, dy = -0.4, dz = 1.25;
    const std::vector<double> model = raster.sampleModel(points, dx, dy, dz);
    double sum = 0.0, sumOfSquares = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (std::isnan(model[i])) continue;
        const double error = (points[i].elevation - model[i]) * weights[std::size_t(points[i].trackIndex)];
        sum += error;
        sumOfSquares += error * error;
        ++count;
    }
    ASSERT_GT(count, 100);
    ASSERT_LT(count, 400);
    const rmsResult result = raster.rmsAndMean(points, &weights, dx, dy, dz);
    EXPECT_NEAR(result.rms, std::sqrt(sumOfSquares / count), 1e-9);
    EXPECT_NEAR(result.mean, sum / count, 1e-9);
}

TEST(PointErrors, TrackWithoutAWeightIsRefusedNotReadPastTheEnd) {
    const elevationRaster raster = constantRaster(6, 6, 100.0f);
    const std::vector<double> weights{1.0};
    EXPECT_THROW(raster.rmsAndMean({pointAt(102.0, 198.0, 1.0, 1)}, &weights, 0, 0, 0), std::out_of_range);
    EXPECT_THROW(raster.rmsAndMean({pointAt(102.0, 198.0, 1.0, -1)}, &weights, 0, 0, 0), std::out_of_range);
}

TEST(PointErrors, ModelReportsWeightedRmsAndPlainErrors) {
    alignmentModel model;
    model.raster = constantRaster(6, 6, 100.0f);
    model.molaPoints = {pointAt(102.0, 198.0, 104.0, 0), pointAt(103.0, 197.0, 90.0, 1)};
    model.trackWeights = {0.5, 0.0};
    EXPECT_DOUBLE_EQ(model.currentRms().rms, 0.0);  // not ready: two zeros
    EXPECT_DOUBLE_EQ(model.currentRms().mean, 0.0);
    model.notReady = false;
    const rmsResult result = model.currentRms();
    EXPECT_DOUBLE_EQ(result.rms, std::sqrt(4.0 / 2.0));
    EXPECT_DOUBLE_EQ(result.mean, 1.0);
    const std::vector<errorRecord> errors = model.currentErrorList();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_DOUBLE_EQ(errors[0].error, 4.0);
    EXPECT_DOUBLE_EQ(errors[1].error, -10.0);
}

// ---------------------------------------------------------------- conversions

TEST(PointConversions, LongitudesAreWrappedByOneStep) {
    alignmentModel model;
    model.molaPoints = {pointAt(350.0, 10.0, 1.0), pointAt(540.0, -190.0, 2.0), pointAt(-190.0, 200.0, 3.0),
                        pointAt(180.0, -180.0, 4.0), pointAt(900.0, 0.0, 5.0)};
    model.wrapLongitudes();
    EXPECT_DOUBLE_EQ(model.molaPoints[0].x, -10.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[0].y, 10.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[1].x, 180.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[1].y, 170.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[2].x, 170.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[2].y, -160.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[3].x, 180.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[3].y, -180.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[4].x, 540.0);
    EXPECT_DOUBLE_EQ(model.molaPoints[4].elevation, 5.0);
}

TEST(PointConversions, PolarStereographicOnTheMarsPolarSphere) {
    const double pi = 3.141592653589793;
    alignmentModel model;
    model.molaPoints = {pointAt(0.0, 90.0, 11.0),  pointAt(90.0, 0.0, 12.0),   pointAt(0.0, -90.0, 13.0),
                        pointAt(45.0, 60.0, 14.0), pointAt(45.0, -60.0, 15.0), pointAt(-120.0, 75.0, 16.0)};
    model.toPolarStereographic();
    const std::vector<molaPoint>& p = model.molaPoints;
    EXPECT_NEAR(p[0].x, 0.0, 1e-9);
    EXPECT_NEAR(p[0].y, 0.0, 1e-9);
    EXPECT_NEAR(p[1].x, 6752400.0, 1e-6);
    EXPECT_NEAR(p[1].y, 0.0, 1e-6);
    EXPECT_NEAR(p[2].x, 0.0, 1e-9);
    EXPECT_NEAR(p[2].y, 0.0, 1e-9);
    const double t60 = std::tan(pi / 12.0);
    EXPECT_NEAR(p[3].x, std::sin(pi / 4) * t60 * 6752400.0, 1e-6);
    EXPECT_NEAR(p[3].y, -std::cos(pi / 4) * t60 * 6752400.0, 1e-6);
    EXPECT_NEAR(p[4].x, std::sin(pi / 4) * t60 * 6752400.0, 1e-6);
    EXPECT_NEAR(p[4].y, std::cos(pi / 4) * t60 * 6752400.0, 1e-6);
    const double t75 = std::tan(pi / 4 - 75.0 * pi / 360.0);
    EXPECT_NEAR(p[5].x, std::sin(-2 * pi / 3) * t75 * 6752400.0, 1e-6);
    EXPECT_NEAR(p[5].y, -std::cos(-2 * pi / 3) * t75 * 6752400.0, 1e-6);
    for (std::size_t i = 0; i < p.size(); ++i) EXPECT_DOUBLE_EQ(p[i].elevation, 11.0 + double(i));
}

}  // namespace
}  // namespace kalvex
