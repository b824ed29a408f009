#pragma once
// Altimeter tracks from a comma-separated table whose first line names the columns.
#include <string>
#include <utility>

#include "readers/fileReader.h"

namespace kalvex {

class csvReader : public molaReader {
public:
    csvReader(std::string name, std::ostream& console) : molaReader(std::move(name), console) {}
    ~csvReader() override = default;
    using molaReader::read;
    bool read(const valueRange& lonRange, const valueRange& latRange) override;
};

}  // namespace kalvex
