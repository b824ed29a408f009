#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "model/alignmentModel.h"
#include "model/elevationRaster.h"
#include "model/quietGdal.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::consoleCapture;
using testing::geoTiffLayout;
using testing::scratchFolder;
using testing::writeGeoTiff;

const double threshold = -32767.0;
const float nan = std::numeric_limits<float>::quiet_NaN();
const std::string topLeftWarning = "Warning: The Top Left corner of the raster is at (0,0).\n";
const std::string unknownType = "Raster of unknown type, must be GDT_Float32\n";

struct readResult {
    bool ok = false;
    std::string console;
};

readResult readInto(alignmentModel& model, const std::string& path, double noDataThreshold = threshold) {
    consoleCapture capture;
    const bool ok = model.readRaster(path, noDataThreshold);
    return {ok, capture.text()};
}

// The whole band as GDAL decodes it in one request, independent of blocks.
std::vector<float> cellsThroughGdal(const std::string& path) {
    silenceGdalMessages();
    GDALAllRegister();
    GDALDataset* dataset = GDALDataset::FromHandle(GDALOpen(path.c_str(), GA_ReadOnly));
    if (dataset == nullptr) return {};
    GDALRasterBand* band = dataset->GetRasterBand(1);
    const int width = band->GetXSize(), height = band->GetYSize();
    std::vector<float> cells(std::size_t(width) * height);
    if (band->RasterIO(GF_Read, 0, 0, width, height, cells.data(), width, height, GDT_Float32, 0, 0) != CE_None)
        cells.clear();
    GDALClose(GDALDataset::ToHandle(dataset));
    return cells;
}

std::size_t nanCount(const std::vector<float>& cells) {
    return std::size_t(std::count_if(cells.begin(), cells.end(), [](float cell) { return std::isnan(cell); }));
}

// Equal cell for cell, NaN matching NaN.
void expectSameCells(const std::vector<float>& expected, const std::vector<float>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const bool same = (std::isnan(expected[i]) && std::isnan(actual[i])) || expected[i] == actual[i];
        if (!same && ++mismatches <= 5) ADD_FAILURE() << "cell " << i << ": " << expected[i] << " vs " << actual[i];
    }
    EXPECT_EQ(mismatches, 0u);
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
    scratchFolder folder{"raster_read"};
    std::string write(const geoTiffLayout& layout, const std::string& name = "raster.tif") {
        writeGeoTiff(folder.file(name), layout);
        return folder.file(name);
    }
};

TEST_F(RasterRead, EveryBlockLayoutGivesTheSameCellsSilently) {
    struct layout { int width, height; bool tiled; int blockWidth, blockHeight; };
    const std::vector<layout> layouts{
        {7, 5, false, 0, 2},      // partial last strip
        {9, 4, false, 0, 0},      // one row per strip
        {37, 21, true, 16, 16},   // partial edge tiles
        {32, 16, true, 16, 16},   // exact multiple of the tile size
        {5, 3, true, 32, 32},     // one tile larger than the raster
        {1, 1, false, 0, 0}};
    for (const layout& row : layouts) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height) + " block " +
                     std::to_string(row.blockWidth) + "x" + std::to_string(row.blockHeight));
        geoTiffLayout layout = patternSpec(row.width, row.height);
        layout.tiled = row.tiled;
        layout.blockWidth = row.blockWidth;
        layout.blockHeight = row.blockHeight;
        alignmentModel model;
        const readResult result = readInto(model, write(layout));
        ASSERT_TRUE(result.ok) << result.console;
        EXPECT_EQ(result.console, "");
        EXPECT_TRUE(model.raster.loaded);
        EXPECT_EQ(model.raster.width, std::uint32_t(row.width));
        EXPECT_EQ(model.raster.height, std::uint32_t(row.height));
        EXPECT_EQ(model.raster.transform, layout.transform);
        expectSameCells(layout.cells, model.raster.cells);
    }
}

TEST_F(RasterRead, ThresholdAndDeclaredNoDataBecomeNan) {
    struct noDataCase { std::vector<float> cells; bool declared; double declaredValue, threshold; std::vector<float> expected; };
    const double none = std::numeric_limits<double>::quiet_NaN();
    const std::vector<noDataCase> cases{
        // The threshold is inclusive; a NaN threshold masks nothing.
        {{-32767.0f, -32766.5f, -40000.0f, -3.4e38f, 5.0f, -32768.0f}, false, 0.0, threshold,
         {nan, -32766.5f, nan, nan, 5.0f, nan}},
        {{-32767.0f, -40000.0f}, false, 0.0, none, {-32767.0f, -40000.0f}},
        {{-9999.0f, -9999.5f, 12.0f, -9999.0f}, true, -9999.0, threshold, {nan, -9999.5f, 12.0f, nan}},
        {{3.4e38f, 100.0f, 3.4e38f}, true, double(3.4e38f), threshold, {nan, 100.0f, nan}},
        // Often declared as 3.4028235e+38, a hair above the largest float the cells hold.
        {{FLT_MAX, -1.5f}, true, 3.4028235e38, threshold, {nan, -1.5f}},
        {{FLT_MAX, -FLT_MAX}, true, 1e300, none, {FLT_MAX, -FLT_MAX}},
        {{-9999.0f, -32767.0f}, true, -9999.0, none, {nan, -32767.0f}}};
    for (std::size_t index = 0; index < cases.size(); ++index) {
        SCOPED_TRACE("case " + std::to_string(index));
        geoTiffLayout layout = patternSpec(int(cases[index].cells.size()), 1);
        layout.cells = cases[index].cells;
        layout.hasNoData = cases[index].declared;
        layout.noDataValue = cases[index].declaredValue;
        alignmentModel model;
        const readResult result = readInto(model, write(layout), cases[index].threshold);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.console, "");
        expectSameCells(cases[index].expected, model.raster.cells);
    }
    elevationRaster raster;
    raster.width = 4;
    raster.height = 1;
    raster.cells = {nan, -10.0f, -10.5f, 0.0f};
    raster.maskNoData(-10.0);
    expectSameCells({nan, nan, nan, 0.0f}, raster.cells);
}

TEST_F(RasterRead, TopLeftWarningWhenEitherOriginCoordinateIsZero) {
    for (const auto& [x, y, console] : std::vector<std::tuple<double, double, std::string>>{
             {0.0, 250.0, topLeftWarning}, {250.0, 0.0, topLeftWarning}, {250.0, 250.0, ""}}) {
        geoTiffLayout layout = patternSpec(3, 2);
        layout.transform = {x, 1.0, 0.0, y, 0.0, -1.0};
        alignmentModel model;
        const readResult result = readInto(model, write(layout));
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.console, console) << x << "," << y;
    }
}

TEST_F(RasterRead, CornersFollowTheGeotransformAndSetTopLeftMovesThem) {
    geoTiffLayout layout;  // 5 x 4, cell (c, r) = c + 10 r
    layout.transform = {100.0, 2.0, 0.5, 200.0, 0.25, -3.0};
    alignmentModel model;
    ASSERT_TRUE(readInto(model, write(layout)).ok);
    const std::vector<std::array<double, 3>> expected{
        {100.0, 200.0, 0.0}, {108.0, 201.0, 4.0}, {101.5, 191.0, 30.0}, {109.5, 192.0, 34.0}};
    for (std::size_t corner = 0; corner < 4; ++corner) {
        EXPECT_EQ(model.corners[corner].index, 0u) << corner;
        EXPECT_DOUBLE_EQ(model.corners[corner].x, expected[corner][0]) << corner;
        EXPECT_DOUBLE_EQ(model.corners[corner].y, expected[corner][1]) << corner;
        EXPECT_DOUBLE_EQ(model.corners[corner].z, expected[corner][2]) << corner;
    }
    EXPECT_TRUE(model.notReady);

    model.setTopLeft(10.0, 20.0);
    EXPECT_EQ(model.raster.transform, (geoTransform{10.0, 2.0, 0.5, 20.0, 0.25, -3.0}));
    EXPECT_EQ(model.corners[0].x, 10.0);
    EXPECT_EQ(model.corners[0].y, 20.0);
    EXPECT_EQ(model.corners[3].x, 19.5);
    EXPECT_EQ(model.corners[3].y, 12.0);
    EXPECT_EQ(model.corners[3].z, 34.0);

    // Once tracks are held, the corners stay as read; a read then leaves the model ready.
    model.molaPoints.push_back(molaPoint{0, 250.0, 250.0, 1.0});
    model.notReady = false;
    model.setTopLeft(30.0, 40.0);
    EXPECT_EQ(model.raster.transform[0], 30.0);
    EXPECT_EQ(model.corners[0].x, 10.0);
    ASSERT_TRUE(readInto(model, write(patternSpec(2, 1), "second.tif")).ok);
    EXPECT_FALSE(model.notReady);
    EXPECT_EQ(model.raster.width * 10 + model.raster.height, 21u);
    EXPECT_EQ(model.raster.cells, (std::vector<float>{0.0f, 1.0f}));

    const cornerRecord outside = model.raster.cornerAt(-1, -1);
    EXPECT_EQ(outside.x, 248.0);
    EXPECT_EQ(outside.y, 502.0);
    EXPECT_TRUE(std::isnan(outside.z));
}

TEST_F(RasterRead, DebugPrintsProgressAndCornersWithSixSignificantDigits) {
    alignmentModel model;
    model.debug = true;
    const readResult result = readInto(model, write(geoTiffLayout{}));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.console,
              "Begin Reading .tif\n"
              "Done Reading .tif\n"
              "Top Left: 0:100:200:0\n"
              "Top Right: 0:104:200:4\n"
              "Bottom Left: 0:100:197:30\n"
              "Bottom Right: 0:104:197:34\n");
    EXPECT_TRUE(model.raster.debug);

    geoTiffLayout layout;
    layout.width = layout.height = 2;
    layout.transform = {137.123456789, 0.001, 0.0, -4.5678912345, 0.0, -0.001};
    layout.cells = {-2345.678f, 1.0f, 2.0f, -32767.0f};
    const std::string digits = readInto(model, write(layout)).console;
    EXPECT_NE(digits.find("Top Left: 0:137.123:-4.56789:-2345.68\n"), std::string::npos) << digits;
    EXPECT_NE(digits.find("Bottom Right: 0:137.124:-4.56889:nan\n"), std::string::npos) << digits;
}

TEST_F(RasterRead, ALoadedRasterIsNotReadAgainAndResetClearsAllButDebug) {
    const std::string path = write(geoTiffLayout{});
    elevationRaster raster;
    raster.reset(path);
    {
        consoleCapture capture;
        ASSERT_TRUE(raster.read());
    }
    raster.cells[0] = 77.0f;
    std::filesystem::remove(path);
    {
        consoleCapture capture;
        EXPECT_TRUE(raster.read());
        EXPECT_EQ(raster.cells[0], 77.0f);
        EXPECT_EQ(capture.text(), "");
    }
    raster.debug = true;
    raster.reset("other.tif");
    EXPECT_EQ(raster.path, "other.tif");
    EXPECT_FALSE(raster.loaded);
    EXPECT_EQ(raster.width + raster.height, 0u);
    EXPECT_EQ(raster.transform, (geoTransform{0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(raster.cells.empty());
    EXPECT_TRUE(raster.debug);
}

// Broken, foreign and oversized files are refused with one message, nothing on standard error.
TEST_F(RasterRead, RefusalsPrintTheirMessageAndLeaveNothingLoaded) {
    const std::string cellsError = "Error: Could not read the cells of the .tif\n";
    auto cut = [this](const std::string& name, std::uintmax_t (*size)(std::uintmax_t)) {
        geoTiffLayout layout = patternSpec(64, 64);
        layout.blockHeight = 8;
        const std::string path = write(layout, name);
        std::filesystem::resize_file(path, size(std::filesystem::file_size(path)));
        return path;
    };
    auto int16 = [this](const std::string& name, double originX) {
        geoTiffLayout layout;
        layout.int16 = true;
        layout.transform[0] = originX;
        return write(layout, name);
    };
    testing::writeTextFile(folder.file("notes.tif"), "this is not a raster\n");
    testing::writeTextFile(folder.file("empty.tif"), "");
    // A sparse file declaring 10^12 cells without storing any of them.
    {
        silenceGdalMessages();
        GDALAllRegister();
        char** options = CSLSetNameValue(nullptr, "TILED", "YES");
        for (const char* option : {"BLOCKXSIZE=8192", "BLOCKYSIZE=8192", "SPARSE_OK=YES", "BIGTIFF=YES"})
            options = CSLAddString(options, option);
        GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            folder.file("huge.tif").c_str(), 1000000, 1000000, 1, GDT_Float32, options);
        CSLDestroy(options);
        ASSERT_NE(dataset, nullptr);
        std::array<double, 6> transform{10.0, 1.0, 0.0, 20.0, 0.0, -1.0};
        dataset->SetGeoTransform(transform.data());
        GDALClose(GDALDataset::ToHandle(dataset));
        ASSERT_LT(std::filesystem::file_size(folder.file("huge.tif")), 10u * 1024u * 1024u);
    }
    const std::vector<std::pair<std::string, std::string>> refusals{
        {"", ""},
        {write(geoTiffLayout{}, "dem.TIF"), "Can only read .tif file not .TIF\n"},
        {write(geoTiffLayout{}, "dem.tiff"), "Can only read .tif file not tiff\n"},
        {"dem.cub", "Can only read .tif file not .cub\n"},
        {"ab", "Can only read .tif file not ab\n"},
        {folder.file("notes.tif"), "Not a valid tif file\n"},
        {folder.file("missing.tif"), "Not a valid tif file\n"},
        {folder.file("empty.tif"), "Not a valid tif file\n"},
        {int16("int16.tif", 100.0), unknownType},
        {int16("int16origin.tif", 0.0), topLeftWarning + unknownType},
        // The directory comes first and the strips follow: halving loses the last strips.
        {cut("truncated.tif", [](std::uintmax_t size) { return size / 2; }), cellsError},
        {cut("short.tif", [](std::uintmax_t size) { return size - 4 * 64 * 4; }), cellsError},
        {folder.file("huge.tif"),
         "Error: .tif is too big, only allocated about 0 Megabytes, which is about 0% of the .tif\n"}};
    for (const auto& [path, console] : refusals) {
        SCOPED_TRACE(path);
        alignmentModel model;
        ::testing::internal::CaptureStderr();  // the descriptor itself: GDAL's own messages too
        const readResult result = readInto(model, path);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.console, console);
        EXPECT_FALSE(model.raster.loaded);
    }
    alignmentModel model;
    model.debug = true;
    EXPECT_EQ(readInto(model, "").console, "Begin Reading .tif\n");
}

TEST(RasterRealFiles, KeptWithTheTests) {
    const std::string folder = testing::testDataDir() + "/rasters/";
    alignmentModel model;
    readResult result = readInto(model, folder + "float32.tif");
    ASSERT_TRUE(result.ok) << result.console;
    EXPECT_EQ(result.console, topLeftWarning);
    EXPECT_EQ(model.raster.width * 10 + model.raster.height, 32u);
    EXPECT_EQ(model.raster.transform, (geoTransform{0, 100, 0, 0, 0, 100}));
    expectSameCells(cellsThroughGdal(folder + "float32.tif"), model.raster.cells);
    const auto [low, high] = std::minmax_element(model.raster.cells.begin(), model.raster.cells.end());
    EXPECT_NEAR(*low, -1.88, 0.01);
    EXPECT_NEAR(*high, 1.41, 0.01);

    result = readInto(model, folder + "float.tif");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.console, topLeftWarning + unknownType);

    // The declared float minimum becomes NaN.
    ASSERT_TRUE(readInto(model, folder + "float_raster_with_nodata.tif", notANumber).ok);
    EXPECT_EQ(model.raster.width * 100 + model.raster.height, 1312u);
    EXPECT_EQ(nanCount(model.raster.cells), 58u);
    for (float cell : model.raster.cells) EXPECT_TRUE(std::isnan(cell) || (cell >= 0.0f && cell <= 0.25f)) << cell;
}

TEST(RasterSharedFiles, RealFilesFromTheSharedCollection) {
    const std::string shared = testing::sharedDataDir() + "/";
    if (!std::filesystem::exists(shared)) GTEST_SKIP() << "no shared real data";
    struct sharedCase { std::string name; double threshold; std::uint32_t width, height; std::size_t nans; bool matchGdal; };
    const std::vector<sharedCase> cases{
        {"derived/Mawrth_Vallis_mola_lonlat180_float32.tif", threshold, 282, 333, 0, true},
        {"stereopipelinetest/clip1-DEM.tif", threshold, 3878, 1566, 6023917, true},  // compressed, partial tiles
        {"geotiff_test_data/wind_direction.tif", threshold, 232, 193, 12367, false},  // cells at the threshold
        {"geotiff_test_data/gfw-azores.tif", notANumber, 125, 40, 4599, false}};     // tile beyond the image
    for (const sharedCase& row : cases) {
        if (!std::filesystem::exists(shared + row.name)) continue;
        SCOPED_TRACE(row.name);
        alignmentModel model;
        const readResult result = readInto(model, shared + row.name, row.threshold);
        ASSERT_TRUE(result.ok) << result.console;
        EXPECT_EQ(model.raster.width, row.width);
        EXPECT_EQ(model.raster.height, row.height);
        EXPECT_EQ(nanCount(model.raster.cells), row.nans);
        if (!row.matchGdal) continue;
        std::vector<float> expected = cellsThroughGdal(shared + row.name);
        for (float& cell : expected)
            if (cell <= threshold) cell = nan;
        expectSameCells(expected, model.raster.cells);
        if (row.nans > 0) continue;  // the Mars DEM in degrees
        EXPECT_EQ(result.console, "");
        EXPECT_EQ(model.raster.transform, (geoTransform{-19.203125, 0.00390625, 0, 25.1015625, 0, -0.00390625}));
        const auto [low, high] = std::minmax_element(model.raster.cells.begin(), model.raster.cells.end());
        EXPECT_EQ(*low, -3565.0f);
        EXPECT_EQ(*high, -1955.0f);
    }

    const std::string habitat = shared + "geotiff_test_data/nz_habitat_anticross_4326_1deg.tif";
    alignmentModel model;
    if (std::filesystem::exists(habitat)) {  // declared -9999
        ASSERT_TRUE(readInto(model, habitat).ok);
        std::vector<float> raw = cellsThroughGdal(habitat);
        const std::size_t declared = std::size_t(std::count(raw.begin(), raw.end(), -9999.0f));
        EXPECT_GT(declared, 0u);
        EXPECT_EQ(nanCount(model.raster.cells), declared + nanCount(raw));
    }
    const std::string cog = shared + "geotiff_test_data/GA4886_VanderfordGlacier_2022_EGM2008_64m-epsg3031.cog";
    if (std::filesystem::exists(cog)) {  // declared float maximum, cloud-optimized
        scratchFolder folder("raster_shared_cog");
        std::filesystem::copy_file(cog, folder.file("vanderford.tif"));
        ASSERT_TRUE(readInto(model, folder.file("vanderford.tif")).ok);
        EXPECT_EQ(model.raster.width * 10000 + model.raster.height, 25811998u);
        EXPECT_GT(nanCount(model.raster.cells), 0u);
        float highest = -FLT_MAX;
        for (float cell : model.raster.cells)
            if (!std::isnan(cell)) highest = std::max(highest, cell);
        EXPECT_LT(highest, 0.0f);
    }
    const std::string tiff = shared + "georust_gdal/dem-hills.tiff";
    const std::string shaded = shared + "plio/Mars_MGS_MOLA_ClrShade_MAP2_0.0N0.0_MERC.tif";
    const std::string cube = shared + "socet_gxp_dev/Mawrth_Vallis_3413E_242N_mola.cub";
    if (std::filesystem::exists(tiff) && std::filesystem::exists(shaded) && std::filesystem::exists(cube)) {
        EXPECT_EQ(readInto(model, tiff).console, "Can only read .tif file not tiff\n");
        EXPECT_EQ(readInto(model, cube).console, "Can only read .tif file not .cub\n");
        EXPECT_EQ(readInto(model, shaded).console, topLeftWarning + unknownType);
    }
}

}  // namespace
}  // namespace kalvex
