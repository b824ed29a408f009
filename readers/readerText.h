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

// Passes over the UTF-8 byte-order mark that some editors put at the start
// of a text file; anything else stays to be read.
void skipByteOrderMark(std::istream& stream);

// Reads the next line of a text file, of any length, without its line end
// (a carriage return before the line feed belongs to the line end).
bool readTableLine(std::istream& stream, std::string& line);

// The fields of a line split at every comma: two adjacent commas give an empty
// field, and so does a comma at the end.
std::vector<std::string> splitAtCommas(const std::string& line);

}  // namespace kalvex
