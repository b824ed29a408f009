#include "readers/csvReader.h"
#include "readers/dbfReader.h"
#include "readers/fileReader.h"
#include "readers/tabReader.h"

namespace kalvex {

std::unique_ptr<molaReader> makeTrackReader(const std::string& fileName) {
    if (fileName.size() < 4) return nullptr;
    const std::string ending = fileName.substr(fileName.size() - 4);
    if (ending == ".csv") return std::make_unique<csvReader>(fileName);
    if (ending == ".tab") return std::make_unique<tabReader>(fileName);
    if (ending == ".dbf") return std::make_unique<dbfReader>(fileName);
    return nullptr;
}

}  // namespace kalvex
