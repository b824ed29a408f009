// Reading the GeoTIFF: block layouts, no-data cells, refusals with their one
// message, the corner records and the replaced top-left coordinate.
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <limits>

#include "model/alignmentModel.h"
#include "model/quietGdal.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::geoTiffLayout;
const float nan = std::numeric_limits<float>::quiet_NaN();
const std::string topLeftWarning = "Warning: The Top Left corner of the raster is at (0,0).\n";
const std::string unknownType = "Raster of unknown type, must be GDT_Float32\n";

std::string readInto(alignmentModel& model, const std::string& path, double noDataThreshold = -32767.0) {
    testing::consoleCapture capture;
    const bool read = model.readRaster(path, noDataThreshold);
    return (read ? "read|" : "refused|") + capture.text();
}

// Cells as text, so that NaN matches NaN.
std::string cellsText(const std::vector<float>& cells) {
    std::ostringstream text;
    for (const float cell : cells) text << cell << ' ';
    return text.str();
}

// Cell (c, r) = c + 1000 r, origin (250, 500), cells of 2 by 2.
geoTiffLayout patternSpec(int width, int height) {
    geoTiffLayout layout;
    layout.width = width;
    layout.height = height;
    layout.transform = {250.0, 2.0, 0.0, 500.0, 0.0, -2.0};
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) layout.cells.push_back(float(c + 1000 * r));
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

TEST_F(RasterRead, EveryBlockLayoutGivesTheSameCellsSilently) {
    struct row { int width, height; bool tiled; int blockWidth, blockHeight; };
    for (const row& test : std::vector<row>{{7, 5, false, 0, 2},      // partial last strip
                                            {37, 21, true, 16, 16},   // partial edge tiles
                                            {5, 3, true, 32, 32},     // one tile larger than the raster
                                            {1, 1, false, 0, 0}}) {
        geoTiffLayout layout = patternSpec(test.width, test.height);
        layout.tiled = test.tiled;
        layout.blockWidth = test.blockWidth;
        layout.blockHeight = test.blockHeight;
        alignmentModel model;
        EXPECT_EQ(readInto(model, write(layout)), "read|") << test.width;
        EXPECT_EQ(model.raster.width * 100 + model.raster.height, std::uint32_t(test.width * 100 + test.height));
        EXPECT_EQ(model.raster.transform, layout.transform);
        EXPECT_EQ(cellsText(model.raster.cells), cellsText(layout.cells));
    }
}

TEST_F(RasterRead, ThresholdAndDeclaredNoDataBecomeNan) {
    struct row { std::vector<float> cells; bool declared; double declaredValue, threshold; std::vector<float> expected; };
    const double none = notANumber;
    for (const row& test : std::vector<row>{
             // The threshold is inclusive; a NaN threshold masks nothing.
             {{-32767.0f, -32766.5f, -40000.0f, -3.4e38f, 5.0f}, false, 0.0, -32767.0, {nan, -32766.5f, nan, nan, 5.0f}},
             {{-32767.0f, -40000.0f}, false, 0.0, none, {-32767.0f, -40000.0f}},
             {{-9999.0f, -9999.5f, 12.0f, -9999.0f}, true, -9999.0, -32767.0, {nan, -9999.5f, 12.0f, nan}},
             {{3.4e38f, 100.0f}, true, double(3.4e38f), -32767.0, {nan, 100.0f}},
             // Often declared as 3.4028235e+38, a hair above the largest float the cells hold.
             {{FLT_MAX, -1.5f}, true, 3.4028235e38, -32767.0, {nan, -1.5f}},
             {{FLT_MAX, -FLT_MAX}, true, 1e300, none, {FLT_MAX, -FLT_MAX}},
             {{-9999.0f, -32767.0f}, true, -9999.0, none, {nan, -32767.0f}}}) {
        geoTiffLayout layout = patternSpec(int(test.cells.size()), 1);
        layout.cells = test.cells;
        layout.hasNoData = test.declared;
        layout.noDataValue = test.declaredValue;
        alignmentModel model;
        EXPECT_EQ(readInto(model, write(layout), test.threshold), "read|");
        EXPECT_EQ(cellsText(model.raster.cells), cellsText(test.expected)) << test.declaredValue;
    }
    elevationRaster raster;
    raster.cells = {nan, -10.0f, -10.5f, 0.0f};
    raster.maskNoData(-10.0);
    EXPECT_EQ(cellsText(raster.cells), "nan nan nan 0 ");
}

TEST_F(RasterRead, DebugPrintsTheCornersAndSetTopLeftMovesThemUntilTracksAreHeld) {
    geoTiffLayout layout;  // 5 x 4, cell (c, r) = c + 10 r
    layout.transform = {100.0, 2.0, 0.5, 200.0, 0.25, -3.0};
    alignmentModel model;
    model.debug = true;
    EXPECT_EQ(readInto(model, write(layout)),
              "read|Begin Reading .tif\nDone Reading .tif\nTop Left: 0:100:200:0\nTop Right: 0:108:201:4\n"
              "Bottom Left: 0:101.5:191:30\nBottom Right: 0:109.5:192:34\n");
    EXPECT_TRUE(model.raster.debug && model.notReady);
    model.setTopLeft(10.0, 20.0);
    EXPECT_EQ(model.raster.transform, (geoTransform{10.0, 2.0, 0.5, 20.0, 0.25, -3.0}));
    EXPECT_EQ(std::vector<double>({model.corners[0].x, model.corners[0].y, model.corners[3].x, model.corners[3].y,
                                   model.corners[3].z}),
              std::vector<double>({10.0, 20.0, 19.5, 12.0, 34.0}));

    // Once tracks are held, the corners stay as read; a read then leaves the model ready.
    model.molaPoints.push_back(molaPoint{0, 250.0, 250.0, 1.0});
    model.notReady = false;
    model.setTopLeft(30.0, 40.0);
    EXPECT_EQ(model.raster.transform[0], 30.0);
    EXPECT_EQ(model.corners[0].x, 10.0);
    layout.width = layout.height = 2;
    layout.transform = {137.123456789, 0.001, 0.0, -4.5678912345, 0.0, -0.001};
    layout.cells = {-2345.678f, 1.0f, 2.0f, -32767.0f};
    const std::string digits = readInto(model, write(layout, "digits.tif"));
    EXPECT_NE(digits.find("Top Left: 0:137.123:-4.56789:-2345.68\n"), std::string::npos) << digits;
    EXPECT_NE(digits.find("Bottom Right: 0:137.124:-4.56889:nan\n"), std::string::npos) << digits;
    EXPECT_FALSE(model.notReady);
    const cornerRecord outside = model.raster.cornerAt(-1, -1);
    EXPECT_EQ(cellsText({float(outside.x), float(outside.y), float(outside.z)}), "137.122 -4.56689 nan ");
}

TEST_F(RasterRead, ALoadedRasterIsNotReadAgainAndResetClearsAllButDebug) {
    const std::string path = write(geoTiffLayout{});
    elevationRaster raster;
    raster.reset(path);
    ASSERT_TRUE(raster.read());
    raster.cells[0] = 77.0f;
    std::filesystem::remove(path);
    EXPECT_TRUE(raster.read());
    EXPECT_EQ(raster.cells[0], 77.0f);
    raster.debug = true;
    raster.reset("other.tif");
    EXPECT_EQ(raster.path, "other.tif");
    EXPECT_FALSE(raster.loaded);
    EXPECT_EQ(raster.width + raster.height, 0u);
    EXPECT_EQ(raster.transform, (geoTransform{0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(raster.cells.empty() && raster.debug);
}

// Broken, foreign and oversized files are refused with one message, nothing on standard error.
TEST_F(RasterRead, EachReadPrintsItsOneMessage) {
    auto cut = [this](const std::string& name, std::uintmax_t rows) {  // of 256 bytes
        geoTiffLayout layout = patternSpec(64, 64);
        layout.blockHeight = 8;
        const std::string path = write(layout, name);
        std::filesystem::resize_file(path, std::filesystem::file_size(path) - rows * 256);
        return path;
    };
    auto withOrigin = [this](const std::string& name, double x, double y, bool int16) {
        geoTiffLayout layout;
        layout.transform = {x, 1.0, 0.0, y, 0.0, -1.0};
        layout.int16 = int16;
        return write(layout, name);
    };
    testing::writeTextFile(folder.file("notes.tif"), "this is not a raster\n");
    // A sparse file declaring 10^12 cells without storing any of them.
    silenceGdalMessages();
    GDALAllRegister();
    char** options = nullptr;
    for (const char* option : {"TILED=YES", "BLOCKXSIZE=8192", "BLOCKYSIZE=8192", "SPARSE_OK=YES", "BIGTIFF=YES"})
        options = CSLAddString(options, option);
    GDALClose(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(folder.file("huge.tif").c_str(), 1000000,
                                                                        1000000, 1, GDT_Float32, options));
    CSLDestroy(options);
    ASSERT_LT(std::filesystem::file_size(folder.file("huge.tif")), 10u * 1024u * 1024u);
    const std::string cellsError = "refused|Error: Could not read the cells of the .tif\n";
    for (const auto& [path, console] : std::vector<std::pair<std::string, std::string>>{
             {"", "refused|"},
             {withOrigin("x0.tif", 0.0, 250.0, false), "read|" + topLeftWarning},
             {withOrigin("y0.tif", 250.0, 0.0, false), "read|" + topLeftWarning},
             {write(geoTiffLayout{}, "dem.TIF"), "refused|Can only read .tif file not .TIF\n"},
             {write(geoTiffLayout{}, "dem.tiff"), "refused|Can only read .tif file not tiff\n"},
             {"ab", "refused|Can only read .tif file not ab\n"},
             {folder.file("notes.tif"), "refused|Not a valid tif file\n"},
             {folder.file("missing.tif"), "refused|Not a valid tif file\n"},
             {withOrigin("int16.tif", 100.0, 250.0, true), "refused|" + unknownType},
             {withOrigin("int16origin.tif", 0.0, 250.0, true), "refused|" + topLeftWarning + unknownType},
             // The directory comes first and the strips follow: cutting loses the last strips.
             {cut("half.tif", 32), cellsError},
             {cut("short.tif", 4), cellsError},
             {folder.file("huge.tif"),  // without a georeference
              "refused|" + topLeftWarning + "Error: .tif is too big, only allocated about 0 Megabytes, which is about 0% of the .tif\n"}}) {
        alignmentModel model;
        ::testing::internal::CaptureStderr();  // the descriptor itself: GDAL's own messages too
        EXPECT_EQ(readInto(model, path), console) << path;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(model.raster.loaded, console.rfind("read|", 0) == 0);
    }
    alignmentModel model;
    model.debug = true;
    EXPECT_EQ(readInto(model, ""), "refused|Begin Reading .tif\n");
}

TEST(RasterRealFiles, KeptWithTheTests) {
    const std::string folder = testing::testDataDir() + "/rasters/";
    alignmentModel model;
    EXPECT_EQ(readInto(model, folder + "float32.tif"), "read|" + topLeftWarning);
    EXPECT_EQ(model.raster.transform, (geoTransform{0, 100, 0, 0, 0, 100}));
    EXPECT_EQ(cellsText(model.raster.cells), "1.41 1.23 0.78 0.32 -0.23 -1.88 ");
    EXPECT_EQ(readInto(model, folder + "float.tif"), "refused|" + topLeftWarning + unknownType);
    // The declared float minimum becomes NaN.
    EXPECT_EQ(readInto(model, folder + "float_raster_with_nodata.tif", notANumber), "read|");
    EXPECT_EQ(model.raster.width * 100 + model.raster.height, 1312u);
    EXPECT_EQ(std::count_if(model.raster.cells.begin(), model.raster.cells.end(), [](float cell) { return std::isnan(cell); }), 58);
}

}  // namespace
}  // namespace kalvex
