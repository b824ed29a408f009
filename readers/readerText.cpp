#include "readers/readerText.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <ostream>

namespace kalvex {

openingResult openingSteps(std::ostream& console, const fileReader& reader, const std::string& extension,
                           const std::string& refusalText) {
    if (reader.fileName.empty()) return openingResult::fail;
    if (reader.isRead) return openingResult::alreadyRead;
    const std::string ending = lastFourCharacters(reader.fileName);
    if (ending != extension) {
        console << refusalText << ending << std::endl;
        return openingResult::fail;
    }
    // A misspelt name would otherwise read as an empty file and be reported
    // as a table without columns.
    if (!std::ifstream(reader.fileName).is_open()) {
        console << "Error: Could not open " << reader.fileName << std::endl;
        return openingResult::fail;
    }
    return openingResult::proceed;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void skipByteOrderMark(std::istream& stream) {
    static const char mark[] = "\xEF\xBB\xBF";
    char start[3] = {};
    stream.read(start, 3);
    const bool marked = stream.gcount() == 3 && std::equal(start, start + 3, mark);
    stream.clear();
    if (!marked) stream.seekg(0);
}

bool readTableLine(std::istream& stream, std::string& line) {
    if (!std::getline(stream, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}


std::vector<std::string> splitAtCommas(const std::string& line) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    while (true) {
        const std::string::size_type comma = line.find(',', start);
        if (comma == std::string::npos) break;
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

}  // namespace kalvex
