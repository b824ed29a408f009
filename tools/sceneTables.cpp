#include "tools/sceneTables.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>

#include "tools/sceneFiles.h"

namespace kalvex::scene {

namespace {

struct tableColumn {
    const char* title;          // header name in the text tables
    const char* fieldName;      // dBASE field name, at most 10 characters
    int width;                  // dBASE field length
    int decimals;
};

// 12 decimals of a degree are well below a millimetre on the ground.
const std::array<tableColumn, 5> columns{{{"lon", "LON", 24, 12},
                                          {"lat", "LAT", 24, 12},
                                          {"topography", "TOPOGRAPHY", 24, 9},
                                          {"orbit", "ORBIT", 9, 0},
                                          {"range", "RANGE", 24, 6}}};

using rowText = std::array<std::string, 5>;

rowText formatRow(const trackPoint& point) {
    return {fixed(point.lon, columns[0].decimals), fixed(point.lat, columns[1].decimals),
            fixed(point.topography, columns[2].decimals), std::to_string(point.orbit),
            fixed(point.range, columns[4].decimals)};
}

void writeDelimited(std::ostream& out, const trackSet& tracks, char separator) {
    for (std::size_t column = 0; column < columns.size(); ++column) {
        if (column > 0) out << separator;
        out << columns[column].title;
    }
    out << '\n';
    std::string line;
    for (const trackPoint& point : tracks.points) {
        rowText row = formatRow(point);
        line.clear();
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0) line += separator;
            line += row[column];
        }
        line += '\n';
        out << line;
    }
}

void appendLittleEndian(std::string& bytes, std::uint32_t value, int size) {
    for (int byte = 0; byte < size; ++byte) bytes += char((value >> (8 * byte)) & 0xffu);
}

int recordLength() {
    int length = 1;  // deletion flag
    for (const tableColumn& column : columns) length += column.width;
    return length;
}

std::string dbfHeader(std::size_t records) {
    std::string header;
    header += char(0x03);                                   // dBASE III without memo
    header += char(100);                                    // last update 2000-01-01, fixed so
    header += char(1);                                      // that a seed always gives the
    header += char(1);                                      // same bytes
    appendLittleEndian(header, std::uint32_t(records), 4);
    appendLittleEndian(header, std::uint32_t(32 + 32 * columns.size() + 1), 2);
    appendLittleEndian(header, std::uint32_t(recordLength()), 2);
    header.append(20, '\0');
    for (const tableColumn& column : columns) {
        std::string descriptor(32, '\0');
        descriptor.replace(0, std::string(column.fieldName).size(), column.fieldName);
        descriptor[11] = 'N';
        descriptor[16] = char(column.width);
        descriptor[17] = char(column.decimals);
        header += descriptor;
    }
    header += char(0x0d);
    return header;
}

// Numbers are right-aligned in their fields; a value too wide for its field
// would be cut, so it fails the whole table instead.
bool makeRecord(std::string& record, const rowText& row) {
    record.assign(1, ' ');
    for (std::size_t column = 0; column < columns.size(); ++column) {
        std::size_t width = std::size_t(columns[column].width);
        if (row[column].size() > width) return false;
        record.append(width - row[column].size(), ' ');
        record += row[column];
    }
    return true;
}

// Buffered by the stream, so even millions of points never sit in memory
// as one block of text.
bool finish(std::ofstream& out) {
    out.close();
    return !out.fail();
}

}  // namespace

bool writeCsv(const std::string& path, const trackSet& tracks) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    writeDelimited(out, tracks, ',');
    return finish(out);
}

bool writeTab(const std::string& path, const trackSet& tracks) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    writeDelimited(out, tracks, ' ');
    return finish(out);
}

bool writeDbf(const std::string& path, const trackSet& tracks) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << dbfHeader(tracks.points.size());
    std::string record;
    for (const trackPoint& point : tracks.points) {
        if (!makeRecord(record, formatRow(point))) return false;
        out << record;
    }
    out << char(0x1a);
    return finish(out);
}

}  // namespace kalvex::scene
