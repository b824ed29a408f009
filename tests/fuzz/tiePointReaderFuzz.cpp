// Feeds arbitrary bytes to the tie point reader that the file ending selects
// (the build names the ending), quiet and verbose, and checks that every
// point it keeps has its identifier and finite coordinates.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "model/alignmentModel.h"
#include "readers/fileReader.h"
#include "tests/fuzz/fuzzSupport.h"

#ifndef KALVEX_FUZZ_EXTENSION
#error "KALVEX_FUZZ_EXTENSION names the file ending of the reader under test"
#endif

namespace {

using namespace kalvex;
using kalvex::fuzzing::require;

void readOnce(const std::string& path, bool verbose) {
    const std::unique_ptr<tiePointReader> reader = makeTiePointReader(path);
    require(reader != nullptr, "the factory knows the ending");
    reader->verbose = verbose;
    const bool succeeded = reader->read();
    require(succeeded == reader->isRead, "a read succeeds exactly when it marks the reader as read");
    if (!succeeded) return;
    require(reader->points.size() == reader->pointIds.size(), "one identifier per point");
    for (std::size_t i = 0; i < reader->points.size(); ++i) {
        const tiePoint& point = reader->points[i];
        require(point.idIndex >= 0 && std::size_t(point.idIndex) == i, "a point's identifier index is its position");
        require(std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.elevation),
                "a kept tie point has finite coordinates");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const kalvex::fuzzing::scratchInput input(KALVEX_FUZZ_EXTENSION);
    if (!input.write(data, size)) return 0;
    const kalvex::fuzzing::silentConsole quiet;
    readOnce(input.path(), false);
    readOnce(input.path(), true);
    alignmentModel model;
    if (model.readTiePoints(input.path()))
        require(model.initialTiePoints.size() == model.tiePoints.size(), "the initial copy is whole");
    return 0;
}
