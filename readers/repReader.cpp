#include "readers/repReader.h"

#include <cstdint>
#include <fstream>
#include <ostream>
#include <sstream>

#include "readers/readerText.h"
#include "readers/sexagesimal.h"

namespace kalvex {

namespace {

void skipWords(std::istream& stream, int count) {
    std::string word;
    for (int i = 0; i < count; ++i)
        stream >> word;
}

void skipNonBlankCharacter(std::istream& stream) {
    char character = 0;
    stream >> character;
}

// Reads one coordinate of a block, or reports the point whose value cannot be
// turned into a coordinate.
std::optional<double> readCoordinate(std::ostream& console, std::istream& stream, bool degreesMinutesSeconds,
                                     const char* name, const std::string& identifier) {
    const auto value = readSexagesimal(stream, degreesMinutesSeconds);
    if (!value)
        console << "Error: Couldn't convert the " << name << " Value for point " << identifier
                << " in the .rep file" << std::endl;
    return value;
}

}  // namespace

bool repReader::read() {
    if (verbose)
        console << "Begin Reading .rep File" << std::endl;
    switch (openingSteps(console, *this, ".rep", "Can only read .rep file not ")) {
        case openingResult::fail: return false;
        case openingResult::alreadyRead: return true;
        case openingResult::proceed: break;
    }

    std::ifstream file(fileName, std::ios::binary);
    if (!beginText(console, fileName, file)) return false;
    if (!findTitle(file)) {
        console << "GROUND POINT PARAMETERS could not be found" << std::endl;
        return false;
    }

    std::string line;
    for (int skipped = 0; skipped < 3; ++skipped)
        readTableLine(file, line);
    std::string referenceLine;
    readTableLine(file, referenceLine);
    std::string blockLine;
    while (readTableLine(file, blockLine) && blockLine.size() == referenceLine.size()) {
        if (!readBlock(file, blockLine))
            return false;
    }

    if (verbose)
        console << "Done Reading .rep file" << std::endl;
    isRead = true;
    return true;
}

bool repReader::findTitle(std::istream& file) const {
    std::string rest;
    while (true) {
        char character = 0;
        while (file.get(character) && character != 'G') {
        }
        if (!file)
            return false;
        readTableLine(file, rest);
        if (rest.find("ROUND POINT PARAMETERS") != std::string::npos)
            return true;
    }
}

// A block: the identifier and longitude on the block line, the latitude and
// the elevation on the lines after it. A value that cannot be read ends the
// read, since no coordinate could stand in for it.
bool repReader::readBlock(std::istream& file, const std::string& blockLine) {
    std::istringstream first(blockLine);
    std::string identifier;
    first >> identifier;
    first.ignore(static_cast<std::streamsize>(blockLine.size()), ')');
    skipNonBlankCharacter(first);
    skipWords(first, 3);
    const auto longitude = readCoordinate(console, first, true, "Longitude", identifier);
    if (!longitude)
        return false;

    skipNonBlankCharacter(file);
    skipWords(file, 3);
    const auto latitude = readCoordinate(console, file, true, "Latitude", identifier);
    if (!latitude)
        return false;
    skipWords(file, 1);
    skipNonBlankCharacter(file);
    skipWords(file, 3);
    const auto elevation = readCoordinate(console, file, false, "Elevation", identifier);
    if (!elevation)
        return false;
    std::string skipped;
    readTableLine(file, skipped);
    readTableLine(file, skipped);

    tiePoint point;
    point.idIndex = static_cast<std::int32_t>(points.size());
    point.x = *longitude;
    point.y = *latitude;
    point.elevation = *elevation;
    points.push_back(point);
    pointIds.push_back(identifier);
    return true;
}

}  // namespace kalvex
