#pragma once
// Triangulation reports: the tie coordinates are the blocks of the GROUND
// POINT PARAMETERS section, one block per point.
#include <istream>
#include <optional>
#include <string>

#include "readers/fileReader.h"

namespace kalvex {

class repReader : public tiePointReader {
public:
    using tiePointReader::tiePointReader;
    ~repReader() override = default;
    bool read() override;

private:
    bool findTitle(std::istream& file) const;
    bool readBlock(std::istream& file, const std::string& blockLine);
};

}  // namespace kalvex
