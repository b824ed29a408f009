#include "readers/csvReader.h"

#include <cctype>
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

// Converts a key field; a field that is not a finite number leaves the value missing.
void convertKeyField(std::ostream& console, std::string_view field, double& value, const std::string& messageStart,
                     long lineNumber, int column) {
    const std::optional<double> converted = leadingFiniteDouble(field);
    if (converted) {
        value = *converted;
        return;
    }
    console << messageStart << field << " in row " << lineNumber << " and column " << column + 1 << std::endl;
}

struct fieldCut {
    std::string text;
    std::size_t next = 0;  // where the following field starts
    bool last = true;
};

fieldCut cutAtComma(const std::string& line, std::size_t start, std::string text) {
    const std::size_t comma = line.find(',', start);
    if (comma == std::string::npos) return {text + line.substr(start), 0, true};
    return {text + line.substr(start, comma - start), comma + 1, false};
}

// A field that opens with a double quote (blanks before it dropped) is what
// the quotes hold, a doubled quote standing for one and commas included; text
// after the closing quote runs on to the next comma. Nothing without both
// quotes.
std::optional<fieldCut> cutQuotedField(const std::string& line, std::size_t start) {
    const std::size_t open = line.find_first_not_of(" \t", start);
    if (open == std::string::npos || line[open] != '"') return std::nullopt;
    std::string held;
    for (std::size_t i = open + 1; i < line.size(); ++i) {
        if (line[i] != '"') {
            held += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
            held += '"';
            ++i;
        } else {
            return cutAtComma(line, i + 1, held);
        }
    }
    return std::nullopt;
}

// The fields of a line with quotes.
std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::optional<fieldCut> quoted = cutQuotedField(line, start);
        const fieldCut cut = quoted ? *quoted : cutAtComma(line, start, std::string());
        fields.push_back(cut.text);
        if (cut.last) return fields;
        start = cut.next;
    }
}

// The fields of a line: with quotes, the texts that splitFields makes of it;
// without, the stretches between its commas, read in place.
void viewFields(const std::string& line, std::vector<std::string>& quotedFields,
                std::vector<std::string_view>& fields) {
    fields.clear();
    if (line.find('"') != std::string::npos) {
        quotedFields = splitFields(line);
        fields.assign(quotedFields.begin(), quotedFields.end());
        return;
    }
    const std::string_view text(line);
    std::size_t start = 0;
    for (std::size_t comma = text.find(','); comma != std::string_view::npos; comma = text.find(',', start)) {
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(text.substr(start));
}

// A key value written with a decimal comma, which only a quoted field can
// hold; read as a number, it would lose its fraction without a word.
std::optional<std::string> decimalCommaField(const std::vector<std::string_view>& fields,
                                             const trackColumns& columns) {
    for (const int column : {columns.longitude, columns.latitude, columns.elevation}) {
        if (column < 0 || std::size_t(column) >= fields.size()) continue;
        const std::string_view field = fields[std::size_t(column)];
        std::size_t at = field.find_first_not_of(" \t+-");
        const std::size_t digits = at;
        while (at < field.size() && std::isdigit(static_cast<unsigned char>(field[at]))) ++at;
        const bool comma = at > digits && at + 1 < field.size() && field[at] == ',';
        if (comma && std::isdigit(static_cast<unsigned char>(field[at + 1]))) return std::string(field);
    }
    return std::nullopt;
}

// The first data row tells whether the table writes its numbers with decimal
// commas; the table is left where it was.
std::optional<std::string> firstDecimalComma(std::istream& table, const trackColumns& columns) {
    const std::istream::pos_type start = table.tellg();
    std::string line;
    std::vector<std::string> quotedFields;
    std::vector<std::string_view> fields;
    std::optional<std::string> found;
    if (readTableLine(table, line)) {
        viewFields(line, quotedFields, fields);
        found = decimalCommaField(fields, columns);
    }
    table.clear();
    table.seekg(start);
    return found;
}

rowOutcome readRow(std::ostream& console, const std::vector<std::string_view>& fields, const trackColumns& columns,
                   long lineNumber, std::vector<pointFilter>& filters, molaPoint& point) {
    for (std::size_t position = 0; position < fields.size(); ++position) {
        const int column = static_cast<int>(position);
        const std::string_view field = fields[position];
        if (column == columns.longitude) {
            convertKeyField(console, field, point.x, "Warning: Couldn't convert the Longitude Value ", lineNumber,
                            column);
        } else if (column == columns.latitude) {
            convertKeyField(console, field, point.y, "Error: Couldn't convert the Latitude Value ", lineNumber, column);
        } else if (column == columns.elevation) {
            convertKeyField(console, field, point.elevation, "Error: Couldn't convert the Topology Value ", lineNumber,
                            column);
        } else if (offerDelimitedField(console, field, column, lineNumber, columns, filters, point)) {
            // The rest of a removed row is of no interest.
            return rowOutcome::removed;
        }
    }
    const bool complete = !std::isnan(point.x) && !std::isnan(point.y) && !std::isnan(point.elevation);
    return complete ? rowOutcome::complete : rowOutcome::incomplete;
}

}  // namespace

bool csvReader::read(const valueRange& lonRange, const valueRange& latRange) {
    if (verbose) console << "Start Reading .csv" << std::endl;
    const openingResult opening = openingSteps(console, *this, ".csv", "Can only read .csv file not ");
    if (opening != openingResult::proceed) return opening == openingResult::alreadyRead;
    trackBox box(lonRange, latRange);

    std::ifstream file(fileName);
    std::string header;
    if (!readTableHeader(console, fileName, file, true, header)) return false;
    std::vector<std::string> headerFields;
    std::vector<std::string_view> headerViews;
    viewFields(header, headerFields, headerViews);
    const trackColumns columns =
        recognizeColumns(console, std::vector<std::string>(headerViews.begin(), headerViews.end()), filters, "csv");
    if (!checkColumns(console, columns, filters)) return false;
    printColumnLines(console, columns);
    if (const std::optional<std::string> decimalComma = firstDecimalComma(file, columns)) {
        console << "Error: The .csv file writes its numbers with decimal commas (" << *decimalComma
                << "), kalvex reads numbers with a decimal point" << std::endl;
        return false;
    }

    std::vector<std::string> quotedFields;
    std::vector<std::string_view> fields;
    const rowParser parseRow = [&](const std::string& line, long lineNumber, molaPoint& point) {
        viewFields(line, quotedFields, fields);
        return readRow(console, fields, columns, lineNumber, filters, point);
    };
    const long trimmedCount = readDelimitedRows(console, file, parseRow, box, orbits, points);
    outsideBox = box.turnedAway();
    printReadCounts(console, verbose, trimmedCount, points.size());
    file.close();
    if (verbose) console << "Done Reading .csv" << std::endl;
    isRead = true;
    return true;
}

}  // namespace kalvex
