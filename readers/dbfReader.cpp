#include "readers/dbfReader.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "readers/numberConversion.h"
#include "readers/trackColumns.h"

namespace kalvex {

namespace {

constexpr std::size_t fixedHeaderSize = 32;
constexpr std::size_t descriptorSize = 32;
constexpr std::size_t nameSize = 11;
constexpr std::size_t typeOffset = 11;
constexpr std::size_t lengthOffset = 16;
constexpr unsigned char descriptorTerminator = 0x0D;

// The bytes of a name or value up to the first NUL byte, if any.
std::string textBeforeNul(const char* bytes, std::size_t length) {
    return std::string(bytes, std::find(bytes, bytes + length, '\0'));
}

void reportDamage(std::ostream& console, const std::string& what) {
    console << "Error: The .dbf header is damaged: " << what << std::endl;
}

dbfField descriptorAt(const std::vector<unsigned char>& header, std::size_t offset) {
    const unsigned char* bytes = header.data() + offset;
    dbfField field;
    field.name = lowerCase(textBeforeNul(reinterpret_cast<const char*>(bytes), nameSize));
    field.index = static_cast<std::int32_t>(offset / descriptorSize) - 1;
    field.type = static_cast<char>(bytes[typeOffset]);
    field.length = bytes[lengthOffset];
    return field;
}

// Reads the header and its field descriptors, leaving the file at the first
// record, and the number of records the header lists. A header that
// contradicts itself or the file is reported, and then nothing of the table
// can be trusted.
std::optional<std::vector<dbfField>> readHeader(std::ostream& console, std::istream& file, bool verbose,
                                                std::uint32_t& listedRecords) {
    std::vector<unsigned char> header(fixedHeaderSize);
    if (!file.read(reinterpret_cast<char*>(header.data()), std::streamsize(fixedHeaderSize))) {
        reportDamage(console, "the file is too short to hold a header");
        return std::nullopt;
    }
    const std::size_t headerLength = std::size_t(header[8]) | (std::size_t(header[9]) << 8);
    listedRecords = 0;
    for (std::size_t k = 0; k < 4; ++k) listedRecords |= std::uint32_t(header[4 + k]) << (8 * k);
    if (headerLength < fixedHeaderSize + 1) {
        reportDamage(console,
                     "its length of " + std::to_string(headerLength) + " bytes is too short for a table header");
        return std::nullopt;
    }
    if (verbose) console << "Number of Bits in Header: " << unsigned(headerLength - 8) << std::endl;
    header.resize(headerLength);
    const std::streamsize rest = std::streamsize(headerLength - fixedHeaderSize);
    if (!file.read(reinterpret_cast<char*>(header.data() + fixedHeaderSize), rest)) {
        reportDamage(console, "its length of " + std::to_string(headerLength) + " bytes runs past the end of the file");
        return std::nullopt;
    }
    std::vector<dbfField> fields;
    for (std::size_t offset = fixedHeaderSize; offset < headerLength - 8; offset += descriptorSize) {
        // Some variants keep further data between the descriptors and the records.
        if (header[offset] == descriptorTerminator) break;
        if (offset + descriptorSize > headerLength) {
            reportDamage(console, "field descriptor " + std::to_string(fields.size() + 1) +
                                      " runs past the end of the header");
            return std::nullopt;
        }
        fields.push_back(descriptorAt(header, offset));
        if (verbose) console << fields.back().index + 1 << " : " << fields.back().name << std::endl;
    }
    return fields;
}

class recordParser {
public:
    recordParser(std::ostream& messages, const std::vector<dbfField>& tableFields, const trackColumns& keyColumns,
                 std::vector<pointFilter>& recordFilters)
        : console(messages), fields(tableFields), columns(keyColumns), filters(recordFilters) {}

    // Returns true when the record gives a complete point that no filter removed.
    bool read(const std::vector<char>& record, long recordNumber, molaPoint& point) {
        bool dropped = record[0] == '*';
        std::size_t offset = 1;
        for (const dbfField& field : fields) {
            const std::size_t length = std::size_t(field.length);
            const char* start = record.data() + offset;
            const std::string_view text(start, std::size_t(std::find(start, start + length, '\0') - start));
            offset += length;
            if (offerField(field.index, text, recordNumber, point)) dropped = true;
        }
        return !dropped && !std::isnan(point.x) && !std::isnan(point.y) && !std::isnan(point.elevation);
    }

private:
    void convertKeyField(std::string_view text, double& value, const char* what, long recordNumber, int column) {
        const std::optional<double> converted = leadingFiniteDouble(text);
        if (converted)
            value = *converted;
        else
            console << "Warning: Couldn't convert the " << what << " Value in row " << recordNumber
                    << " and column " << column + 1 << std::endl;
    }

    // Returns true when a filter removes the record. Every filter sees its
    // field, also in a record that is already removed.
    bool offerField(int column, std::string_view text, long recordNumber, molaPoint& point) {
        if (column == columns.longitude) {
            convertKeyField(text, point.x, "Longitude", recordNumber, column);
            return false;
        }
        if (column == columns.latitude) {
            convertKeyField(text, point.y, "Latitude", recordNumber, column);
            return false;
        }
        if (column == columns.elevation) {
            convertKeyField(text, point.elevation, "Topography", recordNumber, column);
            return false;
        }
        if (column == columns.orbit) {
            const std::optional<std::int32_t> orbit = leadingInt32(text);
            if (orbit)
                point.trackIndex = *orbit;
            else
                console << "Warning: Couldn't convert the orbit value in row " << recordNumber << " and column "
                        << column + 1 << std::endl;
        }
        const auto reportFailure = [&](const pointFilter&) {
            console << "Warning: Couldn't convert the Filter Value in row " << recordNumber << " and column "
                    << column + 1 << std::endl;
        };
        // Most columns carry no filter; they cost no more than this look.
        const bool filtered =
            std::any_of(filters.begin(), filters.end(), [column](const pointFilter& filter) { return filter.column == column; });
        return filtered && applyFilters(filters, column, text, false, reportFailure);
    }

    std::ostream& console;
    const std::vector<dbfField>& fields;
    const trackColumns& columns;
    std::vector<pointFilter>& filters;
};

std::size_t recordLengthOf(const std::vector<dbfField>& fields) {
    std::size_t length = 1;
    for (const dbfField& field : fields) length += std::size_t(field.length);
    return length;
}

}  // namespace

bool dbfReader::read(const valueRange& lonRange, const valueRange& latRange) {
    if (verbose) console << "Begin Reading .dbf" << std::endl;
    const openingResult opening = openingSteps(console, *this, ".dbf", "Can only read .dbf file not ");
    if (opening != openingResult::proceed) return opening == openingResult::alreadyRead;
    trackBox box(lonRange, latRange);

    std::ifstream file(fileName, std::ios::binary);
    std::vector<dbfField> fields;
    std::optional<std::uint32_t> listedRecords;
    if (file.is_open()) {
        std::uint32_t listed = 0;
        std::optional<std::vector<dbfField>> header = readHeader(console, file, verbose, listed);
        if (!header) return false;
        fields = std::move(*header);
        listedRecords = listed;
    }
    std::vector<std::string> names;
    for (const dbfField& field : fields) names.push_back(field.name);
    const trackColumns columns = recognizeColumns(console, names, filters, "dbf");
    if (!checkColumns(console, columns, filters)) return false;

    recordParser parser(console, fields, columns, filters);
    std::vector<char> record(recordLengthOf(fields));
    long trimmedCount = 0;
    long recordNumber = 1;
    // A record cut short by the end of the file, the end-of-file marker among
    // them, is no record.
    for (; file.read(record.data(), std::streamsize(record.size())); ++recordNumber) {
        molaPoint point;
        if (!parser.read(record, recordNumber, point))
            ++trimmedCount;
        else if (box.admits(point))
            appendTrackPoint(point, orbits, points);
    }
    outsideBox = box.turnedAway();
    // A table still being copied, or cut short, reads like a complete one of fewer records.
    const long recordsRead = recordNumber - 1;
    if (listedRecords && long(*listedRecords) != recordsRead)
        console << "Warning: The .dbf header lists " << *listedRecords << " records, the file holds " << recordsRead
                << std::endl;
    printReadCounts(console, verbose, trimmedCount, points.size());
    file.close();
    if (verbose) console << "Done Reading .dbf" << std::endl;
    isRead = true;
    return true;
}

}  // namespace kalvex
