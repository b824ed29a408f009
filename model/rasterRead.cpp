#include <cmath>
#include <iostream>
#include <string>

#include "model/alignmentModel.h"

namespace kalvex {

namespace {

// The outline of the raster as read: top-left, top-right, bottom-left,
// bottom-right. Raster sizes come from GDAL's int sizes, so they fit an int.
std::array<cornerRecord, 4> rasterCorners(const elevationRaster& raster) {
    const int lastColumn = static_cast<int>(raster.width) - 1;
    const int lastRow = static_cast<int>(raster.height) - 1;
    return {raster.cornerAt(0, 0), raster.cornerAt(lastColumn, 0), raster.cornerAt(0, lastRow),
            raster.cornerAt(lastColumn, lastRow)};
}

void printCorner(const std::string& label, const cornerRecord& corner) {
    std::cout << label << corner.index << ":" << corner.x << ":" << corner.y << ":" << corner.z << std::endl;
}

}  // namespace

bool alignmentModel::readRaster(const std::string& path, double noDataThreshold) {
    raster.reset(path);
    raster.debug = debug;
    if (!raster.read()) return false;
    if (!std::isnan(noDataThreshold)) raster.maskNoData(noDataThreshold);

    corners = rasterCorners(raster);
    if (debug) {
        printCorner("Top Left: ", corners[0]);
        printCorner("Top Right: ", corners[1]);
        printCorner("Bottom Left: ", corners[2]);
        printCorner("Bottom Right: ", corners[3]);
    }
    notReady = molaPoints.empty();
    return true;
}

void alignmentModel::setTopLeft(double x, double y) {
    raster.transform[0] = x;
    raster.transform[3] = y;
    // Once tracks are held the corners keep the outline they were read with.
    if (notReady) corners = rasterCorners(raster);
}

}  // namespace kalvex
