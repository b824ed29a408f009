// Model elevations, point errors, the weighted RMS and the coordinate
// conversions of the altimeter points.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::makeRaster;
using testing::textOf;
const double infinity = std::numeric_limits<double>::infinity();

elevationRaster constantRaster(std::uint32_t width, std::uint32_t height, float value = 100.0f) {
    return makeRaster(width, height, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, [value](int, int) { return value; });
}

// The model elevations at positions given in cells, moved by dx, dy and raised by dz.
std::string modelsAt(const elevationRaster& raster, const std::vector<std::array<double, 2>>& cells, double dx = 0,
                     double dy = 0, double dz = 0) {
    std::vector<molaPoint> points;
    for (const auto& [c, r] : cells) points.push_back({0, raster.nodeX(c, r), raster.nodeY(c, r), 0.0});
    return textOf(raster.sampleModel(points, dx, dy, dz));
}

// The nearest node decides: half a cell beyond an interior node still counts.
TEST(ModelElevation, OnlyNodesOffTheOutermostRowsAndColumnsAreInterior) {
    EXPECT_EQ(modelsAt(constantRaster(5, 4), {{1, 1}, {3, 2}, {0.5, 1}, {3.49, 2.49}, {0, 1}, {1, 0}, {4, 2}, {2, 3},
                                              {0.49, 1}, {3.5, 1}, {-0.7, 1}, {-30, -30}}),
              "100 100 100 100 nan nan nan nan nan nan nan nan ");
    for (const auto& [width, height] : std::vector<std::array<std::uint32_t, 2>>{{2, 6}, {6, 2}, {1, 1}, {0, 0}})
        EXPECT_EQ(modelsAt(constantRaster(width, height), {{1, 1}, {1, 2}, {2, 1}, {0.6, 2.4}, {2.4, 0.6}}),
                  "nan nan nan nan nan ") << width << " x " << height;
}

TEST(ModelElevation, NonFiniteOrMissingNeighbourGivesNoValueButTheCentreIsNeverUsed) {
    elevationRaster raster = constantRaster(5, 5, 50.0f);
    raster.cell(2, 2) = std::nanf("");
    EXPECT_EQ(modelsAt(raster, {{2, 2}}), "50 ");
    for (const float hole : {std::nanf(""), std::numeric_limits<float>::infinity()})
        for (std::uint32_t cell : {6u, 7u, 8u, 11u, 13u, 16u, 17u, 18u}) {
            elevationRaster holed = constantRaster(5, 5, 50.0f);
            holed.cells[cell] = hole;
            EXPECT_EQ(modelsAt(holed, {{2.1, 1.9}}), "nan ") << cell;
        }
    raster.cells.resize(10);  // fewer cells than the size says
    EXPECT_EQ(modelsAt(raster, {{2, 2}}), "nan ");
}

// 2^32 + 2 columns away would wrap onto column 2 in 32-bit arithmetic.
TEST(ModelElevation, FarAwayOrDegenerateGeoreferenceGivesNoValueWithoutOverflow) {
    elevationRaster raster = constantRaster(5, 5, 50.0f);
    std::vector<molaPoint> far;
    for (double v : {1.0e300, -3.0e9, 2147483747.5, 4294967398.0, infinity, -infinity, notANumber})
        far.insert(far.end(), {{0, v, 198.0, 0.0}, {0, 102.0, v, 0.0}});
    for (const double model : raster.sampleModel(far, 0, 0, 0)) EXPECT_TRUE(std::isnan(model));
    raster.transform = {100.0, 0.0, 0.0, 200.0, 0.0, 0.0};
    EXPECT_EQ(modelsAt(raster, {{2, 2}}), "nan ");
}

// Cells 1000 + 0.5 c - 0.25 r are exact in float32, so the model gives that
// plane anywhere on the interior, between nodes too, at any coordinates.
TEST(ModelElevation, PlaneRasterIsReproducedExactlyAtRealCoordinates) {
    for (const geoTransform& transform : std::vector<geoTransform>{{179.93, 1.0e-5, 0.0, 20.41, 0.0, -1.0e-5},
                                                                   {136.93, 0.9e-5, 0.3e-5, 20.41, 0.35e-5, -0.95e-5},
                                                                   {1.0e6, 20.0, 0.0, -6.5e5, 0.0, -20.0},
                                                                   {-2.3e6, 1.0, 0.0, 1.7e6, 0.0, 1.0}}) {
        const elevationRaster raster = makeRaster(120, 120, transform, [](int c, int r) { return 1000.0 + 0.5 * c - 0.25 * r; });
        EXPECT_EQ(modelsAt(raster, {{0.6, 0.6}, {3.3, 117.9}, {61.45, 40.55}, {118.4, 118.4}}),
                  "1000.15 972.175 1020.5875 1029.6 ") << transform[0];
    }
}

TEST(PointErrors, ErrorIsPointAboveModelTimesTrackWeightAndOnlyPointsWithAModelElevationCount) {
    alignmentModel model;
    model.raster = constantRaster(6, 6);
    model.molaPoints = {{0, 102.0, 198.0, 105.0}, {1, 103.0, 197.0, 96.0}, {1, 50.0, 50.0, 7.0}, {2, 102.0, 197.0, 100.0}};
    model.trackWeights = {0.5, 1.0, 0.0};
    std::vector<double> records;
    for (const auto& list : {model.raster.errorList(model.molaPoints, &model.trackWeights), model.currentErrorList()})
        for (const errorRecord& record : list) records.insert(records.end(), {double(record.trackIndex), record.x, record.y, record.error});
    EXPECT_EQ(textOf(records), "0 102 198 2.5 1 103 197 -4 2 102 197 0 0 102 198 5 1 103 197 -4 2 102 197 0 ");
    EXPECT_EQ(textOf({model.currentRms().rms, model.currentRms().mean}), "0 0 ");  // not ready
    model.notReady = false;
    EXPECT_EQ(textOf({model.currentRms().rms, model.currentRms().mean}), textOf({std::sqrt(22.25 / 3), -0.5}));
}

// Errors +3 and -3: a weight of 0 adds nothing to the sums but still counts.
TEST(PointErrors, RmsDividesByPointsWithAModelElevationNotByWeights) {
    const elevationRaster raster = constantRaster(6, 6);
    const std::vector<molaPoint> points{{0, 102.0, 198.0, 103.0}, {1, 103.0, 197.0, 97.0}, {1, -500.0, 197.0, 1000.0}};
    const std::vector<double> ones{1.0, 1.0}, secondSilenced{1.0, 0.0}, oneWeight{1.0};
    std::vector<double> results;
    for (const auto& [weights, dz] : std::vector<std::pair<const std::vector<double>*, double>>{
             {&ones, 0.0}, {nullptr, 0.0}, {&secondSilenced, 0.0}, {&ones, 3.0}})
        results.insert(results.end(), {raster.rmsAndMean(points, weights, 0, 0, dz).rms, raster.rmsAndMean(points, weights, 0, 0, dz).mean});
    results.insert(results.end(), {raster.rmsAndMean({}, nullptr, 0, 0, 0).rms, raster.rmsAndMean({points[2]}, nullptr, 0, 0, 0).mean});
    EXPECT_EQ(textOf(results), textOf({3, 0, 3, 0, std::sqrt(4.5), 1.5, std::sqrt(18.0), -3, notANumber, notANumber}));
    // A track without a weight is refused, not read past the end.
    EXPECT_THROW(raster.rmsAndMean({{1, 102.0, 198.0, 1.0}}, &oneWeight, 0, 0, 0), std::out_of_range);
    EXPECT_THROW(raster.rmsAndMean({{-1, 102.0, 198.0, 1.0}}, &oneWeight, 0, 0, 0), std::out_of_range);
}

TEST(PointConversions, LongitudesWrapByOneStepAndPolarStereographicUsesTheMarsPolarSphere) {
    alignmentModel model;
    model.molaPoints = {{0, 350, 10, 1}, {0, 540, -190, 2}, {0, -190, 200, 3}, {0, 180, -180, 4}, {0, 900, 0, 5}};
    model.wrapLongitudes();
    std::vector<double> wrapped;
    for (const molaPoint& point : model.molaPoints) wrapped.insert(wrapped.end(), {point.x, point.y, point.elevation});
    EXPECT_EQ(textOf(wrapped), "-10 10 1 180 170 2 170 -160 3 180 -180 4 540 0 5 ");
    // Twice the polar radius of Mars, 6752400 m; each hemisphere has its own formulas.
    model.molaPoints = {{0, 0, 90, 1}, {0, 90, 0, 2}, {0, 0, -90, 3}, {0, 45, 60, 4}, {0, -45, -60, 5}, {0, -120, 75, 6}};
    model.toPolarStereographic();
    const std::vector<double> expected{0, 0, 1, 6752400, 0, 2, 0, 0, 3, 1279368.3889835, -1279368.3889835, 4,
                                       -1279368.3889835, 1279368.3889835, 5, -769870.8844086, 444485.1623546, 6};
    for (std::size_t i = 0; i < expected.size(); i += 3) {
        const molaPoint& point = model.molaPoints[i / 3];
        EXPECT_NEAR(point.x, expected[i], 1e-6) << i / 3;
        EXPECT_NEAR(point.y, expected[i + 1], 1e-6) << i / 3;
        EXPECT_EQ(point.elevation, expected[i + 2]);
    }
}

}  // namespace
}  // namespace kalvex
