#pragma once
// What every reader does the same way: the opening steps of a read, the file
// name's ending, lower-casing and reading one line of a text file.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "model/fileNames.h"
#include "readers/fileReader.h"

namespace kalvex {

enum class openingResult { fail, alreadyRead, proceed };

// The checks every read makes before it touches the file: a reader without a
// file name fails, a reader that has read its file has nothing left to do, and
// a file of another kind is refused with refusalText and the name's ending.
openingResult openingSteps(std::ostream& console, const fileReader& reader, const std::string& extension,
                           const std::string& refusalText);

std::string lowerCase(std::string text);

// The start of a text file: a file that is no text in ASCII or UTF-8
// (UTF-16, or NUL bytes near its start) is refused in one line;
// otherwise the UTF-8 byte-order mark that some editors put first is passed
// over and everything else stays to be read.
bool beginText(std::ostream& console, const std::string& fileName, std::istream& stream);

// What a header line that kalvex cannot split into names looks like, as the
// end of a sentence ("separated by semicolons"), or nothing. A .csv header
// holds commas, a .tab header blanks between its names.
std::string foreignSeparators(const std::string& header, bool commaSeparated);

// The start of a track table's text and its header line, refused in one line
// when its names are separated otherwise than the table's kind is read: a
// .csv (commaSeparated) by commas, a .tab by tabs or blanks.
bool readTableHeader(std::ostream& console, const std::string& fileName, std::istream& stream, bool commaSeparated,
                     std::string& header);

// Reads the next line of a text file, of any length, without its line end
// (a carriage return before the line feed belongs to the line end).
bool readTableLine(std::istream& stream, std::string& line);

// The fields of a line split at every comma: two adjacent commas give an empty
// field, and so does a comma at the end.
std::vector<std::string> splitAtCommas(const std::string& line);

}  // namespace kalvex
