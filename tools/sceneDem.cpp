#include "tools/sceneDem.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <memory>

#include "model/raster/quietGdal.h"
#include "tools/sceneRandom.h"

namespace kalvex::scene {

namespace {

struct optionListDeleter {
    void operator()(char** list) const { CSLDestroy(list); }
};
using optionList = std::unique_ptr<char*, optionListDeleter>;

void fillCells(const sceneFrame& frame, const scenePerturbation& perturbation, sceneTerrain& terrain,
               std::vector<float>& cells) {
    terrain.prepareColumns(frame);
    cells.resize(std::size_t(frame.width) * std::size_t(frame.height));
    std::vector<double> elevations(std::size_t(frame.width));
    std::vector<double> tiltOfColumn(std::size_t(frame.width));
    for (int column = 0; column < frame.width; ++column)
        tiltOfColumn[std::size_t(column)] = perturbation.tiltX * (frame.writtenX(column) - perturbation.centreX);
    for (int row = 0; row < frame.height; ++row) {
        if (frame.rotation == 0.0) {
            terrain.row(frame, row, elevations);
        } else {
            // A turned grid has no rows of the terrain's own: every cell is evaluated.
            for (int column = 0; column < frame.width; ++column) {
                const mapPoint where = frame.trueCell(column, row);
                elevations[std::size_t(column)] = terrain.at(where.x, where.y);
            }
        }
        double rowShift = perturbation.offset + perturbation.tiltY * (frame.writtenY(row) - perturbation.centreY);
        float* out = cells.data() + std::size_t(row) * std::size_t(frame.width);
        for (std::size_t column = 0; column < elevations.size(); ++column)
            out[column] = float(elevations[column] + rowShift + tiltOfColumn[column]);
    }
}

// Holes away from the outermost cells, where kalvex would not look anyway.
int punchHoles(const sceneFrame& frame, std::uint64_t seed, std::vector<float>& cells) {
    sceneRandom random(seed, 3);
    long long area = (long long)(frame.width) * frame.height;
    int wanted = int(std::clamp<long long>(area / 20000, 3, 50));
    int made = 0;
    while (made < wanted) {
        std::size_t column = 2 + random.index(std::size_t(frame.width - 4));
        std::size_t row = 2 + random.index(std::size_t(frame.height - 4));
        float& cell = cells[row * std::size_t(frame.width) + column];
        if (cell == noDataValue) continue;
        cell = noDataValue;
        ++made;
    }
    return made;
}

// A block of no-data cells, such as a collar or a gap between images leaves.
int blankBlock(const sceneFrame& frame, const int (&block)[4], std::vector<float>& cells) {
    int blanked = 0;
    for (int row = block[1]; row < std::min(block[1] + block[3], frame.height); ++row)
        for (int column = block[0]; column < std::min(block[0] + block[2], frame.width); ++column) {
            float& cell = cells[std::size_t(row) * std::size_t(frame.width) + std::size_t(column)];
            blanked += cell == noDataValue ? 0 : 1;
            cell = noDataValue;
        }
    return blanked;
}

bool setCrs(GDALDataset& dataset, const sceneFrame& frame) {
    OGRSpatialReference reference;
    if (reference.importFromProj4(crsText(frame)) != OGRERR_NONE) return false;
    return dataset.SetSpatialRef(&reference) == CE_None;
}

}  // namespace

sceneDem makeDem(const sceneFrame& frame, const scenePerturbation& perturbation, sceneTerrain& terrain,
                 const sceneOptions& options) {
    sceneDem dem;
    fillCells(frame, perturbation, terrain, dem.cells);
    dem.noDataCells = punchHoles(frame, options.seed, dem.cells);
    dem.noDataCells += blankBlock(frame, options.noDataBlock, dem.cells);
    return dem;
}

bool writeDem(const std::string& path, const sceneFrame& frame, sceneDem& dem, bool deflate) {
    CPLErrorReset();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) return false;
    optionList options(CSLSetNameValue(nullptr, "TILED", "YES"));
    options.reset(CSLSetNameValue(options.release(), "BLOCKXSIZE", "256"));
    options.reset(CSLSetNameValue(options.release(), "BLOCKYSIZE", "256"));
    if (deflate) {
        options.reset(CSLSetNameValue(options.release(), "COMPRESS", "DEFLATE"));
        options.reset(CSLSetNameValue(options.release(), "NUM_THREADS", "ALL_CPUS"));
    }
    datasetHandle dataset(driver->Create(path.c_str(), frame.width, frame.height, 1, GDT_Float32, options.get()));
    if (!dataset) return false;
    std::array<double, 6> transform = frame.fileTransform();
    if (dataset->SetGeoTransform(transform.data()) != CE_None) return false;
    if (!setCrs(*dataset, frame)) return false;
    GDALRasterBand* band = dataset->GetRasterBand(1);
    if (band->SetNoDataValue(noDataValue) != CE_None) return false;
    if (band->RasterIO(GF_Write, 0, 0, frame.width, frame.height, dem.cells.data(), frame.width, frame.height,
                       GDT_Float32, 0, 0) != CE_None)
        return false;
    // Tiles reach the disk when the dataset closes, so a full disk shows up
    // only as an error raised during the close.
    dataset.reset();
    return CPLGetLastErrorType() != CE_Failure && CPLGetLastErrorType() != CE_Fatal;
}

}  // namespace kalvex::scene
