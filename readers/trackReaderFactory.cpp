#include "model/fileNames.h"
#include "readers/csvReader.h"
#include "readers/dbfReader.h"
#include "readers/fileReader.h"
#include "readers/tabReader.h"

namespace kalvex {

std::unique_ptr<molaReader> makeTrackReader(const std::string& fileName) {
    const std::string ending = lastFourCharacters(fileName);
    if (ending == ".csv") return std::make_unique<csvReader>(fileName);
    if (ending == ".tab") return std::make_unique<tabReader>(fileName);
    if (ending == ".dbf") return std::make_unique<dbfReader>(fileName);
    return nullptr;
}

}  // namespace kalvex
