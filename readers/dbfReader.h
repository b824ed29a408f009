#pragma once
// Altimeter tracks from a dBASE table: the fields are the columns, the records the rows.
#include <cstdint>
#include <string>
#include <utility>

#include "readers/fileReader.h"

namespace kalvex {

// One field descriptor of the table header.
struct dbfField {
    std::string name;  // lower case
    std::int32_t index = 0;
    char type = 'C';
    std::int32_t length = 0;
};

class dbfReader : public molaReader {
public:
    dbfReader(std::string name, std::ostream& console) : molaReader(std::move(name), console) {}
    ~dbfReader() override = default;
    using molaReader::read;
    bool read(const valueRange& lonRange, const valueRange& latRange) override;
};

}  // namespace kalvex
