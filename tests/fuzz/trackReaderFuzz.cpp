// Feeds arbitrary bytes to the track reader of the ending that the build names
// (KALVEX_FUZZ_EXTENSION): unbounded and quiet, then bounded, verbose and with
// filters, then through the model, and checks what every read promises.
#include <cmath>
#include <set>
#include <sstream>

#include "app/alignmentModel.h"
#include "readers/fileReader.h"
#include "tests/fuzz/fuzzSupport.h"

using namespace kalvex;
using kalvex::fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ostringstream console;
    const std::string path = fuzzing::scratchFile(data, size, KALVEX_FUZZ_EXTENSION);
    std::vector<pointFilter> filters = {pointFilter(pointFilter::equalTo, "orbit", 7),
                                        pointFilter(pointFilter::lessThan, "c", 2),
                                        pointFilter(pointFilter::greaterThan, "ofnadang", 15)};
    for (const bool bounded : {false, true}) {
        const std::unique_ptr<molaReader> reader = makeTrackReader(path, console);
        reader->verbose = bounded;
        if (bounded) reader->filters = filters;
        const valueRange lon = bounded ? valueRange({-30.0, 30.0}) : std::nullopt;
        const valueRange lat = bounded ? valueRange({-60.0, 60.0}) : std::nullopt;
        const bool succeeded = reader->read(lon, lat);
        require(succeeded == reader->isRead, "a read succeeds exactly when it marks the reader as read");
        for (const molaPoint& point : reader->points) {
            require(point.trackIndex >= 0 && std::size_t(point.trackIndex) < reader->orbits.size(),
                    "every point's track index names one of the orbits");
            require(std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.elevation),
                    "a kept point has finite coordinates and elevation");
            require(!bounded || (lon->first <= point.x && point.x <= lon->second && lat->first <= point.y &&
                                 point.y <= lat->second), "a bounded read keeps its points in the box");
        }
        require(std::set<std::int32_t>(reader->orbits.begin(), reader->orbits.end()).size() == reader->orbits.size(),
                "every orbit is listed once");
        const std::size_t count = reader->points.size();
        require(!succeeded || (reader->read(lon, lat) && reader->points.size() == count),
                "a second read changes nothing");
    }
    alignmentModel model(console);
    const runState& read = model.state();
    if (model.readTracks(path, filters))
        require(read.trackWeights.size() == read.orbits.size() && !read.molaPoints.empty(),
                "a successful model read holds points and one weight per orbit");
    return 0;
}
