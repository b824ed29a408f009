// Reading the benchmark scenes once per process.
#include "bench/benchScenes.h"

#include <map>
#include <vector>

#include "app/plainStages.h"
#include "model/raster/rasterExtent.h"
#include "readers/pointFilter.h"
#include "tests/support/testSupport.h"

namespace kalvex::bench {

namespace {

constexpr double noDataThreshold = -32767.0;

preparedScene readScene(const std::string& name) {
    preparedScene prepared;
    alignmentModel model(testing::discardedConsole());
    if (!model.readRaster(scenePath(name) + "/dem.tif", noDataThreshold)) return prepared;
    const double width = mapWidth(model.state().raster);
    const double height = mapHeight(model.state().raster);
    const double size = height > width ? height : width;
    std::vector<pointFilter> filters;
    if (!model.readTracksInBox(scenePath(name) + "/tracks.csv", filters, size * 0.5)) return prepared;
    prepared.rms = planeStage(model);
    prepared.read = model.state();
    prepared.padding = size / 10.0;
    prepared.delta = prepared.padding / 50.0;
    return prepared;
}

}  // namespace

std::string scenePath(const std::string& name) { return std::string(KALVEX_BINARY_DIR) + "/benchdata/" + name; }

const preparedScene& scene(const std::string& name) {
    static std::map<std::string, preparedScene> scenes;
    auto found = scenes.find(name);
    if (found == scenes.end()) found = scenes.emplace(name, readScene(name)).first;
    return found->second;
}

}  // namespace kalvex::bench
