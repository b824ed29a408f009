#include "readers/fileReader.h"

#include <memory>
#include <string>

#include "model/fileNames.h"
#include "readers/csvReader.h"
#include "readers/dbfReader.h"
#include "readers/gpfReader.h"
#include "readers/repReader.h"
#include "readers/tabReader.h"

namespace kalvex {

std::unique_ptr<molaReader> makeTrackReader(const std::string& fileName, std::ostream& console) {
    const std::string ending = lastFourCharacters(fileName);
    if (ending == ".csv") return std::make_unique<csvReader>(fileName, console);
    if (ending == ".tab") return std::make_unique<tabReader>(fileName, console);
    if (ending == ".dbf") return std::make_unique<dbfReader>(fileName, console);
    return nullptr;
}

std::unique_ptr<tiePointReader> makeTiePointReader(const std::string& fileName, std::ostream& console) {
    const std::string ending = lastFourCharacters(fileName);
    if (ending == ".rep")
        return std::make_unique<repReader>(fileName, console);
    if (ending == ".gpf")
        return std::make_unique<gpfReader>(fileName, console);
    return nullptr;
}

}  // namespace kalvex
