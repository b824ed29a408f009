#include "readers/tabReader.h"

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

// Reads a row straight from the line, word by word, so that a key column that
// is no number costs exactly its own word.
class wordParser {
public:
    wordParser(std::ostream& messages, const trackColumns& keyColumns, std::vector<pointFilter>& rowFilters,
               bool verboseMessages)
        : console(messages), columns(keyColumns), filters(rowFilters), verbose(verboseMessages) {}

    rowOutcome read(const std::string& text, long lineNumber, molaPoint& point) {
        line = text;
        at = 0;
        for (int column = 0;; ++column) {
            const fieldAhead ahead = nextField(column == 0);
            if (ahead == fieldAhead::none) break;
            if (ahead == fieldAhead::empty) {
                if (offerEmptyField(column, lineNumber, point)) return rowOutcome::removed;
            } else if (column == columns.longitude) {
                readKeyValue(point.x, "Longitude", lineNumber, column);
            } else if (column == columns.latitude) {
                readKeyValue(point.y, "Latitude", lineNumber, column);
            } else if (column == columns.elevation) {
                readKeyValue(point.elevation, "Topology", lineNumber, column);
            } else {
                const std::size_t start = at;
                skipRestOfWord();
                const std::string_view word = line.substr(start, at - start);
                if (offerDelimitedField(console, word, column, lineNumber, columns, filters, point))
                    return rowOutcome::removed;
            }
        }
        const bool complete = !std::isnan(point.x) && !std::isnan(point.y) && !std::isnan(point.elevation);
        return complete ? rowOutcome::complete : rowOutcome::incomplete;
    }

private:
    enum class fieldAhead { none, empty, text };

    // Skips the blanks before the next field. Two tabs with nothing between
    // them hold an empty field, as a tab-separated export writes an empty
    // cell; the first of them is consumed, the second separates the empty
    // field from the next.
    fieldAhead nextField(bool firstField) {
        while (at < line.size() && isBlank(line[at])) {
            const bool tab = line[at++] == '\t';
            if (tab && !firstField && at < line.size() && line[at] == '\t') return fieldAhead::empty;
        }
        return at == line.size() ? fieldAhead::none : fieldAhead::text;
    }

    void skipRestOfWord() {
        while (at < line.size() && !isBlank(line[at])) ++at;
    }

    // An empty cell leaves a key value missing; any other column gets the
    // empty text, as in a comma-separated table.
    bool offerEmptyField(int column, long lineNumber, molaPoint& point) {
        if (column == columns.longitude) return reportMissing("Longitude", lineNumber, column);
        if (column == columns.latitude) return reportMissing("Latitude", lineNumber, column);
        if (column == columns.elevation) return reportMissing("Topology", lineNumber, column);
        return offerDelimitedField(console, std::string_view(), column, lineNumber, columns, filters, point);
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

    // The row is not removed: it only lacks the value.
    bool reportMissing(const char* what, long lineNumber, int column) const {
        if (verbose)
            console << "Error: Couldn't convert the " << what << " Value in row " << lineNumber << " and column "
                    << column + 1 << std::endl;
        return false;
    }

    std::ostream& console;
    const trackColumns& columns;
    std::vector<pointFilter>& filters;
    bool verbose;
    std::string_view line;
    std::size_t at = 0;
};

}  // namespace

bool tabReader::read(const valueRange& lonRange, const valueRange& latRange) {
    const openingResult opening = openingSteps(console, *this, ".tab", "Can only read .tab file not ");
    if (opening != openingResult::proceed) return opening == openingResult::alreadyRead;
    const trackBox box(lonRange, latRange);

    std::ifstream file(fileName);
    skipByteOrderMark(file);
    std::string header;
    readTableLine(file, header);
    const trackColumns columns = recognizeColumns(console, splitAtBlanks(header), filters, "tab");
    if (!checkColumns(console, columns, filters)) return false;
    if (verbose) printColumnLines(console, columns);

    wordParser parser(console, columns, filters, verbose);
    const rowParser parseRow = [&parser](const std::string& line, long lineNumber, molaPoint& point) {
        return parser.read(line, lineNumber, point);
    };
    const long trimmedCount = readDelimitedRows(console, file, parseRow, box, orbits, points);
    printReadCounts(console, verbose, trimmedCount, points.size());
    isRead = true;
    return true;
}

}  // namespace kalvex
