#include "readers/gpfReader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <locale>
#include <ostream>
#include <sstream>
#include <vector>

#include "readers/numberConversion.h"
#include "readers/readerText.h"

namespace kalvex {

namespace {

bool onlyDigitsAndWhiteSpace(const std::string& line) {
    return std::all_of(line.begin(), line.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return std::isdigit(byte) != 0 || std::isspace(byte) != 0;
    });
}

// A data value must be a usable number and nothing else: a word with trailing
// text is a broken value, not a number followed by the next value.
std::optional<double> wholeWordAsDouble(const std::string& word) {
    std::istringstream text(word);
    text.imbue(std::locale::classic());
    double value = 0.0;
    if (!(text >> value) || text.peek() != std::char_traits<char>::eof() || !isUsableValue(value))
        return std::nullopt;
    return value;
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// The number of values an entry stands for: the integer after its first "(",
// else one.
long long valueCount(const std::string& entry) {
    const auto open = entry.find('(');
    if (open == std::string::npos)
        return 1;
    return leadingInt32(entry.substr(open + 1)).value_or(1);
}

// Keeps the running value counter finite whatever counts a header holds; any
// header that reaches the bounds is refused later for its size.
constexpr long long counterBound = 1LL << 40;

bool isOutsidePoint(const std::optional<long long>& column, long long valuesPerPoint) {
    return column && (*column < 0 || *column >= valuesPerPoint);
}

bool isBlank(const std::string& line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

std::string restOfFile(std::istream& file) {
    std::string text;
    std::string line;
    while (readTableLine(file, line)) {
        text += line;
        text += '\n';
    }
    return text;
}

// The text as blocks of lines separated by blank lines.
std::vector<std::string> blocksOf(const std::string& text) {
    std::vector<std::string> blocks(1);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!isBlank(line)) {
            blocks.back() += line;
            blocks.back() += '\n';
        } else if (!blocks.back().empty()) {
            blocks.emplace_back();
        }
    }
    if (blocks.back().empty()) blocks.pop_back();
    return blocks;
}

std::size_t wordCount(const std::string& text) {
    std::istringstream words(text);
    std::size_t count = 0;
    for (std::string word; words >> word;) ++count;
    return count;
}

}  // namespace

bool gpfReader::read() {
    switch (openingSteps(console, *this, ".gpf", "Can only read .gpf file not ")) {
        case openingResult::fail: return false;
        case openingResult::alreadyRead: return true;
        case openingResult::proceed: break;
    }

    std::ifstream file(fileName, std::ios::binary);
    if (!beginText(console, fileName, file)) return false;
    std::string header;
    std::optional<long long> listedCount;
    if (!findHeader(file, header, listedCount))
        return false;
    const headerLayout layout = parseHeader(header);
    if (!checkHeader(layout))
        return false;

    // A header that miscounts the values of a point puts the stream out of
    // step, or keeps it in step with points made of the wrong values, which
    // the listed count then contradicts. Each point's block of lines tells
    // the points apart, when every block holds one point, and the count
    // agrees with them.
    const std::string rest = restOfFile(file);
    pointReading reading = readValueStream(rest, layout);
    const bool countDisagrees = listedCount && *listedCount != static_cast<long long>(reading.points.size());
    if (!reading.inStep || countDisagrees) {
        pointReading byBlocks = readBlocks(rest, layout);
        const bool blocksGiveTheCount =
            listedCount && *listedCount == static_cast<long long>(byBlocks.points.size());
        if (byBlocks.inStep && (!reading.inStep || blocksGiveTheCount)) reading = std::move(byBlocks);
    }
    for (const std::string& message : reading.messages) console << message << std::endl;
    points = std::move(reading.points);
    pointIds = std::move(reading.ids);

    if (listedCount && *listedCount != static_cast<long long>(points.size()))
        console << "Warning: Did not find the number of points listed at the beginning of the .gpf file, only found "
                << points.size() << "/" << *listedCount << std::endl;
    isRead = true;
    return true;
}

bool gpfReader::findHeader(std::istream& file, std::string& header, std::optional<long long>& listedCount) const {
    std::string line;
    while (true) {
        const bool gotLine = readTableLine(file, line);
        if (gotLine && !listedCount && onlyDigitsAndWhiteSpace(line)) {
            if (const auto count = leadingInt32(line))
                listedCount = *count;
        }
        // A header without a line break after it ends the file: there can be
        // no points after it, and the file is taken as cut short.
        if (!gotLine || file.eof()) {
            console << "Could not find a comma separated header" << std::endl;
            return false;
        }
        if (contains(line, ",")) {
            header = line;
            return true;
        }
    }
}

gpfReader::headerLayout gpfReader::parseHeader(const std::string& header) const {
    headerLayout layout;
    long long counter = 0;
    for (const std::string& rawEntry : splitAtCommas(header)) {
        const std::string entry = lowerCase(rawEntry);
        if (contains(entry, "point_id")) {
            if (!layout.idColumn)
                layout.idColumn = counter;
        } else if (contains(entry, "lon")) {
            if (!layout.longitudeColumn)
                layout.longitudeColumn = counter;
            else
                console << "Warning: Found 2 or more occurances of \"lon\" in the .gpf header, column "
                        << *layout.longitudeColumn + 1 << " will be used" << std::endl;
        } else if (contains(entry, "lat")) {
            if (!layout.latitudeColumn)
                layout.latitudeColumn = counter;
            else
                console << "Warning: Found 2 or more occurances of \"lat\" in the .gpf header, column "
                        << *layout.latitudeColumn + 1 << " will be used" << std::endl;
        } else if (contains(entry, "ht") || contains(entry, "topo") || contains(entry, "elev")) {
            if (!layout.elevationColumn)
                layout.elevationColumn = counter;
            else
                console << "Warning: Found 2 or more occurances of \"ht\", \"topo\" or \"elev\" in the .gpf header, column "
                        << *layout.elevationColumn + 1 << " will be used" << std::endl;
        }
        counter = std::clamp(counter + valueCount(entry), -counterBound, counterBound);
    }
    layout.valuesPerPoint = counter;
    return layout;
}

bool gpfReader::checkHeader(const headerLayout& layout) const {
    if (!layout.idColumn)
        console << "Warning: Couldnt't find a column with the keyword \"point_id\", so point number will be used instead"
                << std::endl;
    if (!layout.longitudeColumn) {
        console << "Error: Could not find a column with the keyword \"lon\"" << std::endl;
        return false;
    }
    if (!layout.latitudeColumn) {
        console << "Error: Could not find a column with the keyword \"lat\"" << std::endl;
        return false;
    }
    if (!layout.elevationColumn) {
        console << "Error: Could not find a column with the keyword \"topo\"" << std::endl;
        return false;
    }
    const long long longitude = *layout.longitudeColumn;
    const long long latitude = *layout.latitudeColumn;
    const long long elevation = *layout.elevationColumn;
    if (longitude == latitude || longitude == elevation || latitude == elevation) {
        console << "Error: The same column included at least 2 of the keywords: \"topo\", \"lon\" or \"lat\". One "
                   "column should only contain one of these keywords"
                << std::endl;
        return false;
    }
    // Counts that leave no value to a point, or ask for more than any point
    // holds, would read nothing or everything as one point.
    if (layout.valuesPerPoint < 1 || layout.valuesPerPoint > maxValuesPerPoint) {
        console << "Error: The value counts in the .gpf header give " << layout.valuesPerPoint
                << " values per point, there must be between 1 and " << maxValuesPerPoint << std::endl;
        return false;
    }
    if (isOutsidePoint(layout.idColumn, layout.valuesPerPoint) ||
        isOutsidePoint(layout.longitudeColumn, layout.valuesPerPoint) ||
        isOutsidePoint(layout.latitudeColumn, layout.valuesPerPoint) ||
        isOutsidePoint(layout.elevationColumn, layout.valuesPerPoint)) {
        console << "Error: The value counts in the .gpf header place a keyword column outside the "
                << layout.valuesPerPoint << " values of a point" << std::endl;
        return false;
    }
    if (verbose) {
        console << "Longitude Column: " << longitude + 1 << std::endl;
        console << "Latitude Column: " << latitude + 1 << std::endl;
        console << "Topology Column: " << elevation + 1 << std::endl;
    }
    return true;
}

// The values as one stream, each point taking as many as the header counts,
// whatever the line breaks and blank lines between them.
gpfReader::pointReading gpfReader::readValueStream(const std::string& text, const headerLayout& layout) const {
    pointReading reading;
    std::istringstream values(text);
    while (readPoint(values, layout, false, reading)) {
    }
    return reading;
}

// Files whose header miscounts the values of a point (eigen lines of some
// layouts, commas inside a header entry) still give each point a block of
// its own. Read block by block only when every block holds exactly one
// point: a blank line elsewhere means nothing.
gpfReader::pointReading gpfReader::readBlocks(const std::string& text, const headerLayout& layout) const {
    pointReading reading;
    for (const std::string& block : blocksOf(text)) {
        if (wordCount(block) >= 2 * std::size_t(layout.valuesPerPoint)) reading.inStep = false;
        std::istringstream values(block);
        readPoint(values, layout, true, reading);
    }
    return reading;
}

// Reads the values of one point and keeps it when its three coordinates were
// read. In a stream a short final point is dropped without a word. A point
// that lacks a coordinate, or is cut short, puts the reading out of step.
bool gpfReader::readPoint(std::istream& values, const headerLayout& layout, bool blockEndsPoint,
                          pointReading& reading) const {
    const std::size_t pointNumber = reading.points.size() + 1;
    tiePoint point;
    bool hasLongitude = false;
    bool hasLatitude = false;
    bool hasElevation = false;
    std::string identifier;

    auto readCoordinate = [&](const std::string& word, double& value, const char* name, long long column) {
        const auto number = wholeWordAsDouble(word);
        if (number) {
            value = *number;
            return true;
        }
        if (verbose)
            reading.messages.push_back(std::string("Error: Couldn't convert the ") + name + " Value for point " +
                                       std::to_string(pointNumber) + " and column " + std::to_string(column + 1));
        return false;
    };

    for (long long position = 0; position < layout.valuesPerPoint; ++position) {
        std::string word;
        if (!(values >> word)) {
            if (blockEndsPoint)
                break;
            if (position > 0) reading.inStep = false;
            return false;
        }
        if (position == layout.idColumn)
            identifier = word;
        else if (position == layout.longitudeColumn)
            hasLongitude = readCoordinate(word, point.x, "Longitude", position);
        else if (position == layout.latitudeColumn)
            hasLatitude = readCoordinate(word, point.y, "Latitude", position);
        else if (position == layout.elevationColumn)
            hasElevation = readCoordinate(word, point.elevation, "Elevation", position);
    }

    if (hasLongitude && hasLatitude && hasElevation) {
        point.idIndex = static_cast<std::int32_t>(reading.points.size());
        reading.points.push_back(point);
        reading.ids.push_back(layout.idColumn ? identifier : std::to_string(pointNumber));
    } else {
        reading.inStep = false;
        reading.messages.push_back(
            "Warning: Couldnt find either the latitude, longitude, or topology value for point " +
            std::to_string(pointNumber));
    }
    return true;
}

}  // namespace kalvex
