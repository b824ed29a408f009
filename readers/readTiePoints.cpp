#include <iostream>
#include <string>

#include "model/alignmentModel.h"
#include "readers/fileReader.h"

namespace kalvex {

// The initial copy stays as read while the stages move the tie points, so
// that the movement can be shown and reported.
bool alignmentModel::readTiePoints(const std::string& fileName) {
    const auto reader = makeTiePointReader(fileName, std::cout);
    if (!reader)
        return false;
    reader->verbose = debug;
    if (!reader->read())
        return false;
    tiePoints = reader->getPoints();
    tiePointIds = reader->getPointIds();
    initialTiePoints = tiePoints;
    return true;
}

}  // namespace kalvex
