#pragma once
// Ground point files: an optional point count, a comma separated header whose
// entries name the values of one point, then a stream of values.
#include <istream>
#include <optional>
#include <string>

#include "readers/fileReader.h"

namespace kalvex {

class gpfReader : public tiePointReader {
public:
    using tiePointReader::tiePointReader;
    ~gpfReader() override = default;
    bool read() override;

    // A point may hold at most this many values; a header asking for more is
    // taken as broken rather than read.
    static constexpr long long maxValuesPerPoint = 1000000;

private:
    // Position of each keyword's first value within a point; a column may
    // lie anywhere, even below zero, when a header has negative counts.
    struct headerLayout {
        std::optional<long long> idColumn;
        std::optional<long long> longitudeColumn;
        std::optional<long long> latitudeColumn;
        std::optional<long long> elevationColumn;
        long long valuesPerPoint = 0;
    };

    bool findHeader(std::istream& file, std::string& header, std::optional<long long>& listedCount) const;
    headerLayout parseHeader(const std::string& header) const;
    bool checkHeader(const headerLayout& layout) const;
    bool readPoint(std::istream& file, const headerLayout& layout);
};

}  // namespace kalvex
