#include "readers/tabReader.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "readers/numberConversion.h"
#include "readers/trackColumns.h"

namespace kalvex {

namespace {

bool isBlank(int character) { return character != EOF && std::isspace(character); }

enum class fieldAhead { none, empty, text };

// Skips the blanks before the next field. Two tabs with nothing between them
// hold an empty field, as a tab-separated export writes an empty cell; the
// first of them is consumed, the second separates the empty field from the
// next.
fieldAhead nextField(std::istream& fields, bool firstField) {
    while (isBlank(fields.peek())) {
        const bool tab = fields.get() == '\t';
        if (tab && !firstField && fields.peek() == '\t') return fieldAhead::empty;
    }
    return fields.peek() == EOF ? fieldAhead::none : fieldAhead::text;
}

void skipRestOfWord(std::istream& fields) {
    while (fields.peek() != EOF && !isBlank(fields.peek())) fields.get();
}

std::vector<std::string> splitAtBlanks(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    std::string word;
    while (stream >> word) words.push_back(word);
    return words;
}

// Reads a row straight from the line, word by word, so that a key column that
// is no number costs exactly its own word.
class wordParser {
public:
    wordParser(const trackColumns& keyColumns, std::vector<pointFilter>& rowFilters, bool verboseMessages)
        : columns(keyColumns), filters(rowFilters), verbose(verboseMessages) {}

    rowOutcome read(const std::string& line, long lineNumber, molaPoint& point) {
        std::istringstream fields(line);
        for (int column = 0;; ++column) {
            const fieldAhead ahead = nextField(fields, column == 0);
            if (ahead == fieldAhead::none) break;
            if (ahead == fieldAhead::empty) {
                if (offerEmptyField(column, lineNumber, point)) return rowOutcome::removed;
            } else if (column == columns.longitude) {
                readKeyValue(fields, point.x, "Longitude", lineNumber, column);
            } else if (column == columns.latitude) {
                readKeyValue(fields, point.y, "Latitude", lineNumber, column);
            } else if (column == columns.elevation) {
                readKeyValue(fields, point.elevation, "Topology", lineNumber, column);
            } else {
                std::string word;
                fields >> word;
                if (offerDelimitedField(word, column, lineNumber, columns, filters, point)) return rowOutcome::removed;
            }
        }
        const bool complete = !std::isnan(point.x) && !std::isnan(point.y) && !std::isnan(point.elevation);
        return complete ? rowOutcome::complete : rowOutcome::incomplete;
    }

private:
    // An empty cell leaves a key value missing; any other column gets the
    // empty text, as in a comma-separated table.
    bool offerEmptyField(int column, long lineNumber, molaPoint& point) {
        if (column == columns.longitude) return reportMissing("Longitude", lineNumber, column);
        if (column == columns.latitude) return reportMissing("Latitude", lineNumber, column);
        if (column == columns.elevation) return reportMissing("Topology", lineNumber, column);
        return offerDelimitedField(std::string(), column, lineNumber, columns, filters, point);
    }

    // The number is read straight from the line. A word that does not start
    // with a usable number is passed over whole, so that the fields after it
    // keep their columns.
    void readKeyValue(std::istream& fields, double& value, const char* what, long lineNumber, int column) {
        double number = notANumber;
        if (fields >> number && isUsableValue(number)) {
            value = number;
            return;
        }
        reportMissing(what, lineNumber, column);
        fields.clear();
        skipRestOfWord(fields);
    }


    // The row is not removed: it only lacks the value.
    bool reportMissing(const char* what, long lineNumber, int column) const {
        if (verbose)
            std::cout << "Error: Couldn't convert the " << what << " Value in row " << lineNumber << " and column "
                      << column + 1 << std::endl;
        return false;
    }

    const trackColumns& columns;
    std::vector<pointFilter>& filters;
    bool verbose;
};

}  // namespace

bool tabReader::read(const valueRange& lonRange, const valueRange& latRange) {
    const openingResult opening = openingSteps(*this, ".tab", "Can only read .tab file not ");
    if (opening != openingResult::proceed) return opening == openingResult::alreadyRead;
    const trackBox box(lonRange, latRange);

    std::ifstream file(fileName);
    skipByteOrderMark(file);
    std::string header;
    readTableLine(file, header);
    const trackColumns columns = recognizeColumns(splitAtBlanks(header), filters, "tab");
    if (!checkColumns(columns, filters)) return false;
    if (verbose) printColumnLines(columns);

    wordParser parser(columns, filters, verbose);
    const rowParser parseRow = [&parser](const std::string& line, long lineNumber, molaPoint& point) {
        return parser.read(line, lineNumber, point);
    };
    const long trimmedCount = readDelimitedRows(file, parseRow, box, orbits, points);
    printReadCounts(verbose, trimmedCount, points.size());
    isRead = true;
    return true;
}

}  // namespace kalvex
