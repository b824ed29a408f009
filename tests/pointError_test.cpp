// Model elevations, point errors, the weighted RMS and the coordinate
// conversions of the altimeter points.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::makeRaster;
const double infinity = std::numeric_limits<double>::infinity();

elevationRaster constantRaster(std::uint32_t width, std::uint32_t height, float value) {
    return makeRaster(width, height, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, [value](int, int) { return value; });
}

double modelAt(const elevationRaster& raster, double column, double row, double dx = 0, double dy = 0, double dz = 0) {
    return raster.sampleModel({{0, raster.nodeX(column, row), raster.nodeY(column, row), 0.0}}, dx, dy, dz).front();
}

// The nearest node decides: half a cell beyond an interior node still counts,
// and rasters without an interior node, down to none at all, give no value.
TEST(ModelElevation, OnlyNodesOffTheOutermostRowsAndColumnsAreInterior) {
    const elevationRaster raster = constantRaster(5, 4, 100.0f);
    struct row { double c, r; bool interior; };
    for (const row& test : std::vector<row>{{1, 1, true}, {3, 2, true}, {0.5, 1, true}, {3.49, 2.49, true},
                                            {0, 1, false}, {1, 0, false}, {4, 2, false}, {2, 3, false},
                                            {0.49, 1, false}, {3.5, 1, false}, {-0.7, 1, false}, {-30, -30, false}})
        EXPECT_THAT(modelAt(raster, test.c, test.r), ::testing::NanSensitiveDoubleEq(test.interior ? 100.0 : notANumber)) << test.c << ", " << test.r;
    for (const auto& [width, height] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{{2, 6}, {6, 2}, {1, 1}, {0, 0}})
        for (double c = -1.0; c <= 6.0; c += 0.5)
            EXPECT_TRUE(std::isnan(modelAt(constantRaster(width, height, 100.0f), c, 1.5 + c / 3))) << width << "x" << height;
}

// Moving the raster by +1.5 in x lowers a plane rising 2 per unit of x by 3.
TEST(ModelElevation, OffsetsMoveTheRasterAndRaiseIt) {
    EXPECT_EQ(modelAt(constantRaster(8, 8, 100.0f), 3.3, 4.6, 1.7, -2.2, -4.0), 96.0);
    EXPECT_TRUE(std::isnan(modelAt(constantRaster(8, 8, 100.0f), 3.3, 4.6, -4.0, 0.0, 0.0)));
    const elevationRaster plane =
        makeRaster(10, 10, {0.0, 1.0, 0.0, 0.0, 0.0, 1.0}, [](int c, int r) { return float(2 * c + r); });
    EXPECT_NEAR(modelAt(plane, 4.3, 5.2), 2 * 4.3 + 5.2, 1e-12);
    EXPECT_NEAR(modelAt(plane, 4.3, 5.2, 1.5, 0.0, 0.0), 2 * 2.8 + 5.2, 1e-12);
    EXPECT_NEAR(modelAt(plane, 4.3, 5.2, 0.0, -1.0, 0.25), 2 * 4.3 + 6.2 + 0.25, 1e-12);
}

TEST(ModelElevation, NonFiniteOrMissingNeighbourGivesNoValueButTheCentreIsNeverUsed) {
    elevationRaster raster = constantRaster(5, 5, 50.0f);
    raster.cell(2, 2) = std::nanf("");
    EXPECT_EQ(modelAt(raster, 2, 2), 50.0);
    for (const float hole : {std::nanf(""), std::numeric_limits<float>::infinity()})
        for (std::uint32_t cell : {6u, 7u, 8u, 11u, 13u, 16u, 17u, 18u}) {
            elevationRaster holed = constantRaster(5, 5, 50.0f);
            holed.cells[cell] = hole;
            EXPECT_TRUE(std::isnan(modelAt(holed, 2.1, 1.9))) << cell;
        }
    raster.cells.resize(10);  // fewer cells than the size says
    EXPECT_TRUE(std::isnan(modelAt(raster, 2, 2)));
}

// 2^32 + 2 columns away would wrap onto column 2 in 32-bit arithmetic.
TEST(ModelElevation, FarAwayOrDegenerateGeoreferenceGivesNoValueWithoutOverflow) {
    const elevationRaster raster = constantRaster(5, 5, 50.0f);
    for (double x : {1.0e300, -3.0e9, 2147483747.5, 100.0 + 4294967298.0, infinity, -infinity, notANumber}) {
        EXPECT_TRUE(std::isnan(raster.sampleModel({{0, x, 198.0, 0.0}}, 0, 0, 0)[0])) << x;
        EXPECT_TRUE(std::isnan(raster.sampleModel({{0, 102.0, x, 0.0}}, 0, 0, 0)[0])) << x;
    }
    elevationRaster flat = constantRaster(5, 5, 50.0f);
    flat.transform = {100.0, 0.0, 0.0, 200.0, 0.0, 0.0};
    EXPECT_TRUE(std::isnan(modelAt(flat, 2, 2)));
}

// Cells 1000 + 0.5 c - 0.25 r are exact in float32, so the model must give
// that plane anywhere on the interior, between nodes too, at any coordinates.
TEST(ModelElevation, PlaneRasterIsReproducedExactlyAtRealCoordinates) {
    const auto plane = [](double c, double r) { return 1000.0 + 0.5 * c - 0.25 * r; };
    for (const geoTransform& transform : std::vector<geoTransform>{{179.93, 1.0e-5, 0.0, 20.41, 0.0, -1.0e-5},
                                                                   {136.93, 0.9e-5, 0.3e-5, 20.41, 0.35e-5, -0.95e-5},
                                                                   {1.0e6, 20.0, 0.0, -6.5e5, 0.0, -20.0},
                                                                   {-2.3e6, 1.0, 0.0, 1.7e6, 0.0, 1.0}}) {
        const elevationRaster raster = makeRaster(120, 120, transform, [&](int c, int r) { return float(plane(c, r)); });
        for (const auto& [c, r] : std::vector<std::pair<double, double>>{{0.6, 0.6}, {3.3, 117.9}, {61.45, 40.55}, {118.4, 118.4}})
            EXPECT_NEAR(modelAt(raster, c, r), plane(c, r), 1e-6) << transform[0] << ": " << c << ", " << r;
    }
}

// Track, x, y and error of each record.
std::vector<std::array<double, 4>> recordsOf(const std::vector<errorRecord>& records) {
    std::vector<std::array<double, 4>> found;
    for (const errorRecord& record : records) found.push_back({double(record.trackIndex), record.x, record.y, record.error});
    return found;
}

TEST(PointErrors, ErrorIsPointAboveModelTimesTrackWeightAndOnlyPointsWithAModelElevationCount) {
    alignmentModel model;
    model.raster = constantRaster(6, 6, 100.0f);
    model.molaPoints = {{0, 102.0, 198.0, 105.0}, {1, 103.0, 197.0, 96.0}, {1, 50.0, 50.0, 7.0}, {2, 102.0, 197.0, 100.0}};
    model.trackWeights = {0.5, 1.0, 0.0};
    using records = std::vector<std::array<double, 4>>;
    EXPECT_EQ(recordsOf(model.raster.errorList(model.molaPoints, &model.trackWeights)),
              (records{{0, 102, 198, 2.5}, {1, 103, 197, -4}, {2, 102, 197, 0}}));
    EXPECT_EQ(model.currentRms().rms + model.currentRms().mean, 0.0);  // not ready: two zeros
    model.notReady = false;
    EXPECT_EQ(recordsOf(model.currentErrorList()), (records{{0, 102, 198, 5}, {1, 103, 197, -4}, {2, 102, 197, 0}}));
    EXPECT_DOUBLE_EQ(model.currentRms().rms, std::sqrt((2.5 * 2.5 + 16.0) / 3.0));
    EXPECT_DOUBLE_EQ(model.currentRms().mean, -1.5 / 3.0);
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
        EXPECT_EQ(std::vector<double>({result.rms, result.mean}), std::vector<double>({test.rms, test.mean}));
    }
    for (const std::vector<molaPoint>& none : {std::vector<molaPoint>{}, std::vector<molaPoint>{{0, 0.0, 0.0, 1.0}}}) {
        const rmsResult result = raster.rmsAndMean(none, nullptr, 0, 0, 0);
        EXPECT_TRUE(std::isnan(result.rms) && std::isnan(result.mean));
    }
    const std::vector<double> oneWeight{1.0};  // a track without a weight is refused, not read past the end
    EXPECT_THROW(raster.rmsAndMean({{1, 102.0, 198.0, 1.0}}, &oneWeight, 0, 0, 0), std::out_of_range);
    EXPECT_THROW(raster.rmsAndMean({{-1, 102.0, 198.0, 1.0}}, &oneWeight, 0, 0, 0), std::out_of_range);
}

TEST(PointConversions, LongitudesWrapByOneStep) {
    alignmentModel model;
    model.molaPoints = {{0, 350, 10, 1}, {0, 540, -190, 2}, {0, -190, 200, 3}, {0, 180, -180, 4}, {0, 900, 0, 5}};
    model.wrapLongitudes();
    std::ostringstream wrapped;
    for (const molaPoint& point : model.molaPoints) wrapped << point.x << ' ' << point.y << ' ' << point.elevation << ", ";
    EXPECT_EQ(wrapped.str(), "-10 10 1, 180 170 2, 170 -160 3, 180 -180 4, 540 0 5, ");
}

// The sphere of twice the polar radius of Mars, 6752400 m; each hemisphere has its own formulas.
TEST(PointConversions, PolarStereographicUsesTheMarsPolarSphere) {
    alignmentModel model;
    const std::vector<std::array<double, 4>> rows{{0, 90, 0, 0},
                                                  {90, 0, 6752400, 0},
                                                  {0, -90, 0, 0},
                                                  {45, 60, 1279368.3889835, -1279368.3889835},
                                                  {-45, -60, -1279368.3889835, 1279368.3889835},
                                                  {-120, 75, -769870.8844086, 444485.1623546}};
    for (const auto& row : rows) model.molaPoints.push_back({0, row[0], row[1], row[0] + row[1]});
    model.toPolarStereographic();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_NEAR(model.molaPoints[i].x, rows[i][2], 1e-6) << i;
        EXPECT_NEAR(model.molaPoints[i].y, rows[i][3], 1e-6) << i;
        EXPECT_EQ(model.molaPoints[i].elevation, rows[i][0] + rows[i][1]);
    }
}

}  // namespace
}  // namespace kalvex
