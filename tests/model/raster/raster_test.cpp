// Reading the GeoTIFF: block layouts, no-data cells, refusals with one message, corners and the moved top left.
#include <gtest/gtest.h>

#include <cfloat>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "model/evaluation/pointError.h"
#include "model/raster/rasterExtent.h"
#include "output/alignedRaster.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::geoTiffLayout;
const std::string topLeftWarning = "Warning: The Top Left corner of the raster is at (0,0).\n";
const std::string unknownType = "Raster of unknown type, must be GDT_Float32\n";

std::string readInto(alignmentModel& model, const std::string& path, double noDataThreshold = -32767.0) {
    std::ostringstream capture;
    model.useConsole(capture);
    const bool read = model.readRaster(path, noDataThreshold);
    return (read ? "read|" : "refused|") + capture.str();
}

std::string cellsText(const std::vector<float>& cells) { return testing::textOf({cells.begin(), cells.end()}); }

// Cell (c, r) = c + 1000 r unless given, origin (250, 500), cells of 2 by 2.
geoTiffLayout patternSpec(int width, int height, const std::vector<std::string>& options = {},
                          const std::vector<float>& cells = {}, double declaredNoData = notANumber) {
    geoTiffLayout layout{width, height, {250.0, 2.0, 0.0, 500.0, 0.0, -2.0}, cells, options};
    for (int i = 0; cells.empty() && i < width * height; ++i)
        layout.cells.push_back(float(i % width + 1000 * (i / width)));
    layout.hasNoData = !std::isnan(declaredNoData);
    layout.noDataValue = declaredNoData;
    return layout;
}

class RasterRead : public ::testing::Test {
protected:
    testing::scratchFolder folder{"raster_read"};
    std::string write(const geoTiffLayout& layout, const std::string& name = "raster.tif") {
        testing::writeGeoTiff(folder.file(name), layout);
        return folder.file(name);
    }
};

// Every block layout gives the cells as written: a partial last strip, partial edge tiles, a tile larger than the
// raster. The threshold is inclusive, a NaN one masks nothing; a declared no-data value is masked whatever the
// threshold, also when declared as 3.4028235e+38, a hair above the largest float.
TEST_F(RasterRead, CellsOfEveryBlockLayoutWithNoDataAsNan) {
    const float lowest = -3.4e38f;
    struct row { geoTiffLayout layout; double threshold; std::string expected; };
    for (const row& test : std::vector<row>{
             {patternSpec(7, 5, {"BLOCKYSIZE=2"}), -32767.0, ""},
             {patternSpec(37, 21, {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16"}), -32767.0, ""},
             {patternSpec(5, 3, {"TILED=YES", "BLOCKXSIZE=32", "BLOCKYSIZE=32"}), -32767.0, ""},
             {patternSpec(5, 1, {}, {-32767.0f, -32766.5f, -40000.0f, lowest, 5.0f}), -32767.0,
              "nan -32766.5 nan nan 5 "},
             {patternSpec(4, 1, {}, {-9999.0f, -9999.5f, 12.0f, -9999.0f}, -9999.0), -32767.0, "nan -9999.5 12 nan "},
             {patternSpec(2, 1, {}, {FLT_MAX, -1.5f}, 3.4028235e38), -32767.0, "nan -1.5 "},
             {patternSpec(2, 1, {}, {FLT_MAX, -FLT_MAX}, 1e300), notANumber, "3.402823466e+38 -3.402823466e+38 "},
             {patternSpec(2, 1, {}, {-9999.0f, -32767.0f}, -9999.0), notANumber, "nan -32767 "}}) {
        alignmentModel model(kalvex::testing::discardedConsole());
        EXPECT_EQ(readInto(model, write(test.layout), test.threshold), "read|");
        const elevationRaster& raster = model.state().raster;
        EXPECT_EQ(raster.width * 100 + raster.height, test.layout.width * 100u + test.layout.height);
        EXPECT_EQ(raster.gdalTransform().coefficients, test.layout.transform);
        EXPECT_EQ(cellsText(raster.cells), test.expected.empty() ? cellsText(test.layout.cells) : test.expected);
    }
}

// Stored values become elevations through the band's scale and offset, after the no-data code was tested on them;
// the aligned raster holds the elevations, with a no-data value of its own.
TEST_F(RasterRead, ScaleAndOffsetMakeElevationsOfTheStoredValues) {
    geoTiffLayout layout = patternSpec(3, 1, {}, {-32768.0f, 100.0f, 4000.0f});
    layout.scale = 0.5;
    layout.offset = -4000.0;
    alignmentModel model(kalvex::testing::discardedConsole());
    EXPECT_EQ(readInto(model, write(layout)), "read|");
    EXPECT_EQ(cellsText(model.state().raster.cells), "nan -3950 -2000 ");
    ASSERT_TRUE(writeAlignedRaster(model.state().raster, folder.file("aligned.tif")));
    alignmentModel aligned(kalvex::testing::discardedConsole());
    EXPECT_EQ(readInto(aligned, folder.file("aligned.tif"), notANumber), "read|");
    EXPECT_EQ(cellsText(aligned.state().raster.cells), "nan -3950 -2000 ");
    EXPECT_FALSE(model.state().raster.semiMajorAxis);  // no spatial reference
}

// A cell's value stands at the cell's centre, half a cell from the corner GDAL's georeference gives: a plane sampled
// at the centres is matched everywhere between them, also on a turned grid, and -tl moves the corner. With -corner
// the values stand at the corners, half a cell off the plane.
TEST_F(RasterRead, ValuesStandAtTheCellCentres) {
    const geoTransform gdal{{10.0, 2.0, 0.5, 30.0, -0.25, -2.0}};
    const auto plane = [](double x, double y) { return 3.0 * x - 2.0 * y + 7.0; };
    geoTiffLayout layout{9, 7, gdal.coefficients, {}, {}};
    for (int i = 0; i < 9 * 7; ++i)
        layout.cells.push_back(float(plane(gdal.mapX(i % 9 + 0.5, i / 9 + 0.5), gdal.mapY(i % 9 + 0.5, i / 9 + 0.5))));
    const std::string path = write(layout);
    std::vector<molaPoint> shots;
    for (const double at : {1.5, 2.0, 3.25, 4.9}) {
        const mapPosition where = gdal.mapOf(at + 0.5, at);
        shots.push_back(molaPoint{0, where.x, where.y, plane(where.x, where.y)});
    }
    for (const bool corners : {false, true}) {
        alignmentModel model(kalvex::testing::discardedConsole());
        model.useRunSettings(false, 1, corners);
        ASSERT_EQ(readInto(model, path), "read|");
        const std::vector<double> elevations = sampleModel(model.state().raster, shots, 0.0, 0.0, 0.0);
        for (std::size_t i = 0; i < shots.size(); ++i) {
            const double error = shots[i].elevation - elevations[i];
            EXPECT_TRUE(corners ? std::fabs(error) > 1.0 : std::fabs(error) < 1e-5) << corners << " " << error;
        }
        model.setTopLeft(100.0, 200.0);
        const geoTransform moved = model.state().raster.gdalTransform();
        EXPECT_EQ(testing::textOf({moved[0], moved[3], model.state().corners[0].x, model.state().corners[0].y}),
                  testing::textOf({100.0, 200.0, corners ? 100.0 : 101.25, corners ? 200.0 : 198.875}));
    }
}

// Whole numbers and doubles are elevations too, scaled and offset like float32 cells. A whole number marks no data
// only as declared (the threshold is no code among numbers that may be scaled), and the special pixels of an ISIS
// cube hold none; doubles keep the threshold.
TEST_F(RasterRead, CellsOfEveryTypeAndFormat) {
    struct row { const char* name; const char* driver; const char* type; double noData, scale; std::string expected; };
    for (const row& test : std::vector<row>{{"int16.tif", "GTiff", "Int16", -32768.0, 0.5, "nan -16383.5 -16376 6 "},
                                            {"float64.tif", "GTiff", "Float64", -32752.0, 1.0, "nan nan nan 12 "},
                                            {"cube.cub", "ISIS3", "Int16", -32768.0, 1.0, "nan nan -32752 12 "}}) {
        geoTiffLayout layout = patternSpec(4, 1, {}, {-32768.0f, -32767.0f, -32752.0f, 12.0f}, test.noData);
        layout.driver = test.driver;
        layout.cellType = test.type;
        layout.scale = test.scale;
        alignmentModel model(kalvex::testing::discardedConsole());
        EXPECT_EQ(readInto(model, write(layout, test.name)).substr(0, 5), "read|") << test.name;
        EXPECT_EQ(cellsText(model.state().raster.cells), test.expected) << test.name;
    }
    // A PDS3 image whose label lies beside it.
    const float cells[] = {1.5f, -2.0f};
    std::ofstream(folder.file("image.img"), std::ios::binary).write(reinterpret_cast<const char*>(cells), sizeof cells);
    testing::writeTextFile(folder.file("image.lbl"),
                           "PDS_VERSION_ID = PDS3\nRECORD_TYPE = FIXED_LENGTH\nRECORD_BYTES = 8\nFILE_RECORDS = 1\n"
                           "^IMAGE = \"image.img\"\nOBJECT = IMAGE\nLINES = 1\nLINE_SAMPLES = 2\n"
                           "SAMPLE_TYPE = PC_REAL\nSAMPLE_BITS = 32\nEND_OBJECT = IMAGE\nEND\n");
    alignmentModel model(kalvex::testing::discardedConsole());
    EXPECT_EQ(readInto(model, folder.file("image.img")).substr(0, 5), "read|");
    EXPECT_EQ(cellsText(model.state().raster.cells), "1.5 -2 ");
}

// Corner records are printed with the console's six significant digits.
TEST_F(RasterRead, DebugPrintsTheCornersAndSetTopLeftMovesThemUntilTracksAreHeld) {
    const std::string path = write({2, 3, {137.123456789, 0.001, 0.0005, -4.5678912345, 0.00025, -0.001},
                                    {-2345.678f, 1.0f, 2.0f, 3.0f, 4.0f, -32767.0f}, {}});
    alignmentModel model(kalvex::testing::discardedConsole());
    model.useRunSettings(true, 1, true);  // the corners as GDAL's georeference gives them
    EXPECT_EQ(readInto(model, path), "read|Begin Reading .tif\nDone Reading .tif\n"
                                     "Top Left: 0:137.123:-4.56789:-2345.68\n"
                                     "Top Right: 0:137.124:-4.56764:1\nBottom Left: 0:137.124:-4.56989:4\n"
                                     "Bottom Right: 0:137.125:-4.56964:nan\n");
    model.setTopLeft(10.0, 20.0);
    EXPECT_EQ(model.state().raster.transform, (geoTransform{10.0, 0.001, 0.0005, 20.0, 0.00025, -0.001}));
    const auto& corners = model.state().corners;
    EXPECT_EQ(std::vector<double>({corners[0].x, corners[0].y, corners[3].x, corners[3].y}),
              std::vector<double>({10.0, 20.0, 10.0 + 0.001 + 2 * 0.0005, 20.0 + 0.00025 - 2 * 0.001}));
    // Once tracks are held, the corners stay as read.
    runState tracked = model.state();
    tracked.molaPoints.push_back(molaPoint{0, 250.0, 250.0, 1.0});
    tracked.notReady = false;
    alignmentModel ready(testing::discardedConsole(), tracked);
    ready.setTopLeft(30.0, 40.0);
    const elevationRaster& raster = ready.state().raster;
    EXPECT_EQ(raster.transform[0] + ready.state().corners[0].x, 40.0);
    EXPECT_EQ(cellsText({float(raster.cornerAt(-1, -1).z), float(raster.cornerAt(2, 0).z)}), "nan nan ");
}

// Broken, foreign and oversized files are refused with one message, nothing on standard error.
TEST_F(RasterRead, EachReadPrintsItsOneMessage) {
    auto cut = [this](const std::string& name, std::uintmax_t rows) {  // the last rows of 256 bytes go
        const std::string path = write(patternSpec(64, 64, {"BLOCKYSIZE=8"}), name);
        std::filesystem::resize_file(path, std::filesystem::file_size(path) - rows * 256);
        return path;
    };
    auto withOrigin = [this](const std::string& name, double x, double y, const char* type = "Float32") {
        return write({5, 4, {x, 1.0, 0.0, y, 0.0, -1.0}, {}, {}, type}, name);
    };
    testing::writeTextFile(folder.file("notes.tif"), "this is not a raster\n");
    testing::writeTextFile(folder.file("notes.cub"), "this is not a cube either\n");
    // A sparse file declaring 10^12 cells without storing any of them, nor a georeference.
    write({1000000, 1000000, {0, 1, 0, 0, 0, 1}, {},
           {"TILED=YES", "BLOCKXSIZE=8192", "BLOCKYSIZE=8192", "SPARSE_OK=YES", "BIGTIFF=YES"}, "Float32", false, 0,
           true},
          "huge.tif");
    const std::string cellsError = "refused|Error: Could not read the cells of the .tif\n";
    for (const auto& [path, console] : std::vector<std::pair<std::string, std::string>>{
             {"", "refused|"},
             {withOrigin("x0.tif", 0.0, 250.0), "read|" + topLeftWarning},
             {withOrigin("y0.tif", 250.0, 0.0), "read|" + topLeftWarning},
             {"dem.TIF", "refused|Can only read .tif file not .TIF\n"},
             {"ab", "refused|Can only read .tif file not ab\n"},
             {folder.file("notes.tif"), "refused|Not a valid tif file\n"},
             {folder.file("notes.cub"), "refused|Not a valid cub file\n"},
             {withOrigin("complex.tif", 100.0, 250.0, "CFloat32"), "refused|" + unknownType},
             {withOrigin("complexorigin.tif", 0.0, 250.0, "CInt16"), "refused|" + topLeftWarning + unknownType},
             // The directory comes first and the strips follow: cutting loses the last strips.
             {cut("half.tif", 32), cellsError},
             {cut("short.tif", 4), cellsError},
             {folder.file("huge.tif"),
              "refused|" + topLeftWarning +
                  "Error: .tif is too big, only allocated about 0 Megabytes, which is about 0% of the .tif\n"}}) {
        alignmentModel model(kalvex::testing::discardedConsole());
        ::testing::internal::CaptureStderr();  // the descriptor itself: GDAL's own messages too
        EXPECT_EQ(readInto(model, path), console) << path;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(model.state().raster.loaded, console.rfind("read|", 0) == 0);
    }
}

// A tie point lies on the raster from its first node to its last, edges included.
TEST(RasterExtent, ATiePointLiesOnTheRasterFromItsFirstNodeToItsLast) {
    elevationRaster raster;
    raster.width = 4;
    raster.height = 3;
    raster.transform = {250.0, 2.0, 0.0, 500.0, 0.0, -2.0};
    for (const auto& [x, y, onRaster] : {std::tuple{250.0, 497.0, true}, std::tuple{256.0, 500.0, true},
                                         std::tuple{253.0, 496.0, true}, std::tuple{249.9, 497.0, false},
                                         std::tuple{256.1, 497.0, false}, std::tuple{253.0, 500.1, false},
                                         std::tuple{253.0, 495.9, false}})
        EXPECT_EQ(liesOnRaster(raster, x, y), onRaster) << x << " " << y;
}

// A shot's longitude moves by whole turns, up to two either way, to lie on a raster in degrees or nearest it; a raster
// in metres keeps its shots where they are.
TEST(RasterExtent, ShotsMoveByWholeTurnsOntoARasterInDegrees) {
    struct turnCase { double west, east, x, placed; };
    for (const turnCase& c : {turnCase{0.0, 360.0, -10.0, 350.0}, {0.0, 360.0, -370.0, 350.0}, {0.0, 360.0, 370.0, 10.0},
                              {0.0, 360.0, 730.0, 10.0}, {0.0, 360.0, 10.0, 10.0}, {-180.0, 180.0, 350.0, -10.0},
                              {100.0, 120.0, -300.0, 60.0}, {100.0, 120.0, 480.0, 120.0},
                              {1000.0, 5000.0, 640.0, 640.0}}) {
        elevationRaster raster;
        raster.width = 3;
        raster.height = 3;
        raster.transform = {c.west, 0.5 * (c.east - c.west), 0.0, 10.0, 0.0, -1.0};
        const std::vector<molaPoint> placed = placedOnRasterLongitudes({{0, c.x, 9.0, 0.0}}, raster);
        EXPECT_EQ(placed[0].x, c.placed) << c.west << " " << c.east << " " << c.x;
    }
}

// Corners read as degrees up to longitudes of +-540 and latitudes of +-90, those included (a global raster's nodes
// reach a pole). Tie points read as radians only when every one lies on the raster so and none as read; 29.9 degrees
// as radians lies on it by the exact factor only.
TEST(RasterExtent, CornersReadAsDegreesUpToTheirEdgesAndTiePointsAsRadiansOnlyAllTogether) {
    struct extentCase { double west, east, south, north; bool degrees; };
    for (const extentCase& c : {extentCase{-540.0, 540.0, -90.0, 90.0, true}, {-541.0, 0.0, 0.0, 1.0, false},
                                {0.0, 541.0, 0.0, 1.0, false}, {0.0, 1.0, -90.5, 0.0, false},
                                {0.0, 1.0, 0.0, 90.5, false}}) {
        elevationRaster raster;
        raster.width = raster.height = 2;
        raster.transform = {c.west, c.east - c.west, 0.0, c.north, 0.0, c.south - c.north};
        EXPECT_EQ(looksLikeDegrees(raster), c.degrees) << c.west << " " << c.east << " " << c.south << " " << c.north;
    }
    elevationRaster raster;  // 20 to 30 degrees on both axes
    raster.width = raster.height = 2;
    raster.transform = {20.0, 10.0, 0.0, 30.0, 0.0, -10.0};
    const tiePoint nearEdge{0, 29.9 * pi / 180.0, 25.0 * pi / 180.0, 0.0}, onAsRead{1, 25.0, 25.0, 0.0},
        offBoth{2, 0.1, 0.1, 0.0};
    EXPECT_TRUE(holdsOnlyAsRadians(raster, {nearEdge}));
    EXPECT_FALSE(holdsOnlyAsRadians(raster, {nearEdge, onAsRead}));
    EXPECT_FALSE(holdsOnlyAsRadians(raster, {nearEdge, offBoth}));
}

}  // namespace
}  // namespace kalvex
