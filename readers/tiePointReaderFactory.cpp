#include <memory>
#include <string>

#include "model/fileNames.h"
#include "readers/fileReader.h"
#include "readers/gpfReader.h"
#include "readers/repReader.h"

namespace kalvex {

std::unique_ptr<tiePointReader> makeTiePointReader(const std::string& fileName, std::ostream& console) {
    const std::string ending = lastFourCharacters(fileName);
    if (ending == ".rep")
        return std::make_unique<repReader>(fileName, console);
    if (ending == ".gpf")
        return std::make_unique<gpfReader>(fileName, console);
    return nullptr;
}

}  // namespace kalvex
