#pragma once
// The reader family: one reader per input file, made by a factory from the
// file name, read once, its results copied out, destroyed by its owner.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "model/records.h"
#include "readers/pointFilter.h"

namespace kalvex {

// [minimum, maximum] of one axis of the box of a bounded read.
using valueRange = std::optional<std::pair<double, double>>;

class fileReader {
public:
    // Messages go to the console of the run that owns the reader.
    fileReader(std::string name, std::ostream& console) : fileName(std::move(name)), console(console) {}
    virtual ~fileReader() = default;
    virtual bool read() = 0;

    std::string fileName;
    std::ostream& console;
    bool isRead = false;
    bool verbose = false;
};

class molaReader : public fileReader {
public:
    using fileReader::fileReader;
    ~molaReader() override = default;
    bool read() override { return read(std::nullopt, std::nullopt); }
    virtual bool read(const valueRange& lonRange, const valueRange& latRange) = 0;

    std::vector<pointFilter> filters;
    std::vector<std::int32_t> orbits;
    std::vector<molaPoint> points;
    std::size_t outsideBox = 0;  // points read whole that a bounded read turned away
};

class tiePointReader : public fileReader {
public:
    using fileReader::fileReader;
    ~tiePointReader() override = default;

    std::vector<tiePoint> getPoints() const { return points; }
    std::vector<std::string> getPointIds() const { return pointIds; }

    std::vector<std::string> pointIds;
    std::vector<tiePoint> points;
};

// The reader for a file name's last four characters (case-sensitive), or none.
std::unique_ptr<molaReader> makeTrackReader(const std::string& fileName, std::ostream& console);
std::unique_ptr<tiePointReader> makeTiePointReader(const std::string& fileName, std::ostream& console);

}  // namespace kalvex
