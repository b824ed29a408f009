#pragma once
// Ground point files: an optional point count, a comma separated header whose
// entries name the values of one point, then the values, point after point,
// usually one block of lines per point with blank lines between the blocks.
#include <istream>
#include <optional>
#include <string>
#include <vector>

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
    // The points of one way of reading the values, with the messages that
    // reading gives; out of step when a point lacked a value or a coordinate.
    struct pointReading {
        std::vector<tiePoint> points;
        std::vector<std::string> ids;
        std::vector<std::string> messages;
        bool inStep = true;
    };

    pointReading readValueStream(const std::string& text, const headerLayout& layout) const;
    pointReading readBlocks(const std::string& text, const headerLayout& layout) const;
    // Reads one point's values; false when the values ran out before the
    // point's last one. A point that is a block of its own ends with its block.
    bool readPoint(std::istream& values, const headerLayout& layout, bool blockEndsPoint,
                   pointReading& reading) const;
};

}  // namespace kalvex
