#include "model/raster/elevationRaster.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <ostream>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "model/fileNames.h"
#include "model/raster/quietGdal.h"

namespace kalvex {

namespace {

// Bytes of physical memory, or 0 when the system does not tell.
std::uint64_t physicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    const auto pageCount = static_cast<std::uint64_t>(pages);
    const auto pageBytes = static_cast<std::uint64_t>(pageSize);
    if (pageCount > std::numeric_limits<std::uint64_t>::max() / pageBytes) return std::numeric_limits<std::uint64_t>::max();
    return pageCount * pageBytes;
}

// An overcommitting kernel grants requests far beyond the machine and kills
// the process once the pages are touched, so such a raster is refused
// before anything is allocated.
bool machineCanHold(std::uint64_t floatCount) {
    if (floatCount > std::numeric_limits<std::size_t>::max() / sizeof(float)) return false;
    const std::uint64_t physical = physicalMemoryBytes();
    return physical == 0 || floatCount * sizeof(float) <= physical;
}

// The ending the messages name a raster by: ".tif" for every name that has
// none of the raster endings, as before there were others.
std::string endingNamed(const std::string& path) {
    const std::string ending = rasterEndingOf(path);
    return ending.empty() ? ".tif" : ending;
}

void reportTooBig(std::ostream& console, const elevationRaster& raster, std::uint32_t rowsAllocated) {
    const std::string ending = endingNamed(raster.path);
    const std::uint32_t megabytes = raster.width * rowsAllocated * 4u / 1048576u;
    const std::uint32_t percent = raster.height == 0 ? 0u : rowsAllocated * 100u / raster.height;
    console << "Error: " << ending << " is too big, only allocated about " << megabytes
            << " Megabytes, which is about " << percent << "% of the " << ending << std::endl;
}

// All rows come in one allocation, so a failure leaves no row allocated.
bool allocateCells(std::ostream& console, elevationRaster& raster, int blockWidth, int blockHeight) {
    const std::uint64_t cellCount = std::uint64_t(raster.width) * raster.height;
    const std::uint64_t blockCount = std::uint64_t(std::max(blockWidth, 0)) * std::uint64_t(std::max(blockHeight, 0));
    if (!machineCanHold(cellCount + blockCount)) {
        reportTooBig(console, raster, 0);
        return false;
    }
    try {
        raster.cells.assign(static_cast<std::size_t>(cellCount), 0.0f);
    } catch (const std::bad_alloc&) {
        raster.cells = std::vector<float>();
        reportTooBig(console, raster, 0);
        return false;
    }
    return true;
}

// A PDS3 image whose label lies beside it is opened through the label.
datasetHandle openRaster(const std::string& path) {
    datasetHandle dataset(GDALDataset::FromHandle(GDALOpen(path.c_str(), GA_ReadOnly)));
    if (dataset || rasterEndingOf(path) != ".img") return dataset;
    const std::string stem = path.substr(0, path.size() - 4);
    for (const char* label : {".lbl", ".LBL"}) {
        dataset.reset(GDALDataset::FromHandle(GDALOpen((stem + label).c_str(), GA_ReadOnly)));
        if (dataset) break;
    }
    return dataset;
}

// Each block is decoded once into the one reused buffer; blocks on the
// right and bottom edges reach past the raster and only their valid part
// is copied.
bool copyBlocks(GDALRasterBand& band, int blockWidth, int blockHeight, elevationRaster& raster) {
    if (raster.width == 0 || raster.height == 0) return true;
    if (blockWidth <= 0 || blockHeight <= 0) return false;
    const std::uint32_t across = static_cast<std::uint32_t>((std::uint64_t(raster.width) + blockWidth - 1) / blockWidth);
    const std::uint32_t down = static_cast<std::uint32_t>((std::uint64_t(raster.height) + blockHeight - 1) / blockHeight);
    std::vector<float> block;
    try {
        block.assign(std::size_t(blockWidth) * std::size_t(blockHeight), 0.0f);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::uint32_t yb = 0; yb < down; ++yb) {
        for (std::uint32_t xb = 0; xb < across; ++xb) {
            if (band.ReadBlock(int(xb), int(yb), block.data()) != CE_None) return false;
            const std::uint32_t firstColumn = xb * std::uint32_t(blockWidth);
            const std::uint32_t firstRow = yb * std::uint32_t(blockHeight);
            const std::uint32_t columns = std::min(std::uint32_t(blockWidth), raster.width - firstColumn);
            const std::uint32_t rows = std::min(std::uint32_t(blockHeight), raster.height - firstRow);
            for (std::uint32_t j = 0; j < rows; ++j) {
                const auto source = block.begin() + std::ptrdiff_t(std::size_t(j) * std::size_t(blockWidth));
                const auto target = raster.cells.begin() +
                                    std::ptrdiff_t(std::size_t(firstRow + j) * raster.width + firstColumn);
                std::copy(source, source + columns, target);
            }
        }
    }
    return true;
}

// Any other band, of whole numbers or of doubles, a stretch of rows at a time
// as numbers that hold each of its values; the driver's mask tells the cells
// without data (the special pixels of an ISIS cube, a declared no-data value).
// A value beyond the float range is no elevation either.
bool copyConvertedRows(GDALRasterBand& band, int blockHeight, elevationRaster& raster) {
    if (raster.width == 0 || raster.height == 0) return true;
    constexpr std::uint32_t cellsPerStretch = 1u << 22;
    const std::uint32_t blockRows = std::uint32_t(std::max(blockHeight, 1));
    const std::uint32_t rowsPerStretch = std::max(1u, std::min({blockRows, raster.height, cellsPerStretch / raster.width}));
    GDALRasterBand* mask = (band.GetMaskFlags() & GMF_ALL_VALID) ? nullptr : band.GetMaskBand();
    std::vector<double> values;
    std::vector<GByte> valid;
    try {
        values.resize(std::size_t(raster.width) * rowsPerStretch);
        valid.assign(values.size(), GByte(1));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::uint32_t top = 0; top < raster.height; top += rowsPerStretch) {
        const std::uint32_t rows = std::min(rowsPerStretch, raster.height - top);
        const int w = int(raster.width), y = int(top), h = int(rows);
        if (band.RasterIO(GF_Read, 0, y, w, h, values.data(), w, h, GDT_Float64, 0, 0) != CE_None) return false;
        if (mask != nullptr && mask->RasterIO(GF_Read, 0, y, w, h, valid.data(), w, h, GDT_Byte, 0, 0) != CE_None)
            return false;
        float* target = raster.cells.data() + std::size_t(top) * raster.width;
        for (std::size_t i = 0; i < std::size_t(rows) * raster.width; ++i) {
            const bool representable = valid[i] != 0 && std::fabs(values[i]) <= double(FLT_MAX);
            target[i] = representable ? static_cast<float>(values[i]) : std::numeric_limits<float>::quiet_NaN();
        }
    }
    return true;
}

// The float32 cell value that a declared no-data value stands for. A
// declaration written with too many digits may lie just beyond the float
// range; it still means the largest float.
std::optional<float> declaredNoDataAsCell(double declared) {
    if (std::isnan(declared)) return std::nullopt;
    if (std::isinf(declared)) return static_cast<float>(declared);
    if (std::fabs(declared) <= double(FLT_MAX)) return static_cast<float>(declared);
    const double roundsToLargestFloat = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
    if (std::fabs(declared) < roundsToLargestFloat) return declared > 0 ? FLT_MAX : -FLT_MAX;
    return std::nullopt;
}

// Files declare no-data values such as +3.4e38 or -9999 that the threshold
// alone would keep as huge or false elevations.
void maskDeclaredNoData(GDALRasterBand& band, elevationRaster& raster) {
    int hasNoData = 0;
    const double declared = band.GetNoDataValue(&hasNoData);
    if (!hasNoData) return;
    const std::optional<float> noDataCell = declaredNoDataAsCell(declared);
    if (!noDataCell) return;
    const float noData = *noDataCell;
    for (float& cell : raster.cells)
        if (cell == noData) cell = std::numeric_limits<float>::quiet_NaN();
}

// The spheroid, the kind of coordinates and the map units of the file's
// spatial reference.
void readSpatialReference(const GDALDataset& dataset, elevationRaster& raster) {
    if (const char* wkt = dataset.GetProjectionRef()) raster.spatialReference = wkt;
    const OGRSpatialReference* reference = dataset.GetSpatialRef();
    if (reference == nullptr || reference->IsEmpty()) return;
    OGRErr error = OGRERR_NONE;
    const double semiMajor = reference->GetSemiMajor(&error);
    if (error == OGRERR_NONE && std::isfinite(semiMajor) && semiMajor > 0.0) raster.semiMajorAxis = semiMajor;
    raster.geographic = reference->IsGeographic();
    raster.projected = reference->IsProjected();
    if (raster.geographic) raster.mapUnits = "degrees";
    if (!raster.projected) return;
    const char* unitName = nullptr;
    raster.metresPerMapUnit = reference->GetLinearUnits(&unitName);
    raster.mapUnits = raster.metresPerMapUnit == 1.0 ? "metres" : (unitName != nullptr ? unitName : "");
}

// Stored values that are not elevations until scaled would be compared with
// the shots as they are; a scale or offset that is no number gives none.
bool readScaleAndOffset(std::ostream& console, GDALRasterBand& band, elevationRaster& raster) {
    raster.scale = band.GetScale();
    raster.offset = band.GetOffset();
    if (std::isfinite(raster.scale) && std::isfinite(raster.offset)) return true;
    console << "Error: The " << endingNamed(raster.path) << "'s scale " << raster.scale << " and offset "
            << raster.offset << " do not turn its values into elevations" << std::endl;
    return false;
}

// Cells written out again take the file's declared no-data value along when
// it can stand among them: unscaled float32 cells, and a value in their range.
std::optional<double> noDataToKeep(GDALRasterBand& band, const elevationRaster& raster) {
    int hasNoData = 0;
    const double declared = band.GetNoDataValue(&hasNoData);
    const bool scaled = raster.scale != 1.0 || raster.offset != 0.0;
    const bool representable = std::isfinite(declared) && std::fabs(declared) <= double(FLT_MAX);
    if (!hasNoData || scaled || !representable || band.GetRasterDataType() != GDT_Float32) return std::nullopt;
    return declared;
}

// Float32 GeoTIFFs are read as they always were: block by block, their
// declared no-data value masked. Every other band goes through the driver's mask.
bool readCells(GDALDataset& dataset, GDALRasterBand& band, int blockWidth, int blockHeight, elevationRaster& raster) {
    const char* driver = dataset.GetDriver() != nullptr ? dataset.GetDriver()->GetDescription() : "";
    if (band.GetRasterDataType() == GDT_Float32 && std::string(driver) == "GTiff") {
        if (!copyBlocks(band, blockWidth, blockHeight, raster)) return false;
        maskDeclaredNoData(band, raster);
        return true;
    }
    raster.wholeNumberCells = !GDALDataTypeIsFloating(band.GetRasterDataType());
    return copyConvertedRows(band, blockHeight, raster);
}

// Whole numbers and floating point numbers of any width are elevations;
// complex numbers are none.
bool isElevationType(GDALDataType type) {
    return type != GDT_Unknown && !GDALDataTypeIsComplex(type) && GDALGetDataTypeSizeBytes(type) > 0;
}

bool failRead(elevationRaster& raster) {
    raster.cells = std::vector<float>();
    return false;
}

}  // namespace

void elevationRaster::reset(const std::string& newPath) {
    cells = std::vector<float>();
    path = newPath;
    width = 0;
    height = 0;
    transform = geoTransform{};
    scale = 1.0;
    offset = 0.0;
    semiMajorAxis.reset();
    geographic = false;
    projected = false;
    spatialReference.clear();
    mapUnits.clear();
    metresPerMapUnit = 1.0;
    float32NoData.reset();
    wholeNumberCells = false;
    loaded = false;
}

bool elevationRaster::read(std::ostream& console) {
    const std::string ending = endingNamed(path);
    if (debug) console << "Begin Reading " << ending << std::endl;
    if (path.empty()) return false;
    if (loaded) return true;
    if (rasterEndingOf(path).empty()) {
        console << "Can only read .tif file not " << lastFourCharacters(path) << std::endl;
        return false;
    }

    silenceGdalMessages();
    GDALAllRegister();
    const datasetHandle dataset = openRaster(path);
    if (!dataset) {
        console << "Not a valid " << ending.substr(1) << " file" << std::endl;
        return false;
    }

    // A file without georeference leaves GDAL's default transform here.
    geoTransform coefficients{{0, 1, 0, 0, 0, 1}};
    dataset->GetGeoTransform(coefficients.coefficients.data());
    if (dataset->GetRasterCount() < 1) {
        console << "No Raster Bands Found" << std::endl;
        return false;
    }
    setGdalTransform(coefficients);
    if (coefficients[3] == 0.0 || coefficients[0] == 0.0)
        console << "Warning: The Top Left corner of the raster is at (0,0)." << std::endl;

    if (dataset->GetRasterCount() > 1)
        console << "Warning: The " << ending << " holds " << dataset->GetRasterCount()
                << " bands, the elevations are read from band 1" << std::endl;
    readSpatialReference(*dataset, *this);

    GDALRasterBand* band = dataset->GetRasterBand(1);
    if (band == nullptr) {
        console << "No Raster Bands Found" << std::endl;
        return false;
    }
    width = static_cast<std::uint32_t>(std::max(band->GetXSize(), 0));
    height = static_cast<std::uint32_t>(std::max(band->GetYSize(), 0));
    int blockWidth = 0;
    int blockHeight = 0;
    band->GetBlockSize(&blockWidth, &blockHeight);
    if (!allocateCells(console, *this, blockWidth, blockHeight)) return failRead(*this);

    if (!isElevationType(band->GetRasterDataType())) {
        console << "Raster of unknown type, must be GDT_Float32" << std::endl;
        return failRead(*this);
    }
    if (!readCells(*dataset, *band, blockWidth, blockHeight, *this)) {
        console << "Error: Could not read the cells of the " << ending << std::endl;
        return failRead(*this);
    }
    if (!readScaleAndOffset(console, *band, *this)) return failRead(*this);
    float32NoData = noDataToKeep(*band, *this);

    if (debug) console << "Done Reading " << ending << std::endl;
    loaded = true;
    return true;
}

void elevationRaster::maskNoData(double threshold) {
    for (float& cell : cells)
        if (cell <= threshold) cell = std::numeric_limits<float>::quiet_NaN();
}

void elevationRaster::toElevations() {
    if (scale == 1.0 && offset == 0.0) return;
    for (float& cell : cells) {
        const double elevation = double(cell) * scale + offset;
        cell = std::fabs(elevation) <= double(FLT_MAX) ? static_cast<float>(elevation)
                                                       : std::numeric_limits<float>::quiet_NaN();
    }
}

cornerRecord elevationRaster::cornerAt(int c, int r) const {
    cornerRecord corner;
    corner.index = 0;
    corner.x = nodeX(c, r);
    corner.y = nodeY(c, r);
    const bool inside = c >= 0 && r >= 0 && std::uint32_t(c) < width && std::uint32_t(r) < height &&
                        cells.size() == std::size_t(width) * height;
    corner.z = inside ? double(cell(std::uint32_t(c), std::uint32_t(r))) : notANumber;
    return corner;
}

geoTransform elevationRaster::gdalTransform() const {
    return valuesAtCorners ? transform : transform.withOriginAt(-0.5, -0.5);
}

void elevationRaster::setGdalTransform(const geoTransform& gdal) {
    transform = valuesAtCorners ? gdal : gdal.withOriginAt(0.5, 0.5);
}

// Raster sizes come from GDAL's int sizes, so they fit an int.
std::array<cornerRecord, 4> rasterCorners(const elevationRaster& raster) {
    const int lastColumn = static_cast<int>(raster.width) - 1;
    const int lastRow = static_cast<int>(raster.height) - 1;
    return {raster.cornerAt(0, 0), raster.cornerAt(lastColumn, 0), raster.cornerAt(0, lastRow),
            raster.cornerAt(lastColumn, lastRow)};
}

}  // namespace kalvex
