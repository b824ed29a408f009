#include "output/alignedRaster.h"

#include <gdal_priv.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "model/quietGdal.h"
#include "model/rasterExtent.h"

namespace kalvex {

namespace {

struct sourceDescription {
    std::string spatialReference;
    double noDataValue = -32768.0;
};

// What the written file takes over from the GeoTIFF the raster came from. The
// cells are written as elevations: a no-data value declared for scaled stored
// values means nothing among them.
sourceDescription describeSource(const elevationRaster& raster) {
    sourceDescription description;
    datasetHandle source(static_cast<GDALDataset*>(GDALOpen(raster.path.c_str(), GA_ReadOnly)));
    if (!source) return description;
    if (const char* wkt = source->GetProjectionRef()) description.spatialReference = wkt;
    const bool scaled = raster.scale != 1.0 || raster.offset != 0.0;
    if (source->GetRasterCount() >= 1 && !scaled) {
        int hasNoData = 0;
        const double declared = source->GetRasterBand(1)->GetNoDataValue(&hasNoData);
        if (hasNoData && std::isfinite(declared)) description.noDataValue = declared;
    }
    return description;
}

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
    const sourceDescription source = describeSource(raster);
    CPLErrorReset();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) return false;

    char** options = nullptr;
    options = CSLSetNameValue(options, "COMPRESS", "DEFLATE");
    options = CSLSetNameValue(options, "TILED", "YES");
    options = CSLSetNameValue(options, "BIGTIFF", "IF_SAFER");
    datasetHandle target(driver->Create(path.c_str(), int(raster.width), int(raster.height), 1, GDT_Float32, options));
    CSLDestroy(options);
    if (!target) return false;

    geoTransform transform = northUpUnlessTurned(raster.transform, raster.width, raster.height);
    bool written = target->SetGeoTransform(transform.coefficients.data()) == CE_None;
    if (!source.spatialReference.empty()) target->SetProjection(source.spatialReference.c_str());
    GDALRasterBand* band = target->GetRasterBand(1);
    written = written && band->SetNoDataValue(source.noDataValue) == CE_None;

    // Row by row, so that a large raster needs no second full copy.
    std::vector<float> row(raster.width);
    const float noData = float(source.noDataValue);
    for (std::uint32_t r = 0; written && r < raster.height; ++r) {
        for (std::uint32_t c = 0; c < raster.width; ++c) {
            const float value = raster.cell(c, r);
            row[c] = std::isnan(value) ? noData : value;
        }
        written = band->RasterIO(GF_Write, 0, int(r), int(raster.width), 1, row.data(), int(raster.width), 1,
                                 GDT_Float32, 0, 0) == CE_None;
    }
    target->FlushCache();
    if (CPLGetLastErrorType() == CE_Failure) written = false;
    target.reset();
    return written;
}

}  // namespace kalvex
