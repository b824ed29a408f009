// Model elevations, point errors, the weighted RMS and the coordinate conversions of the altimeter points.
#include <gtest/gtest.h>

#include <stdexcept>

#include "model/evaluation/pointError.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::makeRaster;
using testing::textOf;
const double infinity = std::numeric_limits<double>::infinity();

elevationRaster constantRaster(std::uint32_t width, std::uint32_t height, float value = 100.0f) {
    return makeRaster(width, height, {100.0, 1.0, 0.0, 200.0, 0.0, -1.0}, [value](int, int) { return value; });
}

// The model elevations at positions given in cells.
std::string modelsAt(const elevationRaster& raster, const std::vector<std::array<double, 2>>& cells) {
    std::vector<molaPoint> points;
    for (const auto& [c, r] : cells) points.push_back({0, raster.nodeX(c, r), raster.nodeY(c, r), 0.0});
    return textOf(sampleModel(raster, points, 0, 0, 0));
}

// x, y and elevation of every point, to the millimetre.
std::string pointsText(const std::vector<molaPoint>& points) {
    std::vector<double> values;
    for (const molaPoint& point : points)
        for (const double value : {point.x, point.y, point.elevation})
            values.push_back(std::round(value * 1e3) / 1e3 + 0.0);  // without a negative zero
    return textOf(values);
}

// The nearest node decides, half a cell beyond an interior node too; rasters without an interior node give no value.
TEST(ModelElevation, OnlyNodesOffTheOutermostRowsAndColumnsAreInterior) {
    EXPECT_EQ(modelsAt(constantRaster(5, 4), {{1, 1}, {3, 2}, {0.5, 1}, {3.49, 2.49}, {0, 1}, {1, 0}, {4, 2}, {2, 3},
                                              {0.49, 1}, {3.5, 1}, {-0.7, 1}, {-30, -30}}),
              "100 100 100 100 nan nan nan nan nan nan nan nan ");
    for (const auto& [width, height] : std::vector<std::array<std::uint32_t, 2>>{{2, 6}, {6, 2}, {1, 1}, {0, 0}})
        EXPECT_EQ(modelsAt(constantRaster(width, height), {{1, 1}, {1, 2}, {2, 1}, {0.6, 2.4}, {2.4, 0.6}}),
                  "nan nan nan nan nan ") << width << " x " << height;
}

// No data among the eight neighbours, or fewer cells than the size says, leave no value; the centre cell is never used.
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
    raster.cells.resize(10);
    EXPECT_EQ(modelsAt(raster, {{2, 2}}), "nan ");
}

// 2^32 + 2 columns away would wrap onto column 2 in 32-bit arithmetic.
TEST(ModelElevation, FarAwayOrDegenerateGeoreferenceGivesNoValueWithoutOverflow) {
    elevationRaster raster = constantRaster(5, 5, 50.0f);
    std::vector<molaPoint> far;
    for (double v : {1.0e300, -3.0e9, 2147483747.5, 4294967398.0, infinity, -infinity, notANumber})
        far.insert(far.end(), {{0, v, 198.0, 0.0}, {0, 102.0, v, 0.0}});
    for (const double model : sampleModel(raster, far, 0, 0, 0)) EXPECT_TRUE(std::isnan(model));
    raster.transform = {100.0, 0.0, 0.0, 200.0, 0.0, 0.0};
    EXPECT_EQ(modelsAt(raster, {{2, 2}}), "nan ");
}

// Cells 1000 + c / 2 - r / 4 are exact in float32: the model gives that plane between nodes too, at any coordinates.
TEST(ModelElevation, PlaneRasterIsReproducedExactlyAtRealCoordinates) {
    for (const geoTransform& at : std::vector<geoTransform>{{179.93, 0.9e-5, 0.3e-5, 20.41, 0.35e-5, -0.95e-5},
                                                                   {-2.3e6, 20.0, 0.0, 1.7e6, 0.0, 20.0}}) {
        const elevationRaster raster = makeRaster(120, 120, at, [](int c, int r) { return 1e3 + c / 2.0 - r / 4.0; });
        EXPECT_EQ(modelsAt(raster, {{0.6, 0.6}, {3.3, 117.9}, {61.45, 40.55}, {118.4, 118.4}}),
                  "1000.15 972.175 1020.5875 1029.6 ") << at[0];
    }
}

// Errors +3 and -3 (0 and -6 raised by 3): a weight of 0 adds nothing but counts; nothing to count gives NaN.
TEST(PointErrors, RmsDividesByPointsWithAModelElevationNotByWeights) {
    const elevationRaster raster = constantRaster(6, 6);
    const std::vector<molaPoint> points{{0, 102.0, 198.0, 103.0}, {1, 103.0, 197.0, 97.0}, {1, -500.0, 197.0, 1000.0}};
    const trackWeightList ones{1.0, 1.0}, secondSilenced{1.0, 0.0}, oneWeight{1.0};
    std::vector<double> results;
    for (const rmsResult& result :
         {rmsAndMean(raster, points, &ones, 0, 0, 0), rmsAndMean(raster, points, nullptr, 0, 0, 0),
          rmsAndMean(raster, points, &secondSilenced, 0, 0, 0), rmsAndMean(raster, points, &ones, 0, 0, 3),
          rmsAndMean(raster, {}, nullptr, 0, 0, 0), rmsAndMean(raster, {points[2]}, nullptr, 0, 0, 0)})
        results.insert(results.end(), {result.rms, result.mean});
    EXPECT_EQ(textOf(results), textOf({3, 0, 3, 0, std::sqrt(4.5), 1.5, std::sqrt(18.0), -3, notANumber, notANumber,
                                       notANumber, notANumber}));
    // A track without a weight counts in full; nothing is read past the weights.
    const std::vector<molaPoint> beyond{{1, 102.0, 198.0, 1.0}, {-1, 102.0, 198.0, 5.0}};
    EXPECT_EQ(rmsAndMean(raster, beyond, &oneWeight, 0, 0, 0).mean, rmsAndMean(raster, beyond, nullptr, 0, 0, 0).mean);
}

// Longitudes wrap by one step; the projection uses twice the polar radius of Mars, and per hemisphere its formulas
// (the equator takes the northern ones).
TEST(PointConversions, LongitudesWrapByOneStepAndPolarStereographicUsesTheMarsPolarSphere) {
    runState read;
    read.molaPoints = {{0, 350, 10, 1},   {0, 540, -190, 2}, {0, -190, 200, 3},
                       {0, 180, -180, 4}, {0, 900, 0, 5},    {0, 180.5, -180.5, 6}};
    alignmentModel wrapped(kalvex::testing::discardedConsole(), read);
    wrapped.wrapLongitudes();
    EXPECT_EQ(pointsText(wrapped.state().molaPoints),
              "-10 10 1 180 170 2 170 -160 3 180 -180 4 540 0 5 -179.5 179.5 6 ");
    read.molaPoints = {{0, 0, 90, 1}, {0, 90, 0, 2}, {0, 0, -90, 3}, {0, 45, 60, 4},
                       {0, -45, -60, 5}, {0, -120, 75, 6}, {0, 30, 0, 7}};
    alignmentModel polar(kalvex::testing::discardedConsole(), read);
    polar.toPolarStereographic();
    EXPECT_EQ(pointsText(polar.state().molaPoints), "0 0 1 6752400 0 2 0 0 3 1279368.389 -1279368.389 4 -1279368.389 "
                                                    "1279368.389 5 -769870.884 444485.162 6 3376200 -5847749.937 7 ");
}

}  // namespace
}  // namespace kalvex
