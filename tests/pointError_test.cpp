// Model elevations, point errors, the weighted RMS and the coordinate
// conversions of the altimeter points.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "model/alignmentModel.h"
#include "model/elevationRaster.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using kalvex::testing::makeRaster;

elevationRaster constantRaster(std::uint32_t width, std::uint32_t height, float value) {
    return makeRaster(width, height, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, [value](int, int) { return value; });
}

molaPoint pointAtCell(const elevationRaster& raster, double column, double row, double elevation = 0.0) {
    return {0, raster.nodeX(column, row), raster.nodeY(column, row), elevation};
}

double modelAt(const elevationRaster& raster, const molaPoint& point, double dx = 0, double dy = 0, double dz = 0) {
    return raster.sampleModel({point}, dx, dy, dz).front();
}

TEST(ModelElevation, OnlyNodesOffTheOutermostRowsAndColumnsAreInterior) {
    for (const auto& size : {std::pair<int, int>{2, 6}, {6, 2}, {1, 1}, {0, 0}}) {
        const elevationRaster raster = constantRaster(std::uint32_t(size.first), std::uint32_t(size.second), 100.0f);
        for (double c = -1.0; c <= 6.0; c += 0.5)
            for (double r = -1.0; r <= 6.0; r += 0.5)
                EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, c, r)))) << size.first << "x" << size.second;
    }
    // The nearest node decides: half a cell beyond an interior node still counts.
    const elevationRaster raster = constantRaster(5, 4, 100.0f);
    struct row { double c, r; bool interior; };
    for (const row& test : std::vector<row>{{1, 1, true},     {3, 2, true},   {0.5, 1, true},  {3.49, 2.49, true},
                                            {0, 1, false},    {1, 0, false},  {4, 2, false},   {2, 3, false},
                                            {0.49, 1, false}, {3.5, 1, false}, {-0.7, 1, false}, {-30, -30, false}}) {
        const double model = modelAt(raster, pointAtCell(raster, test.c, test.r));
        if (test.interior) EXPECT_DOUBLE_EQ(model, 100.0) << test.c << ", " << test.r;
        else EXPECT_TRUE(std::isnan(model)) << test.c << ", " << test.r;
    }
}

TEST(ModelElevation, OffsetsMoveTheRasterAndRaiseIt) {
    const elevationRaster flat = constantRaster(8, 8, 100.0f);
    const molaPoint point = pointAtCell(flat, 3.3, 4.6);
    EXPECT_DOUBLE_EQ(modelAt(flat, point, 1.7, -2.2, -4.0), 96.0);
    EXPECT_TRUE(std::isnan(modelAt(flat, point, -4.0, 0.0, 0.0)));  // moved off the interior
    // A plane rising 2 per unit of x: moving the raster by +1.5 in x lowers the model by 3.
    const elevationRaster plane =
        makeRaster(10, 10, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, [](int c, int r) { return float(2 * c + r); });
    const molaPoint fixed{0, 4.3, 5.2, 0.0};
    EXPECT_NEAR(modelAt(plane, fixed), 2 * 4.3 + 5.2, 1e-12);
    EXPECT_NEAR(modelAt(plane, fixed, 1.5, 0.0, 0.0), 2 * 2.8 + 5.2, 1e-12);
    EXPECT_NEAR(modelAt(plane, fixed, 0.0, -1.0, 0.25), 2 * 4.3 + 6.2 + 0.25, 1e-12);
}

TEST(ModelElevation, NonFiniteOrMissingNeighbourGivesNoValueButTheCentreIsNeverUsed) {
    elevationRaster raster = constantRaster(5, 5, 50.0f);
    for (float centre : {std::nanf(""), 1.0e6f}) {
        raster.cell(2, 2) = centre;
        EXPECT_DOUBLE_EQ(modelAt(raster, pointAtCell(raster, 2, 2)), 50.0);
    }
    for (float hole : {std::nanf(""), std::numeric_limits<float>::infinity()}) {
        for (std::uint32_t c = 1; c <= 3; ++c) {
            for (std::uint32_t r = 1; r <= 3; ++r) {
                if (c == 2 && r == 2) continue;
                elevationRaster holed = constantRaster(5, 5, 50.0f);
                holed.cell(c, r) = hole;
                EXPECT_TRUE(std::isnan(modelAt(holed, pointAtCell(holed, 2.1, 1.9)))) << c << "," << r;
            }
        }
    }
    raster.cells.resize(10);
    EXPECT_TRUE(std::isnan(modelAt(raster, pointAtCell(raster, 2, 2))));
}

TEST(ModelElevation, FarAwayOrDegenerateGeoreferenceGivesNoValueWithoutOverflow) {
    const elevationRaster raster = constantRaster(5, 5, 50.0f);
    const double infinity = std::numeric_limits<double>::infinity();
    for (double x : {1.0e300, -1.0e300, 3.0e9, -3.0e9, 2147483747.5, infinity, -infinity, notANumber}) {
        EXPECT_TRUE(std::isnan(modelAt(raster, {0, x, 198.0, 0.0}))) << x;
        EXPECT_TRUE(std::isnan(modelAt(raster, {0, 102.0, x, 0.0}))) << x;
    }
    // 2^32 + 2 columns away would wrap onto column 2 in 32-bit arithmetic.
    EXPECT_TRUE(std::isnan(modelAt(raster, {0, 100.0 + 4294967298.0, 198.0, 0.0})));
    elevationRaster flat = constantRaster(5, 5, 50.0f);
    flat.transform = {100.0, 0.0, 0.0, 200.0, 0.0, 0.0};
    EXPECT_TRUE(std::isnan(modelAt(flat, {0, 102.0, 198.0, 0.0})));
}

// Cells 1000 + 0.5 c - 0.25 r are exact in float32, so the model must give
// that plane at any interior position, between nodes too.
TEST(ModelElevation, PlaneRasterIsReproducedExactlyAtRealCoordinates) {
    const auto plane = [](double c, double r) { return 1000.0 + 0.5 * c - 0.25 * r; };
    for (const geoTransform& transform : std::vector<geoTransform>{{136.93, 1.0e-5, 0.0, 20.41, 0.0, -1.0e-5},
                                                                   {136.93, 0.9e-5, 0.3e-5, 20.41, 0.35e-5, -0.95e-5},
                                                                   {1.0e6, 20.0, 0.0, -6.5e5, 0.0, -20.0},
                                                                   {-2.3e6, 1.0, 0.0, 1.7e6, 0.0, 1.0}}) {
        SCOPED_TRACE(transform[0]);
        const elevationRaster raster =
            makeRaster(120, 120, transform, [&](int c, int r) { return float(plane(c, r)); });
        std::mt19937 random(7);
        std::uniform_real_distribution<double> position(0.6, 118.4);
        for (int i = 0; i < 500; ++i) {
            const double c = position(random), r = position(random);
            ASSERT_NEAR(modelAt(raster, pointAtCell(raster, c, r)), plane(c, r), 1e-6) << "cell " << c << ", " << r;
        }
    }
}

// Track, x, y and error of each record.
std::vector<std::array<double, 4>> recordsOf(const std::vector<errorRecord>& records) {
    std::vector<std::array<double, 4>> found;
    for (const errorRecord& record : records)
        found.push_back({double(record.trackIndex), record.x, record.y, record.error});
    return found;
}

TEST(PointErrors, ErrorIsPointAboveModelTimesTrackWeight) {
    const elevationRaster raster = constantRaster(6, 6, 100.0f);
    const std::vector<molaPoint> points{{0, 102.0, 198.0, 105.0}, {1, 103.0, 197.0, 96.0}, {1, 50.0, 50.0, 7.0},
                                        {2, 102.0, 197.0, 100.0}};  // the third, outside, has no error
    const std::vector<double> weights{0.5, 1.0, 0.0};
    using records = std::vector<std::array<double, 4>>;
    EXPECT_EQ(recordsOf(raster.errorList(points, nullptr)),
              (records{{0, 102, 198, 5}, {1, 103, 197, -4}, {2, 102, 197, 0}}));
    EXPECT_EQ(recordsOf(raster.errorList(points, &weights)),
              (records{{0, 102, 198, 2.5}, {1, 103, 197, -4}, {2, 102, 197, 0}}));
    EXPECT_TRUE(raster.errorList({{0, 0.0, 0.0, 1.0}}, nullptr).empty());
}

TEST(PointErrors, RmsDividesByPointsWithAModelElevationNotByWeights) {
    const elevationRaster raster = constantRaster(6, 6, 100.0f);
    const std::vector<molaPoint> points{{0, 102.0, 198.0, 103.0}, {1, 103.0, 197.0, 97.0}, {1, -500.0, 197.0, 1000.0}};
    const std::vector<double> ones{1.0, 1.0}, secondSilenced{1.0, 0.0};
    struct row { const std::vector<double>* weights; double dz, rms, mean; };
    for (const row& test : std::vector<row>{{&ones, 0.0, 3.0, 0.0},
                                            {nullptr, 0.0, 3.0, 0.0},
                                            {&secondSilenced, 0.0, std::sqrt(9.0 / 2.0), 1.5},
                                            {&ones, 3.0, std::sqrt(36.0 / 2.0), -3.0}}) {  // errors 0 and -6
        const rmsResult result = raster.rmsAndMean(points, test.weights, 0, 0, test.dz);
        EXPECT_DOUBLE_EQ(result.rms, test.rms) << test.dz;
        EXPECT_DOUBLE_EQ(result.mean, test.mean) << test.dz;
    }
    for (const std::vector<molaPoint>& none : {std::vector<molaPoint>{}, std::vector<molaPoint>{{0, 0.0, 0.0, 1.0}}}) {
        const rmsResult result = raster.rmsAndMean(none, nullptr, 0, 0, 0);
        EXPECT_TRUE(std::isnan(result.rms) && std::isnan(result.mean));
    }
    const std::vector<double> oneWeight{1.0};  // a track without a weight is refused, not read past the end
    EXPECT_THROW(raster.rmsAndMean({{1, 102.0, 198.0, 1.0}}, &oneWeight, 0, 0, 0), std::out_of_range);
    EXPECT_THROW(raster.rmsAndMean({{-1, 102.0, 198.0, 1.0}}, &oneWeight, 0, 0, 0), std::out_of_range);
}

TEST(PointErrors, RmsAgreesWithTheSampledModelElevations) {
    const elevationRaster raster = makeRaster(30, 25, {10.0, 0.5, 0.1, 40.0, -0.05, -0.5}, [](int c, int r) {
        return float(20.0 * std::sin(c * 0.4) + 0.3 * r * r);
    });
    std::mt19937 random(3);
    std::uniform_real_distribution<double> column(-2.0, 32.0), row(-2.0, 27.0), height(-5.0, 200.0);
    std::vector<molaPoint> points;
    for (int i = 0; i < 400; ++i) {
        points.push_back(pointAtCell(raster, column(random), row(random), height(random)));
        points.back().trackIndex = i % 3;
    }
    const std::vector<double> weights{1.0, 0.5, 0.2};
    const double dx = 0.7, dy = -0.4, dz = 1.25;
    const std::vector<double> model = raster.sampleModel(points, dx, dy, dz);
    double sum = 0.0, sumOfSquares = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double error = (points[i].elevation - model[i]) * weights[std::size_t(points[i].trackIndex)];
        if (!std::isnan(error)) sum += error, sumOfSquares += error * error, ++count;
    }
    ASSERT_GT(count, 100);
    ASSERT_LT(count, 400);
    const rmsResult result = raster.rmsAndMean(points, &weights, dx, dy, dz);
    EXPECT_NEAR(result.rms, std::sqrt(sumOfSquares / count), 1e-9);
    EXPECT_NEAR(result.mean, sum / count, 1e-9);
}

TEST(PointErrors, ModelReportsWeightedRmsAndPlainErrors) {
    alignmentModel model;
    model.raster = constantRaster(6, 6, 100.0f);
    model.molaPoints = {{0, 102.0, 198.0, 104.0}, {1, 103.0, 197.0, 90.0}};
    model.trackWeights = {0.5, 0.0};
    EXPECT_TRUE(model.currentRms().rms == 0.0 && model.currentRms().mean == 0.0);  // not ready: two zeros
    model.notReady = false;
    EXPECT_DOUBLE_EQ(model.currentRms().rms, std::sqrt(4.0 / 2.0));
    EXPECT_DOUBLE_EQ(model.currentRms().mean, 1.0);
    EXPECT_EQ(recordsOf(model.currentErrorList()),
              (std::vector<std::array<double, 4>>{{0, 102, 198, 4}, {1, 103, 197, -10}}));
}

TEST(PointConversions, LongitudesWrapByOneStepAndPolarStereographicUsesTheMarsPolarSphere) {
    alignmentModel model;
    model.molaPoints = {{0, 350.0, 10.0, 1.0}, {0, 540.0, -190.0, 2.0}, {0, -190.0, 200.0, 3.0},
                        {0, 180.0, -180.0, 4.0}, {0, 900.0, 0.0, 5.0}};
    model.wrapLongitudes();
    const std::vector<std::array<double, 2>> wrapped{{-10, 10}, {180, 170}, {170, -160}, {180, -180}, {540, 0}};
    for (std::size_t i = 0; i < wrapped.size(); ++i) {
        EXPECT_DOUBLE_EQ(model.molaPoints[i].x, wrapped[i][0]) << i;
        EXPECT_DOUBLE_EQ(model.molaPoints[i].y, wrapped[i][1]) << i;
        EXPECT_DOUBLE_EQ(model.molaPoints[i].elevation, 1.0 + double(i));
    }

    const double pi = 3.141592653589793, radius = 6752400.0;
    const double t60 = std::tan(pi / 12.0) * radius, t75 = std::tan(pi / 4 - 75.0 * pi / 360.0) * radius;
    model.molaPoints = {{0, 0.0, 90.0, 11.0},  {0, 90.0, 0.0, 12.0},   {0, 0.0, -90.0, 13.0},
                        {0, 45.0, 60.0, 14.0}, {0, 45.0, -60.0, 15.0}, {0, -120.0, 75.0, 16.0}};
    model.toPolarStereographic();
    const std::vector<std::array<double, 2>> projected{{0, 0},
                                                       {radius, 0},
                                                       {0, 0},
                                                       {std::sin(pi / 4) * t60, -std::cos(pi / 4) * t60},
                                                       {std::sin(pi / 4) * t60, std::cos(pi / 4) * t60},
                                                       {std::sin(-2 * pi / 3) * t75, -std::cos(-2 * pi / 3) * t75}};
    for (std::size_t i = 0; i < projected.size(); ++i) {
        const double tolerance = (i == 0 || i == 2) ? 1e-9 : 1e-6;  // the poles
        EXPECT_NEAR(model.molaPoints[i].x, projected[i][0], tolerance) << i;
        EXPECT_NEAR(model.molaPoints[i].y, projected[i][1], tolerance) << i;
        EXPECT_DOUBLE_EQ(model.molaPoints[i].elevation, 11.0 + double(i));
    }
}

}  // namespace
}  // namespace kalvex
