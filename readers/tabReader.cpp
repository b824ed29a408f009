#include "readers/tabReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "readers/numberConversion.h"
#include "readers/trackColumns.h"

namespace kalvex {

namespace {

// The blanks of the classic locale, which separate the words of a row.
bool isBlank(char character) {
    return character == ' ' || character == '\t' || character == '\n' || character == '\v' || character == '\f' ||
           character == '\r';
}

bool isDigit(char character) { return character >= '0' && character <= '9'; }

std::vector<std::string> splitAtBlanks(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    std::string word;
    while (stream >> word) words.push_back(word);
    return words;
}

// The characters that reading a double from a stream takes in the classic
// locale, and what it makes of them: an optional sign, the digits with one
// decimal point and an exponent (a run of leading zeros kept as one zero),
// converted by strtod, which must use them all; an overflow fails too.
struct streamedNumber {
    std::optional<double> value;
    std::size_t length = 0;  // characters taken, also when the reading fails
};

std::optional<double> convertedAsStreamed(const std::string& taken) {
    const char* start = taken.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    if (end == start || *end != '\0' || std::isinf(value)) return std::nullopt;
    return value;
}

streamedNumber streamNumber(std::string_view text) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const std::size_t firstDigit = at;
    bool mantissa = false;
    while (at < text.size() && text[at] == '0') {
        mantissa = true;
        ++at;
    }
    const std::size_t zeros = at - firstDigit;
    bool point = false;
    bool exponent = false;
    while (at < text.size()) {
        const char c = text[at];
        if (isDigit(c)) {
            mantissa = true;
        } else if (c == '.' && !point && !exponent) {
            point = true;
        } else if ((c == 'e' || c == 'E') && !exponent && mantissa) {
            exponent = true;
            if (at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-')) ++at;
        } else {
            break;
        }
        ++at;
    }
    // The common number: the characters taken are those strtod would see (a
    // plus sign aside, which changes no value).
    const std::size_t sign = !text.empty() && text[0] == '+' ? 1 : 0;
    const std::string_view number = text.substr(sign, at - sign);
    if (zeros <= 1) {
        if (const std::optional<double> quick = wholePlainDecimal(number)) return {quick, at};
    }
    std::string taken(text.substr(0, firstDigit));
    if (zeros > 0) taken += '0';
    taken += text.substr(firstDigit + zeros, at - firstDigit - zeros);
    return {convertedAsStreamed(taken), at};
}

// A header with exactly one tab between every two of its names is a
// tab-separated export, whose rows may hold empty cells and start with one.
// Any other header is aligned with blanks, and runs of blanks and tabs,
// however many tabs they hold, separate the fields of every line.
bool isTabSeparated(const std::string& header) {
    bool tabs = false;
    std::size_t at = 0;
    while (at < header.size() && isBlank(header[at])) ++at;
    while (at < header.size()) {
        const std::size_t runStart = at;
        while (at < header.size() && isBlank(header[at])) ++at;
        const bool separatesNames = at < header.size() && runStart > 0 && !isBlank(header[runStart - 1]);
        if (at > runStart && separatesNames) {
            if (at - runStart != 1 || header[runStart] != '\t') return false;
            tabs = true;
        }
        while (at < header.size() && !isBlank(header[at])) ++at;
    }
    return tabs;
}

std::vector<std::string> splitAtTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        cells.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    cells.push_back(line.substr(start));
    return cells;
}

// Reads a row straight from the line: word by word in a table aligned with
// blanks, so that a key column that is no number costs exactly its own word;
// cell by cell in a tab-separated table, where an empty cell is a field.
class wordParser {
public:
    wordParser(std::ostream& messages, const trackColumns& keyColumns, std::vector<pointFilter>& rowFilters,
               bool verboseMessages, bool tabSeparatedCells)
        : console(messages), columns(keyColumns), filters(rowFilters), verbose(verboseMessages),
          tabSeparated(tabSeparatedCells) {}

    rowOutcome read(const std::string& text, long lineNumber, molaPoint& point) {
        line = text;
        at = 0;
        if (tabSeparated ? !readCells(lineNumber, point) : !readWords(lineNumber, point)) return rowOutcome::removed;
        const bool complete = !std::isnan(point.x) && !std::isnan(point.y) && !std::isnan(point.elevation);
        return complete ? rowOutcome::complete : rowOutcome::incomplete;
    }

private:
    // False when a filter removed the row.
    bool readWords(long lineNumber, molaPoint& point) {
        for (int column = 0;; ++column) {
            while (at < line.size() && isBlank(line[at])) ++at;
            if (at == line.size()) return true;
            if (column == columns.longitude) {
                readKeyValue(point.x, "Longitude", lineNumber, column);
            } else if (column == columns.latitude) {
                readKeyValue(point.y, "Latitude", lineNumber, column);
            } else if (column == columns.elevation) {
                readKeyValue(point.elevation, "Topology", lineNumber, column);
            } else {
                const std::size_t start = at;
                skipRestOfWord();
                const std::string_view word = line.substr(start, at - start);
                if (offerDelimitedField(console, word, column, lineNumber, columns, filters, point)) return false;
            }
        }
    }

    // A key cell is read as the stream reads a number, and what follows the
    // number in its cell is passed over; an empty cell leaves the value missing.
    bool readCells(long lineNumber, molaPoint& point) {
        for (int column = 0; at <= line.size(); ++column) {
            const std::size_t tab = std::min(line.find('\t', at), line.size());
            std::string_view cell = line.substr(at, tab - at);
            at = tab + 1;
            if (column == columns.longitude) {
                readKeyCell(cell, point.x, "Longitude", lineNumber, column);
            } else if (column == columns.latitude) {
                readKeyCell(cell, point.y, "Latitude", lineNumber, column);
            } else if (column == columns.elevation) {
                readKeyCell(cell, point.elevation, "Topology", lineNumber, column);
            } else if (offerDelimitedField(console, cell, column, lineNumber, columns, filters, point)) {
                return false;
            }
        }
        return true;
    }

    void skipRestOfWord() {
        while (at < line.size() && !isBlank(line[at])) ++at;
    }

    // The number is read straight from the line. A word that does not start
    // with a usable number is passed over whole, so that the fields after it
    // keep their columns.
    void readKeyValue(double& value, const char* what, long lineNumber, int column) {
        const streamedNumber number = streamNumber(line.substr(at));
        at += number.length;
        if (number.value && isUsableValue(*number.value)) {
            value = *number.value;
            return;
        }
        reportMissing(what, lineNumber, column);
        skipRestOfWord();
    }

    void readKeyCell(std::string_view cell, double& value, const char* what, long lineNumber, int column) const {
        while (!cell.empty() && isBlank(cell.front())) cell.remove_prefix(1);
        const streamedNumber number = streamNumber(cell);
        if (number.value && isUsableValue(*number.value))
            value = *number.value;
        else
            reportMissing(what, lineNumber, column);
    }

    // The row is not removed: it only lacks the value.
    void reportMissing(const char* what, long lineNumber, int column) const {
        if (verbose)
            console << "Error: Couldn't convert the " << what << " Value in row " << lineNumber << " and column "
                    << column + 1 << std::endl;
    }

    std::ostream& console;
    const trackColumns& columns;
    std::vector<pointFilter>& filters;
    bool verbose;
    bool tabSeparated;
    std::string_view line;
    std::size_t at = 0;
};

}  // namespace

bool tabReader::read(const valueRange& lonRange, const valueRange& latRange) {
    const openingResult opening = openingSteps(console, *this, ".tab", "Can only read .tab file not ");
    if (opening != openingResult::proceed) return opening == openingResult::alreadyRead;
    trackBox box(lonRange, latRange);

    std::ifstream file(fileName);
    std::string header;
    if (!readTableHeader(console, fileName, file, false, header)) return false;
    const bool tabSeparated = isTabSeparated(header);
    const trackColumns columns =
        recognizeColumns(console, tabSeparated ? splitAtTabs(header) : splitAtBlanks(header), filters, "tab");
    if (!checkColumns(console, columns, filters)) return false;
    if (verbose) printColumnLines(console, columns);

    wordParser parser(console, columns, filters, verbose, tabSeparated);
    const rowParser parseRow = [&parser](const std::string& line, long lineNumber, molaPoint& point) {
        return parser.read(line, lineNumber, point);
    };
    const long trimmedCount = readDelimitedRows(console, file, parseRow, box, orbits, points);
    outsideBox = box.turnedAway();
    printReadCounts(console, verbose, trimmedCount, points.size());
    isRead = true;
    return true;
}

}  // namespace kalvex
