#pragma once
// Altimeter tracks from a table whose columns are separated by white space and
// whose first line names the columns.
#include <string>
#include <utility>

#include "readers/fileReader.h"

namespace kalvex {

class tabReader : public molaReader {
public:
    tabReader(std::string name, std::ostream& console) : molaReader(std::move(name), console) {}
    ~tabReader() override = default;
    using molaReader::read;
    bool read(const valueRange& lonRange, const valueRange& latRange) override;
};

}  // namespace kalvex
