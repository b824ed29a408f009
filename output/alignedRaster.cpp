#include "output/alignedRaster.h"

#include <gdal_priv.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <memory>

#include "model/raster/quietGdal.h"
#include "model/raster/rasterExtent.h"
#include "output/stopPoints.h"

namespace kalvex {

namespace {

// A run that found no real turn can still leave rotation terms of rounding
// size in the georeference (the turns about pivots work on map coordinates,
// whose last places carry the rounding); written as they are, they make every
// reader take the file for a turned one. A term is no turn when it is below a
// billionth of a cell, or when across the whole raster it moves a node by no
// more than the rounding of coordinates of the raster's magnitude can.
geoTransform northUpUnlessTurned(geoTransform transform, std::uint32_t width, std::uint32_t height) {
    const double cellShare = 1e-9 * shorterCellSide(transform);
    const double coordinateRounding = 1e-12 * std::fmax(std::fabs(transform[0]), std::fabs(transform[3]));
    const double extent = std::fmax(1.0, double(std::max(width, height)));
    for (const std::size_t term : {std::size_t(2), std::size_t(4)}) {
        const double size = std::fabs(transform[term]);
        if (size < cellShare || size * extent <= coordinateRounding) transform[term] = 0.0;
    }
    return transform;
}

}  // namespace

bool writeAlignedRaster(const elevationRaster& raster, const std::string& path) {
    if (!raster.loaded || raster.width == 0 || raster.height == 0) return false;
    silenceGdalMessages();
    GDALAllRegister();
    CPLErrorReset();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) return false;

    char** options = nullptr;
    // The floating-point predictor lets DEFLATE find what neighbouring
    // elevations share; with it the fastest level leaves a file a sixth
    // larger than the default level in half the time. The tiles are
    // compressed on every core.
    options = CSLSetNameValue(options, "COMPRESS", "DEFLATE");
    options = CSLSetNameValue(options, "PREDICTOR", "3");
    options = CSLSetNameValue(options, "ZLEVEL", "1");
    options = CSLSetNameValue(options, "NUM_THREADS", "ALL_CPUS");
    options = CSLSetNameValue(options, "TILED", "YES");
    options = CSLSetNameValue(options, "BIGTIFF", "IF_SAFER");
    datasetHandle target(driver->Create(path.c_str(), int(raster.width), int(raster.height), 1, GDT_Float32, options));
    CSLDestroy(options);
    if (!target) return false;

    geoTransform transform = northUpUnlessTurned(raster.gdalTransform(), raster.width, raster.height);
    bool written = target->SetGeoTransform(transform.coefficients.data()) == CE_None;
    if (!raster.spatialReference.empty()) target->SetProjection(raster.spatialReference.c_str());
    GDALRasterBand* band = target->GetRasterBand(1);
    const double noDataValue = raster.float32NoData.value_or(-32768.0);
    written = written && band->SetNoDataValue(noDataValue) == CE_None;

    // Block by block, straight to the file: through GDAL's cache every block
    // written would stay there until the file is closed, a second copy of the
    // whole raster. The cells of edge blocks beyond the raster hold no data.
    int blockWidth = 0, blockHeight = 0;
    band->GetBlockSize(&blockWidth, &blockHeight);
    const std::uint32_t columnsPerBlock = std::uint32_t(std::max(blockWidth, 1));
    const std::uint32_t rowsPerBlock = std::uint32_t(std::max(blockHeight, 1));
    const float noData = float(noDataValue);
    std::vector<float> block(std::size_t(columnsPerBlock) * rowsPerBlock);
    for (std::uint32_t top = 0; written && top < raster.height; top += rowsPerBlock) {
        for (std::uint32_t left = 0; written && left < raster.width; left += columnsPerBlock) {
            std::fill(block.begin(), block.end(), noData);
            const std::uint32_t rows = std::min(rowsPerBlock, raster.height - top);
            const std::uint32_t columns = std::min(columnsPerBlock, raster.width - left);
            for (std::uint32_t r = 0; r < rows; ++r)
                for (std::uint32_t c = 0; c < columns; ++c) {
                    const float value = raster.cell(left + c, top + r);
                    block[std::size_t(r) * columnsPerBlock + c] = std::isnan(value) ? noData : value;
                }
            written = band->WriteBlock(int(left / columnsPerBlock), int(top / rowsPerBlock), block.data()) == CE_None;
        }
        passStopPoint("alignedRasterBlock");
    }
    target->FlushCache();
    if (CPLGetLastErrorType() == CE_Failure) written = false;
    target.reset();
    return written;
}

}  // namespace kalvex
