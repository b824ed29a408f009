#include <iostream>

#include "model/alignmentModel.h"
#include "model/rasterExtent.h"
#include "readers/fileReader.h"

namespace kalvex {

namespace {

bool readTracksWithin(alignmentModel& model, const std::string& fileName, std::vector<pointFilter>& filters,
                      const valueRange& lonRange, const valueRange& latRange) {
    const std::unique_ptr<molaReader> reader = makeTrackReader(fileName, std::cout);
    if (!reader) return false;
    reader->verbose = model.debug;
    reader->filters.insert(reader->filters.end(), filters.begin(), filters.end());
    if (!reader->read(lonRange, latRange)) return false;

    model.molaPoints = reader->getPoints();
    model.orbits = reader->getOrbits();
    model.trackWeights.assign(model.orbits.size(), 1.0);
    // The caller learns which filters removed nothing.
    for (std::size_t i = 0; i < filters.size(); ++i) filters[i].removedCount = reader->filters[i].removedCount;

    if (model.molaPoints.empty()) {
        model.notReady = true;
        return false;
    }
    model.notReady = !model.raster.loaded;
    if (model.debug) std::cout << "Number of Mola: " << model.molaPoints.size() << std::endl;
    return true;
}

// Distance from a longitude to the raster's own longitude range.
double distanceOutside(double x, const mapBox& raster) {
    if (x < raster.xmin) return raster.xmin - x;
    if (x > raster.xmax) return x - raster.xmax;
    return 0.0;
}

// A raster counting longitudes 0 to 360 and one counting -180 to 180 hold
// the same shots; a single wrap into [-180, 180] can leave a shot a turn
// away from a raster that spans more than half a turn. Each shot goes to the
// turn that places it on the raster's longitudes, or nearest to them.
void placeLongitudesOnRaster(std::vector<molaPoint>& points, const elevationRaster& raster) {
    if (!looksLikeDegrees(raster)) return;
    const mapBox longitudes = boxAround(raster, 0.0);
    for (molaPoint& point : points) {
        double best = point.x;
        for (const double turns : {-2.0, -1.0, 1.0, 2.0}) {
            const double moved = point.x + 360.0 * turns;
            if (distanceOutside(moved, longitudes) < distanceOutside(best, longitudes)) best = moved;
        }
        point.x = best;
    }
}

}  // namespace

bool alignmentModel::readTracks(const std::string& fileName, std::vector<pointFilter>& filters) {
    return readTracksWithin(*this, fileName, filters, std::nullopt, std::nullopt);
}

bool alignmentModel::readTracksInBox(const std::string& fileName, std::vector<pointFilter>& filters,
                                     double margin) {
    const mapBox box = boxAround(raster, margin);
    if (!readTracksWithin(*this, fileName, filters, std::make_pair(box.xmin, box.xmax),
                          std::make_pair(box.ymin, box.ymax)))
        return false;
    placeLongitudesOnRaster(molaPoints, raster);
    return true;
}

}  // namespace kalvex
