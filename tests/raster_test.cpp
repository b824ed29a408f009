#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "model/alignmentModel.h"
#include "model/elevationRaster.h"
#include "model/quietGdal.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::consoleCapture;
using testing::geoTiffSpec;
using testing::scratchFolder;
using testing::writeGeoTiff;

const double threshold = -32767.0;

// Redirects the process's standard error into a file while alive, so a
// test can prove that nothing (not even GDAL) wrote there.
class standardErrorCapture {
public:
    explicit standardErrorCapture(const std::string& path) : file(path) {
        std::fflush(stderr);
        saved = ::dup(2);
        std::FILE* target = std::fopen(path.c_str(), "w");
        if (target != nullptr) {
            ::dup2(::fileno(target), 2);
            std::fclose(target);
        }
    }
    ~standardErrorCapture() { restore(); }
    standardErrorCapture(const standardErrorCapture&) = delete;
    standardErrorCapture& operator=(const standardErrorCapture&) = delete;
    std::string text() {
        restore();
        return testing::readTextFile(file);
    }

private:
    void restore() {
        if (saved < 0) return;
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        saved = -1;
    }
    std::string file;
    int saved = -1;
};

struct readResult {
    bool ok = false;
    std::string console;
};

readResult readInto(alignmentModel& model, const std::string& path, double noDataThreshold = threshold) {
    consoleCapture capture;
    readResult result;
    result.ok = model.readRaster(path, noDataThreshold);
    result.console = capture.text();
    return result;
}

// The whole band as GDAL decodes it in one request, independent of blocks.
std::vector<float> cellsThroughGdal(const std::string& path) {
    silenceGdalMessages();
    GDALAllRegister();
    GDALDataset* dataset = GDALDataset::FromHandle(GDALOpen(path.c_str(), GA_ReadOnly));
    if (dataset == nullptr) return {};
    GDALRasterBand* band = dataset->GetRasterBand(1);
    const int width = band->GetXSize();
    const int height = band->GetYSize();
    std::vector<float> cells(std::size_t(width) * height);
    if (band->RasterIO(GF_Read, 0, 0, width, height, cells.data(), width, height, GDT_Float32, 0, 0) != CE_None)
        cells.clear();
    GDALClose(GDALDataset::ToHandle(dataset));
    return cells;
}

std::size_t nanCount(const std::vector<float>& cells) {
    std::size_t count = 0;
    for (float cell : cells) count += std::isnan(cell) ? 1 : 0;
    return count;
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

geoTiffSpec patternSpec(int width, int height) {
    geoTiffSpec spec;
    spec.width = width;
    spec.height = height;
    spec.transform = {250.0, 2.0, 0.0, 500.0, 0.0, -2.0};
    spec.cells.resize(std::size_t(width) * height);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) spec.cells[std::size_t(r) * width + c] = float(c + 1000 * r);
    return spec;
}

// ---------------------------------------------------------------- block reading

class RasterBlocks : public ::testing::Test {
protected:
    scratchFolder folder{"raster_blocks"};

    void expectPatternRead(const geoTiffSpec& spec) {
        const std::string path = folder.file("pattern.tif");
        writeGeoTiff(path, spec);
        alignmentModel model;
        const readResult result = readInto(model, path);
        ASSERT_TRUE(result.ok) << result.console;
        EXPECT_EQ(result.console, "");
        EXPECT_TRUE(model.raster.loaded);
        EXPECT_EQ(model.raster.width, std::uint32_t(spec.width));
        EXPECT_EQ(model.raster.height, std::uint32_t(spec.height));
        EXPECT_EQ(model.raster.transform, spec.transform);
        expectSameCells(spec.cells, model.raster.cells);
    }
};

TEST_F(RasterBlocks, StripedWithPartialLastStrip) {
    geoTiffSpec spec = patternSpec(7, 5);
    spec.blockHeight = 2;
    expectPatternRead(spec);
}

TEST_F(RasterBlocks, StripedOneRowPerStrip) { expectPatternRead(patternSpec(9, 4)); }

TEST_F(RasterBlocks, TiledWithPartialEdgeTiles) {
    geoTiffSpec spec = patternSpec(37, 21);
    spec.tiled = true;
    spec.blockWidth = 16;
    spec.blockHeight = 16;
    expectPatternRead(spec);
}

TEST_F(RasterBlocks, TiledExactMultipleOfTileSize) {
    geoTiffSpec spec = patternSpec(32, 16);
    spec.tiled = true;
    spec.blockWidth = 16;
    spec.blockHeight = 16;
    expectPatternRead(spec);
}

TEST_F(RasterBlocks, OneTileLargerThanTheRaster) {
    geoTiffSpec spec = patternSpec(5, 3);
    spec.tiled = true;
    spec.blockWidth = 32;
    spec.blockHeight = 32;
    expectPatternRead(spec);
}

TEST_F(RasterBlocks, SingleCell) { expectPatternRead(patternSpec(1, 1)); }

// ---------------------------------------------------------------- no-data

class RasterNoData : public ::testing::Test {
protected:
    scratchFolder folder{"raster_nodata"};

    std::vector<float> readCells(const geoTiffSpec& spec, double noDataThreshold = threshold) {
        const std::string path = folder.file("nodata.tif");
        writeGeoTiff(path, spec);
        alignmentModel model;
        const readResult result = readInto(model, path, noDataThreshold);
        EXPECT_TRUE(result.ok) << result.console;
        EXPECT_EQ(result.console, "");
        return model.raster.cells;
    }
};

TEST_F(RasterNoData, ThresholdIsInclusive) {
    geoTiffSpec spec = patternSpec(3, 2);
    spec.cells = {-32767.0f, -32766.5f, -40000.0f, -3.4e38f, 5.0f, -32768.0f};
    const std::vector<float> cells = readCells(spec);
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_TRUE(std::isnan(cells[0]));
    EXPECT_EQ(cells[1], -32766.5f);
    EXPECT_TRUE(std::isnan(cells[2]));
    EXPECT_TRUE(std::isnan(cells[3]));
    EXPECT_EQ(cells[4], 5.0f);
    EXPECT_TRUE(std::isnan(cells[5]));
}

TEST_F(RasterNoData, NanThresholdMasksNothing) {
    geoTiffSpec spec = patternSpec(2, 1);
    spec.cells = {-32767.0f, -40000.0f};
    const std::vector<float> cells = readCells(spec, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(cells, (std::vector<float>{-32767.0f, -40000.0f}));
}

TEST_F(RasterNoData, DeclaredNegativeValueBecomesNan) {
    geoTiffSpec spec = patternSpec(4, 1);
    spec.cells = {-9999.0f, -9999.5f, 12.0f, -9999.0f};
    spec.hasNoData = true;
    spec.noDataValue = -9999.0;
    const std::vector<float> cells = readCells(spec);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_TRUE(std::isnan(cells[0]));
    EXPECT_EQ(cells[1], -9999.5f);
    EXPECT_EQ(cells[2], 12.0f);
    EXPECT_TRUE(std::isnan(cells[3]));
}

TEST_F(RasterNoData, DeclaredHugePositiveValueBecomesNan) {
    geoTiffSpec spec = patternSpec(3, 1);
    spec.cells = {3.4e38f, 100.0f, 3.4e38f};
    spec.hasNoData = true;
    spec.noDataValue = double(3.4e38f);
    const std::vector<float> cells = readCells(spec);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_TRUE(std::isnan(cells[0]));
    EXPECT_EQ(cells[1], 100.0f);
    EXPECT_TRUE(std::isnan(cells[2]));
}

// Declarations are often written as 3.4028235e+38, a hair above the largest
// float, while the cells hold the largest float itself.
TEST_F(RasterNoData, DeclaredValueJustBeyondFloatRangeMeansLargestFloat) {
    geoTiffSpec spec = patternSpec(2, 1);
    spec.cells = {FLT_MAX, -1.5f};
    spec.hasNoData = true;
    spec.noDataValue = 3.4028235e38;
    const std::vector<float> cells = readCells(spec);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_TRUE(std::isnan(cells[0]));
    EXPECT_EQ(cells[1], -1.5f);
}

TEST_F(RasterNoData, DeclaredValueFarOutsideFloatRangeMatchesNothing) {
    geoTiffSpec spec = patternSpec(2, 1);
    spec.cells = {FLT_MAX, -FLT_MAX};
    spec.hasNoData = true;
    spec.noDataValue = 1e300;
    const std::vector<float> cells = readCells(spec, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(cells, (std::vector<float>{FLT_MAX, -FLT_MAX}));
}

TEST_F(RasterNoData, DeclaredValueAppliesEvenWithoutThreshold) {
    geoTiffSpec spec = patternSpec(2, 1);
    spec.cells = {-9999.0f, -32767.0f};
    spec.hasNoData = true;
    spec.noDataValue = -9999.0;
    const std::vector<float> cells = readCells(spec, std::numeric_limits<double>::quiet_NaN());
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_TRUE(std::isnan(cells[0]));
    EXPECT_EQ(cells[1], -32767.0f);
}

TEST(RasterMask, MaskNoDataLeavesNanAndHigherValues) {
    elevationRaster raster;
    raster.width = 4;
    raster.height = 1;
    raster.cells = {std::numeric_limits<float>::quiet_NaN(), -10.0f, -10.5f, 0.0f};
    raster.maskNoData(-10.0);
    EXPECT_TRUE(std::isnan(raster.cells[0]));
    EXPECT_TRUE(std::isnan(raster.cells[1]));
    EXPECT_TRUE(std::isnan(raster.cells[2]));
    EXPECT_EQ(raster.cells[3], 0.0f);
}

// ---------------------------------------------------------------- georeference and corners

class RasterGeoreference : public ::testing::Test {
protected:
    scratchFolder folder{"raster_georeference"};

    readResult readWithOrigin(double x, double y, alignmentModel& model) {
        geoTiffSpec spec = patternSpec(3, 2);
        spec.transform = {x, 1.0, 0.0, y, 0.0, -1.0};
        const std::string path = folder.file("origin.tif");
        writeGeoTiff(path, spec);
        return readInto(model, path);
    }
};

TEST_F(RasterGeoreference, TopLeftWarningWhenEitherOriginCoordinateIsZero) {
    const std::string warning = "Warning: The Top Left corner of the raster is at (0,0).\n";
    {
        alignmentModel model;
        const readResult result = readWithOrigin(0.0, 250.0, model);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.console, warning);
    }
    {
        alignmentModel model;
        const readResult result = readWithOrigin(250.0, 0.0, model);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.console, warning);
    }
    {
        alignmentModel model;
        const readResult result = readWithOrigin(250.0, 250.0, model);
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.console, "");
    }
}

TEST_F(RasterGeoreference, CornersFollowTheGeotransform) {
    geoTiffSpec spec;  // 5 x 4, origin (100, 200), unit cells, cell (c, r) = c + 10 r
    spec.transform = {100.0, 2.0, 0.5, 200.0, 0.25, -3.0};
    const std::string path = folder.file("corners.tif");
    writeGeoTiff(path, spec);
    alignmentModel model;
    ASSERT_TRUE(readInto(model, path).ok);
    const std::array<cornerRecord, 4>& corners = model.corners;
    EXPECT_EQ(corners[0].index, 0u);
    EXPECT_DOUBLE_EQ(corners[0].x, 100.0);
    EXPECT_DOUBLE_EQ(corners[0].y, 200.0);
    EXPECT_DOUBLE_EQ(corners[0].z, 0.0);
    EXPECT_DOUBLE_EQ(corners[1].x, 100.0 + 4 * 2.0);
    EXPECT_DOUBLE_EQ(corners[1].y, 200.0 + 4 * 0.25);
    EXPECT_DOUBLE_EQ(corners[1].z, 4.0);
    EXPECT_DOUBLE_EQ(corners[2].x, 100.0 + 3 * 0.5);
    EXPECT_DOUBLE_EQ(corners[2].y, 200.0 - 3 * 3.0);
    EXPECT_DOUBLE_EQ(corners[2].z, 30.0);
    EXPECT_DOUBLE_EQ(corners[3].x, 100.0 + 8.0 + 1.5);
    EXPECT_DOUBLE_EQ(corners[3].y, 200.0 + 1.0 - 9.0);
    EXPECT_DOUBLE_EQ(corners[3].z, 34.0);
}

TEST_F(RasterGeoreference, CornersKeepMaskedCellsAsNan) {
    geoTiffSpec spec = patternSpec(2, 2);
    spec.cells = {-32767.0f, 1.0f, 2.0f, 3.0f};
    const std::string path = folder.file("masked.tif");
    writeGeoTiff(path, spec);
    alignmentModel model;
    ASSERT_TRUE(readInto(model, path).ok);
    EXPECT_TRUE(std::isnan(model.corners[0].z));
    EXPECT_DOUBLE_EQ(model.corners[3].z, 3.0);
}

TEST_F(RasterGeoreference, SetTopLeftMovesOriginAndCorners) {
    alignmentModel model;
    ASSERT_TRUE(readWithOrigin(250.0, 250.0, model).ok);
    const geoTransform before = model.raster.transform;
    model.setTopLeft(100.0, 200.0);
    const geoTransform& after = model.raster.transform;
    EXPECT_EQ(after[0], 100.0);
    EXPECT_EQ(after[3], 200.0);
    EXPECT_EQ(after[1], before[1]);
    EXPECT_EQ(after[2], before[2]);
    EXPECT_EQ(after[4], before[4]);
    EXPECT_EQ(after[5], before[5]);
    EXPECT_EQ(model.corners[0].index, 0u);
    EXPECT_EQ(model.corners[0].x, 100.0);
    EXPECT_EQ(model.corners[0].y, 200.0);
    EXPECT_EQ(model.corners[0].z, 0.0);
    EXPECT_EQ(model.corners[3].x, 102.0);
    EXPECT_EQ(model.corners[3].y, 199.0);
    EXPECT_EQ(model.corners[3].z, 1002.0);
}

TEST_F(RasterGeoreference, SetTopLeftKeepsCornersOnceTracksAreHeld) {
    alignmentModel model;
    ASSERT_TRUE(readWithOrigin(250.0, 250.0, model).ok);
    model.molaPoints.push_back(molaPoint{0, 250.0, 250.0, 1.0});
    model.notReady = false;
    model.setTopLeft(100.0, 200.0);
    EXPECT_EQ(model.raster.transform[0], 100.0);
    EXPECT_EQ(model.corners[0].x, 250.0);
    EXPECT_EQ(model.corners[0].y, 250.0);
}

TEST_F(RasterGeoreference, NotReadyFollowsTheAltimeterPoints) {
    geoTiffSpec spec = patternSpec(2, 2);
    const std::string path = folder.file("ready.tif");
    writeGeoTiff(path, spec);
    alignmentModel empty;
    ASSERT_TRUE(readInto(empty, path).ok);
    EXPECT_TRUE(empty.notReady);
    alignmentModel withPoints;
    withPoints.molaPoints.push_back(molaPoint{});
    ASSERT_TRUE(readInto(withPoints, path).ok);
    EXPECT_FALSE(withPoints.notReady);
}

TEST(RasterCorners, CornerOutsideTheGridHasNoValue) {
    elevationRaster raster;
    raster.transform = {10.0, 1.0, 0.0, 20.0, 0.0, -1.0};
    const cornerRecord corner = raster.cornerAt(-1, -1);
    EXPECT_EQ(corner.x, 9.0);
    EXPECT_EQ(corner.y, 21.0);
    EXPECT_TRUE(std::isnan(corner.z));
}

// ---------------------------------------------------------------- debug lines and state

class RasterMessages : public ::testing::Test {
protected:
    scratchFolder folder{"raster_messages"};
};

TEST_F(RasterMessages, DebugPrintsProgressAndCorners) {
    const std::string path = folder.file("debug.tif");
    writeGeoTiff(path, geoTiffSpec{});
    alignmentModel model;
    model.debug = true;
    const readResult result = readInto(model, path);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.console,
              "Begin Reading .tif\n"
              "Done Reading .tif\n"
              "Top Left: 0:100:200:0\n"
              "Top Right: 0:104:200:4\n"
              "Bottom Left: 0:100:197:30\n"
              "Bottom Right: 0:104:197:34\n");
    EXPECT_TRUE(model.raster.debug);
}

TEST_F(RasterMessages, WithoutDebugNothingIsPrinted) {
    const std::string path = folder.file("quiet.tif");
    writeGeoTiff(path, geoTiffSpec{});
    alignmentModel model;
    EXPECT_EQ(readInto(model, path).console, "");
}

TEST_F(RasterMessages, DebugCornerLinesUseSixSignificantDigits) {
    geoTiffSpec spec;
    spec.width = 2;
    spec.height = 2;
    spec.transform = {137.123456789, 0.001, 0.0, -4.5678912345, 0.0, -0.001};
    spec.cells = {-2345.678f, 1.0f, 2.0f, -32767.0f};
    const std::string path = folder.file("digits.tif");
    writeGeoTiff(path, spec);
    alignmentModel model;
    model.debug = true;
    const readResult result = readInto(model, path);
    EXPECT_NE(result.console.find("Top Left: 0:137.123:-4.56789:-2345.68\n"), std::string::npos) << result.console;
    EXPECT_NE(result.console.find("Bottom Right: 0:137.124:-4.56889:nan\n"), std::string::npos) << result.console;
}

TEST_F(RasterMessages, ReadOfALoadedRasterDoesNotReadAgain) {
    const std::string path = folder.file("once.tif");
    writeGeoTiff(path, geoTiffSpec{});
    elevationRaster raster;
    raster.reset(path);
    {
        consoleCapture capture;
        ASSERT_TRUE(raster.read());
    }
    raster.cells[0] = 77.0f;
    std::filesystem::remove(path);
    consoleCapture capture;
    EXPECT_TRUE(raster.read());
    EXPECT_EQ(raster.cells[0], 77.0f);
    EXPECT_EQ(capture.text(), "");
}

TEST_F(RasterMessages, ResetClearsEverythingButDebug) {
    const std::string path = folder.file("reset.tif");
    writeGeoTiff(path, geoTiffSpec{});
    elevationRaster raster;
    raster.debug = true;
    raster.reset(path);
    {
        consoleCapture capture;
        ASSERT_TRUE(raster.read());
    }
    raster.reset("other.tif");
    EXPECT_EQ(raster.path, "other.tif");
    EXPECT_FALSE(raster.loaded);
    EXPECT_EQ(raster.width, 0u);
    EXPECT_EQ(raster.height, 0u);
    EXPECT_EQ(raster.transform, (geoTransform{0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(raster.cells.empty());
    EXPECT_TRUE(raster.debug);
}

TEST_F(RasterMessages, RereadingThroughTheModelReplacesTheRaster) {
    const std::string first = folder.file("first.tif");
    const std::string second = folder.file("second.tif");
    writeGeoTiff(first, patternSpec(3, 3));
    writeGeoTiff(second, patternSpec(2, 1));
    alignmentModel model;
    ASSERT_TRUE(readInto(model, first).ok);
    ASSERT_TRUE(readInto(model, second).ok);
    EXPECT_EQ(model.raster.width, 2u);
    EXPECT_EQ(model.raster.height, 1u);
    EXPECT_EQ(model.raster.cells, (std::vector<float>{0.0f, 1.0f}));
}

// ---------------------------------------------------------------- refusals

class RasterRefusals : public ::testing::Test {
protected:
    scratchFolder folder{"raster_refusals"};

    void expectRefused(const std::string& path, const std::string& console) {
        alignmentModel model;
        standardErrorCapture errors(folder.file("stderr.txt"));
        const readResult result = readInto(model, path);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.console, console);
        EXPECT_FALSE(model.raster.loaded);
        EXPECT_EQ(errors.text(), "");
    }
};

TEST_F(RasterRefusals, EmptyPathFailsSilently) {
    expectRefused("", "");
    alignmentModel model;
    model.debug = true;
    EXPECT_EQ(readInto(model, "").console, "Begin Reading .tif\n");
}

TEST_F(RasterRefusals, ExtensionMustBeLowerCaseTif) {
    const std::string upper = folder.file("dem.TIF");
    const std::string longer = folder.file("dem.tiff");
    writeGeoTiff(upper, geoTiffSpec{});
    writeGeoTiff(longer, geoTiffSpec{});
    expectRefused(upper, "Can only read .tif file not .TIF\n");
    expectRefused(longer, "Can only read .tif file not tiff\n");
    expectRefused("dem.cub", "Can only read .tif file not .cub\n");
    expectRefused("ab", "Can only read .tif file not ab\n");
}

TEST_F(RasterRefusals, FileThatIsNotAGeoTiff) {
    const std::string text = folder.file("notes.tif");
    testing::writeTextFile(text, "this is not a raster\n");
    expectRefused(text, "Not a valid tif file\n");
    expectRefused(folder.file("missing.tif"), "Not a valid tif file\n");
    const std::string empty = folder.file("empty.tif");
    testing::writeTextFile(empty, "");
    expectRefused(empty, "Not a valid tif file\n");
}

TEST_F(RasterRefusals, IntegerRasterIsRefused) {
    const std::string path = folder.file("int16.tif");
    geoTiffSpec spec;
    spec.int16 = true;
    writeGeoTiff(path, spec);
    expectRefused(path, "Raster of unknown type, must be GDT_Float32\n");
}

TEST_F(RasterRefusals, TopLeftWarningComesBeforeTheTypeCheck) {
    const std::string path = folder.file("int16origin.tif");
    geoTiffSpec spec;
    spec.int16 = true;
    spec.transform = {0.0, 1.0, 0.0, 10.0, 0.0, -1.0};
    writeGeoTiff(path, spec);
    expectRefused(path,
                  "Warning: The Top Left corner of the raster is at (0,0).\n"
                  "Raster of unknown type, must be GDT_Float32\n");
}

TEST_F(RasterRefusals, TruncatedFileFailsWithoutStaleCells) {
    const std::string path = folder.file("truncated.tif");
    geoTiffSpec spec = patternSpec(64, 64);
    spec.blockHeight = 8;
    writeGeoTiff(path, spec);
    // The directory sits at the start of the file and the strips follow, so
    // cutting the file in half loses the last strips.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    alignmentModel model;
    standardErrorCapture errors(folder.file("stderr.txt"));
    const readResult result = readInto(model, path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.console, "Error: Could not read the cells of the .tif\n");
    EXPECT_FALSE(model.raster.loaded);
    EXPECT_EQ(errors.text(), "");
}

TEST_F(RasterRefusals, ShortLastStripFailsTheRead) {
    const std::string path = folder.file("corrupt.tif");
    geoTiffSpec spec = patternSpec(64, 64);
    spec.blockHeight = 8;
    writeGeoTiff(path, spec);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 4 * 64 * 4);
    alignmentModel model;
    const readResult result = readInto(model, path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.console, "Error: Could not read the cells of the .tif\n");
}

// A sparse file declares a grid of 10^12 cells without storing any of them.
TEST_F(RasterRefusals, RasterBeyondMemoryIsRefusedBeforeAllocating) {
    const std::string path = folder.file("huge.tif");
    {
        silenceGdalMessages();
        GDALAllRegister();
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
        ASSERT_NE(driver, nullptr);
        char** options = nullptr;
        options = CSLSetNameValue(options, "TILED", "YES");
        options = CSLSetNameValue(options, "BLOCKXSIZE", "8192");
        options = CSLSetNameValue(options, "BLOCKYSIZE", "8192");
        options = CSLSetNameValue(options, "SPARSE_OK", "YES");
        options = CSLSetNameValue(options, "BIGTIFF", "YES");
        GDALDataset* dataset = driver->Create(path.c_str(), 1000000, 1000000, 1, GDT_Float32, options);
        CSLDestroy(options);
        ASSERT_NE(dataset, nullptr);
        std::array<double, 6> transform{10.0, 1.0, 0.0, 20.0, 0.0, -1.0};
        dataset->SetGeoTransform(transform.data());
        GDALClose(GDALDataset::ToHandle(dataset));
    }
    ASSERT_LT(std::filesystem::file_size(path), 10u * 1024u * 1024u);
    expectRefused(path, "Error: .tif is too big, only allocated about 0 Megabytes, which is about 0% of the .tif\n");
}

// ---------------------------------------------------------------- real files kept with the tests

class RasterRealFiles : public ::testing::Test {
protected:
    std::string dataFile(const std::string& name) { return testing::testDataDir() + "/rasters/" + name; }
};

TEST_F(RasterRealFiles, Float32WithOriginAtZero) {
    alignmentModel model;
    const readResult result = readInto(model, dataFile("float32.tif"));
    ASSERT_TRUE(result.ok) << result.console;
    EXPECT_EQ(result.console, "Warning: The Top Left corner of the raster is at (0,0).\n");
    EXPECT_EQ(model.raster.width, 3u);
    EXPECT_EQ(model.raster.height, 2u);
    EXPECT_EQ(model.raster.transform, (geoTransform{0, 100, 0, 0, 0, 100}));
    expectSameCells(cellsThroughGdal(dataFile("float32.tif")), model.raster.cells);
    const auto [low, high] = std::minmax_element(model.raster.cells.begin(), model.raster.cells.end());
    EXPECT_NEAR(*low, -1.88, 0.01);
    EXPECT_NEAR(*high, 1.41, 0.01);
}

TEST_F(RasterRealFiles, Float64IsRefusedAfterTheTopLeftWarning) {
    alignmentModel model;
    const readResult result = readInto(model, dataFile("float.tif"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.console,
              "Warning: The Top Left corner of the raster is at (0,0).\n"
              "Raster of unknown type, must be GDT_Float32\n");
}

TEST_F(RasterRealFiles, DeclaredFloatMinimumBecomesNan) {
    alignmentModel model;
    const readResult result = readInto(model, dataFile("float_raster_with_nodata.tif"), notANumber);
    ASSERT_TRUE(result.ok) << result.console;
    EXPECT_EQ(model.raster.width, 13u);
    EXPECT_EQ(model.raster.height, 12u);
    EXPECT_EQ(nanCount(model.raster.cells), 58u);
    for (float cell : model.raster.cells)
        if (!std::isnan(cell)) {
            EXPECT_GE(cell, 0.0f);
            EXPECT_LE(cell, 0.25f);
        }
}

// ---------------------------------------------------------------- real files from the shared collection

class RasterSharedFiles : public ::testing::Test {
protected:
    std::string sharedFile(const std::string& name) { return testing::sharedDataDir() + "/" + name; }
    void SetUp() override {
        if (!std::filesystem::exists(testing::sharedDataDir())) GTEST_SKIP() << "no shared real data";
    }
    bool present(const std::string& path) { return std::filesystem::exists(path); }
};

TEST_F(RasterSharedFiles, MarsDemInDegrees) {
    const std::string path = sharedFile("derived/Mawrth_Vallis_mola_lonlat180_float32.tif");
    if (!present(path)) GTEST_SKIP() << path;
    alignmentModel model;
    const readResult result = readInto(model, path);
    ASSERT_TRUE(result.ok) << result.console;
    EXPECT_EQ(result.console, "");
    EXPECT_EQ(model.raster.width, 282u);
    EXPECT_EQ(model.raster.height, 333u);
    EXPECT_EQ(model.raster.transform, (geoTransform{-19.203125, 0.00390625, 0, 25.1015625, 0, -0.00390625}));
    EXPECT_EQ(nanCount(model.raster.cells), 0u);
    const auto [low, high] = std::minmax_element(model.raster.cells.begin(), model.raster.cells.end());
    EXPECT_EQ(*low, -3565.0f);
    EXPECT_EQ(*high, -1955.0f);
    expectSameCells(cellsThroughGdal(path), model.raster.cells);
}

TEST_F(RasterSharedFiles, CompressedTiledDemWithPartialTiles) {
    const std::string path = sharedFile("stereopipelinetest/clip1-DEM.tif");
    if (!present(path)) GTEST_SKIP() << path;
    alignmentModel model;
    const readResult result = readInto(model, path);
    ASSERT_TRUE(result.ok) << result.console;
    EXPECT_EQ(model.raster.width, 3878u);
    EXPECT_EQ(model.raster.height, 1566u);
    EXPECT_EQ(nanCount(model.raster.cells), 6023917u);
    std::vector<float> expected = cellsThroughGdal(path);
    for (float& cell : expected)
        if (cell <= threshold) cell = std::numeric_limits<float>::quiet_NaN();
    expectSameCells(expected, model.raster.cells);
}

TEST_F(RasterSharedFiles, CellsAtTheThresholdBecomeNan) {
    const std::string path = sharedFile("geotiff_test_data/wind_direction.tif");
    if (!present(path)) GTEST_SKIP() << path;
    alignmentModel model;
    ASSERT_TRUE(readInto(model, path).ok);
    EXPECT_EQ(model.raster.width, 232u);
    EXPECT_EQ(model.raster.height, 193u);
    EXPECT_EQ(nanCount(model.raster.cells), 12367u);
}

TEST_F(RasterSharedFiles, TileLargerThanTheImageWithDeclaredNoData) {
    const std::string path = sharedFile("geotiff_test_data/gfw-azores.tif");
    if (!present(path)) GTEST_SKIP() << path;
    alignmentModel model;
    ASSERT_TRUE(readInto(model, path, notANumber).ok);
    EXPECT_EQ(model.raster.width, 125u);
    EXPECT_EQ(model.raster.height, 40u);
    EXPECT_EQ(nanCount(model.raster.cells), 4599u);
}

TEST_F(RasterSharedFiles, DeclaredMinusNineThousandNineHundredNinetyNine) {
    const std::string path = sharedFile("geotiff_test_data/nz_habitat_anticross_4326_1deg.tif");
    if (!present(path)) GTEST_SKIP() << path;
    alignmentModel model;
    ASSERT_TRUE(readInto(model, path).ok);
    std::vector<float> raw = cellsThroughGdal(path);
    const std::size_t declared = std::size_t(std::count(raw.begin(), raw.end(), -9999.0f));
    EXPECT_GT(declared, 0u);
    EXPECT_EQ(nanCount(model.raster.cells), declared + nanCount(raw));
}

TEST_F(RasterSharedFiles, DeclaredFloatMaximumInACloudOptimizedFile) {
    const std::string source = sharedFile("geotiff_test_data/GA4886_VanderfordGlacier_2022_EGM2008_64m-epsg3031.cog");
    if (!present(source)) GTEST_SKIP() << source;
    scratchFolder folder("raster_shared_cog");
    const std::string path = folder.file("vanderford.tif");
    std::filesystem::copy_file(source, path);
    alignmentModel model;
    ASSERT_TRUE(readInto(model, path).ok);
    EXPECT_EQ(model.raster.width, 2581u);
    EXPECT_EQ(model.raster.height, 1998u);
    EXPECT_GT(nanCount(model.raster.cells), 0u);
    float highest = -FLT_MAX;
    for (float cell : model.raster.cells)
        if (!std::isnan(cell)) highest = std::max(highest, cell);
    EXPECT_LT(highest, 0.0f);
}

TEST_F(RasterSharedFiles, RefusalsOfRealFiles) {
    const std::string tiff = sharedFile("georust_gdal/dem-hills.tiff");
    const std::string shaded = sharedFile("plio/Mars_MGS_MOLA_ClrShade_MAP2_0.0N0.0_MERC.tif");
    const std::string cube = sharedFile("socet_gxp_dev/Mawrth_Vallis_3413E_242N_mola.cub");
    if (!present(tiff) || !present(shaded) || !present(cube)) GTEST_SKIP() << "files missing";
    alignmentModel model;
    EXPECT_EQ(readInto(model, tiff).console, "Can only read .tif file not tiff\n");
    EXPECT_EQ(readInto(model, cube).console, "Can only read .tif file not .cub\n");
    EXPECT_EQ(readInto(model, shaded).console,
              "Warning: The Top Left corner of the raster is at (0,0).\n"
              "Raster of unknown type, must be GDT_Float32\n");
}

}  // namespace
}  // namespace kalvex
