// Feeds arbitrary bytes to the track reader that the file ending selects
// (the build names the ending), unbounded and quiet, then bounded, verbose
// and with filters, and checks what every read promises about its points.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/alignmentModel.h"
#include "readers/fileReader.h"
#include "tests/fuzz/fuzzSupport.h"

#ifndef KALVEX_FUZZ_EXTENSION
#error "KALVEX_FUZZ_EXTENSION names the file ending of the reader under test"
#endif

namespace {

using namespace kalvex;
using kalvex::fuzzing::require;

std::vector<pointFilter> someFilters() {
    return {pointFilter(pointFilter::equalTo, "orbit", 7), pointFilter(pointFilter::lessThan, "c", 2),
            pointFilter(pointFilter::greaterThan, "ofnadang", 15), pointFilter(pointFilter::equalTo, "ptshotnum", 3)};
}

void checkPoints(const molaReader& reader, const valueRange& lonRange, const valueRange& latRange) {
    for (const molaPoint& point : reader.points) {
        require(point.trackIndex >= 0 && std::size_t(point.trackIndex) < reader.orbits.size(),
                "every point's track index names one of the orbits");
        require(std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.elevation),
                "a kept point has finite coordinates and elevation");
        if (lonRange && latRange) {
            require(lonRange->first <= point.x && point.x <= lonRange->second, "a bounded read keeps x in its box");
            require(latRange->first <= point.y && point.y <= latRange->second, "a bounded read keeps y in its box");
        }
    }
    for (std::size_t i = 0; i < reader.orbits.size(); ++i)
        for (std::size_t j = i + 1; j < reader.orbits.size(); ++j)
            require(reader.orbits[i] != reader.orbits[j], "every orbit is listed once");
    for (const pointFilter& filter : reader.filters) require(filter.removedCount >= 0, "filters count upwards");
}

void readOnce(const std::string& path, bool verbose, const valueRange& lonRange, const valueRange& latRange,
              const std::vector<pointFilter>& filters) {
    const std::unique_ptr<molaReader> reader = makeTrackReader(path);
    require(reader != nullptr, "the factory knows the ending");
    reader->verbose = verbose;
    reader->filters = filters;
    const bool succeeded = reader->read(lonRange, latRange);
    require(succeeded == reader->isRead, "a read succeeds exactly when it marks the reader as read");
    if (!succeeded) return;
    checkPoints(*reader, lonRange, latRange);
    const std::size_t count = reader->points.size();
    require(reader->read(lonRange, latRange) && reader->points.size() == count, "a second read changes nothing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const kalvex::fuzzing::scratchInput input(KALVEX_FUZZ_EXTENSION);
    if (!input.write(data, size)) return 0;
    const kalvex::fuzzing::silentConsole quiet;
    readOnce(input.path(), false, std::nullopt, std::nullopt, {});
    readOnce(input.path(), true, std::make_pair(-30.0, 30.0), std::make_pair(-60.0, 60.0), someFilters());

    // The model's read hands the filter counts back and keeps its lists whole.
    alignmentModel model;
    std::vector<pointFilter> filters = someFilters();
    if (model.readTracks(input.path(), filters)) {
        require(model.trackWeights.size() == model.orbits.size(), "one weight per orbit");
        require(!model.molaPoints.empty(), "a successful model read holds points");
    }
    return 0;
}
