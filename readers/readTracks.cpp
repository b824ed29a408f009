#include <iostream>

#include "model/alignmentModel.h"
#include "model/rasterExtent.h"
#include "readers/fileReader.h"

namespace kalvex {

namespace {

bool readTracksWithin(alignmentModel& model, const std::string& fileName, std::vector<pointFilter>& filters,
                      const valueRange& lonRange, const valueRange& latRange) {
    const std::unique_ptr<molaReader> reader = makeTrackReader(fileName);
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

}  // namespace

bool alignmentModel::readTracks(const std::string& fileName, std::vector<pointFilter>& filters) {
    return readTracksWithin(*this, fileName, filters, std::nullopt, std::nullopt);
}

bool alignmentModel::readTracksInBox(const std::string& fileName, std::vector<pointFilter>& filters,
                                     double margin) {
    const mapBox box = boxAround(raster, margin);
    return readTracksWithin(*this, fileName, filters, std::make_pair(box.xmin, box.xmax),
                            std::make_pair(box.ymin, box.ymax));
}

}  // namespace kalvex
