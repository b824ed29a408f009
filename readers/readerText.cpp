#include "readers/readerText.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
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
    // as a table without columns; so would a folder, which opens as one.
    std::error_code unknown;
    if (std::filesystem::is_directory(reader.fileName, unknown)) {
        console << "Error: Could not open " << reader.fileName << ", it is a folder" << std::endl;
        return openingResult::fail;
    }
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

namespace {

// Enough of a file to hold its header line and the first rows.
constexpr std::streamsize probedBytes = 4096;

}  // namespace

bool beginText(std::ostream& console, const std::string& fileName, std::istream& stream) {
    std::string start(std::size_t(probedBytes), '\0');
    stream.read(start.data(), probedBytes);
    start.resize(std::size_t(stream.gcount()));
    stream.clear();
    const bool utf16 = start.rfind("\xFF\xFE", 0) == 0 || start.rfind("\xFE\xFF", 0) == 0;
    const std::string file = "Error: The " + lastFourCharacters(fileName) + " file ";
    if (utf16) {
        console << file << "is UTF-16 text, kalvex reads text files in ASCII or UTF-8" << std::endl;
        return false;
    }
    if (start.find('\0') != std::string::npos) {
        console << file
                << "holds NUL bytes, as UTF-16 text or a binary file does, kalvex reads text files in ASCII or UTF-8"
                << std::endl;
        return false;
    }
    stream.seekg(start.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
    return true;
}

std::string foreignSeparators(const std::string& header, bool commaSeparated) {
    const bool blanks = header.find_first_of(" \t") != std::string::npos;
    if (commaSeparated && header.find(',') == std::string::npos) {
        if (header.find(';') != std::string::npos) return "separated by semicolons";
        if (header.find('\t') != std::string::npos) return "separated by tabs";
    }
    if (!commaSeparated && !blanks) {
        if (header.find(',') != std::string::npos) return "separated by commas";
        if (header.find(';') != std::string::npos) return "separated by semicolons";
    }
    return std::string();
}

bool readTableHeader(std::ostream& console, const std::string& fileName, std::istream& stream, bool commaSeparated,
                     std::string& header) {
    if (!beginText(console, fileName, stream)) return false;
    readTableLine(stream, header);
    const std::string separators = foreignSeparators(header, commaSeparated);
    if (separators.empty()) return true;
    const char* kind = commaSeparated ? ".csv" : ".tab";
    console << "Error: The " << kind << " file looks like a table " << separators << ", kalvex reads " << kind
            << " tables separated by " << (commaSeparated ? "commas" : "tabs or blanks") << std::endl;
    return false;
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
