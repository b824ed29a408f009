#include <memory>
#include <string>

#include "readers/fileReader.h"
#include "readers/gpfReader.h"
#include "readers/repReader.h"

namespace kalvex {

std::unique_ptr<tiePointReader> makeTiePointReader(const std::string& fileName) {
    if (fileName.size() < 4)
        return nullptr;
    const std::string ending = fileName.substr(fileName.size() - 4);
    if (ending == ".rep")
        return std::make_unique<repReader>(fileName);
    if (ending == ".gpf")
        return std::make_unique<gpfReader>(fileName);
    return nullptr;
}

}  // namespace kalvex
