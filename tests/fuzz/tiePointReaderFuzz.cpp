// Feeds arbitrary bytes to the tie point reader of the ending that the build
// names (KALVEX_FUZZ_EXTENSION), quiet and verbose, then through the model, and
// checks that every point it keeps has its identifier and finite coordinates.
#include <cmath>
#include <sstream>

#include "app/alignmentModel.h"
#include "readers/fileReader.h"
#include "tests/fuzz/fuzzSupport.h"

using namespace kalvex;
using kalvex::fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ostringstream console;
    const std::string path = fuzzing::scratchFile(data, size, KALVEX_FUZZ_EXTENSION);
    for (const bool verbose : {false, true}) {
        const std::unique_ptr<tiePointReader> reader = makeTiePointReader(path, console);
        reader->verbose = verbose;
        require(reader->read() == reader->isRead, "a read succeeds exactly when it marks the reader as read");
        require(reader->points.size() == reader->pointIds.size(), "one identifier per point");
        for (std::size_t i = 0; i < reader->points.size(); ++i) {
            const tiePoint& point = reader->points[i];
            require(point.idIndex >= 0 && std::size_t(point.idIndex) == i,
                    "a point's identifier index is its position");
            require(std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.elevation),
                    "a kept tie point has finite coordinates");
        }
    }
    alignmentModel model(console);
    const runState& read = model.state();
    if (model.readTiePoints(path))
        require(read.initialTiePoints.size() == read.tiePoints.size(), "the initial copy is whole");
    return 0;
}
