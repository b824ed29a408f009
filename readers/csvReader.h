#pragma once
// Altimeter tracks from a comma-separated table whose first line names the columns.
#include <string>
#include <utility>

#include "readers/fileReader.h"

namespace kalvex {

class csvReader : public molaReader {
public:
    explicit csvReader(std::string name) : molaReader(std::move(name)) {}
    ~csvReader() override = default;
    using molaReader::read;
    bool read(const valueRange& lonRange, const valueRange& latRange) override;
};

}  // namespace kalvex
