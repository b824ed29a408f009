#include "readers/readTiePoints.h"

#include "readers/fileReader.h"

namespace kalvex {

std::optional<tiePointSet> readTiePointFile(std::ostream& console, const std::string& fileName, bool verbose) {
    const auto reader = makeTiePointReader(fileName, console);
    if (!reader) return std::nullopt;
    reader->verbose = verbose;
    if (!reader->read()) return std::nullopt;
    return tiePointSet{reader->getPoints(), reader->getPointIds()};
}

}  // namespace kalvex
