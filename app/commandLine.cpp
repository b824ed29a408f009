// Turns the argument vector into run settings: file classification, the
// option scan with its warnings, and the values settled after the scan.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>

#include "app/commandLine.h"

#include "app/helpText.h"
#include "app/optionTable.h"
#include "model/fileNames.h"

namespace kalvex {

namespace {

// The words of the command line; a word beyond the end reads as nothing.
class wordList {
public:
    wordList(int count, const char* const* words) : wordCount(count), wordVector(words) {}
    const char* at(int index) const {
        if (wordVector == nullptr || index < 0 || index >= wordCount) return nullptr;
        return wordVector[index];
    }
    int count() const { return wordCount; }

private:
    int wordCount;
    const char* const* wordVector;
};

bool beginsWithDash(const char* word) { return word != nullptr && word[0] == '-'; }

// Base-10 integer from the longest leading number; anything behind it is ignored.
std::optional<int> readInteger(const char* word) {
    if (word == nullptr) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(word, &end, 10);
    if (end == word || errno == ERANGE || value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

// The absolute value must fit as well: the most negative int has no positive twin.
std::optional<int> readAbsoluteInteger(const char* word) {
    const std::optional<int> value = readInteger(word);
    if (!value || *value == INT_MIN) return std::nullopt;
    return std::abs(*value);
}

// Decimal floating point from the longest leading number. A hexadecimal form
// is not decimal notation: only its leading zero counts. A value that is not
// finite would quietly disable or break the run, so it counts as no number.
std::optional<double> readDouble(const char* word) {
    if (word == nullptr) return std::nullopt;
    const char* cursor = word;
    while (std::isspace(static_cast<unsigned char>(*cursor))) ++cursor;
    const bool negative = *cursor == '-';
    if (*cursor == '+' || *cursor == '-') ++cursor;
    if (cursor[0] == '0' && (cursor[1] == 'x' || cursor[1] == 'X')) return negative ? -0.0 : 0.0;
    char* end = nullptr;
    const double value = std::strtod(word, &end);
    if (end == word || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> readAbsoluteDouble(const char* word) {
    const std::optional<double> value = readDouble(word);
    if (!value) return std::nullopt;
    return std::fabs(*value);
}

std::string extensionOf(const std::string& word) {
    const std::string::size_type dot = word.rfind('.');
    if (dot == std::string::npos) return std::string();
    return word.substr(dot);
}

enum class fileKind { none, raster, tracks, ties };

fileKind kindOf(const std::string& extension) {
    if (!extension.empty() && rasterEndingOf(extension) == extension) return fileKind::raster;
    if (extension == ".dbf" || extension == ".csv" || extension == ".tab") return fileKind::tracks;
    if (extension == ".rep" || extension == ".gpf") return fileKind::ties;
    return fileKind::none;
}

std::string* pathOfKind(fileKind kind, runSettings& settings) {
    switch (kind) {
        case fileKind::raster: return &settings.rasterPath;
        case fileKind::tracks: return &settings.trackPath;
        case fileKind::ties: return &settings.tiePath;
        case fileKind::none: break;
    }
    return nullptr;
}

void classifyFile(const char* word, runSettings& settings) {
    if (word == nullptr) return;
    if (std::string* path = pathOfKind(kindOf(extensionOf(word)), settings)) *path = word;
}

// The first two words after the program name are files; the third is a
// candidate whenever it exists, whatever it holds.
int lastFileCandidate(const wordList& words) { return words.count() >= 4 ? 3 : 2; }

void classifyFiles(const wordList& words, runSettings& settings) {
    for (int index = 1; index <= lastFileCandidate(words); ++index) classifyFile(words.at(index), settings);
}

bool hasInputEnding(const char* word) {
    std::string ending = extensionOf(word);
    for (char& character : ending) character = char(std::tolower(static_cast<unsigned char>(character)));
    return kindOf(ending) != fileKind::none;
}

// A file that the rules above leave unused would change the run without a
// word (a tie file not taken makes it error-map-only), so each is named.
void warnAboutUnusedFiles(std::ostream& console, const wordList& words, runSettings& settings) {
    const bool geoTiff = extensionOf(settings.rasterPath).rfind(".tif", 0) == 0;
    const char* const kindNames[] = {"", geoTiff ? "GeoTIFF" : "elevation model", "track table", "tie point file"};
    for (int index = 1; index <= lastFileCandidate(words); ++index) {
        const char* word = words.at(index);
        if (word == nullptr || beginsWithDash(word)) continue;
        const fileKind kind = kindOf(extensionOf(word));
        const std::string* used = pathOfKind(kind, settings);
        if (used == nullptr)
            console << "Warning: " << word
                    << " was not used, kalvex reads .tif, .tiff, .cub, .img, .vrt, .csv, .tab, .dbf, .gpf and .rep "
                       "files (endings in lower case)"
                    << (settings.tiePath.empty() ? ", so this run makes only the error map" : "") << std::endl;
        else if (*used != word)
            console << "Warning: " << word << " was not used, " << *used << " is the "
                    << kindNames[static_cast<int>(kind)] << " of this run" << std::endl;
    }
}

int failedValue(std::ostream& console, int index, const char* warning) {
    console << warning << std::endl;
    return index + 1;
}

// A percentage may be given as a fraction or in percent; anything above 100
// percent is refused and the default comes back.
void settlePercentage(std::ostream& console, double& field, double defaultValue, const char* refusal) {
    if (field > 1.0) field /= 100.0;
    if (field > 1.0) {
        console << refusal << std::endl;
        field = defaultValue;
    }
}

// Orbit numbers run up to the end of the line or the next option word; a
// word that is no number is reported and the rest are still taken.
int takeOrbitList(std::ostream& console, const wordList& words, int index, const optionRow& row,
                  runSettings& settings) {
    int next = index + 1;
    for (const char* word = words.at(next); word != nullptr && !beginsWithDash(word); word = words.at(++next)) {
        const std::optional<int> orbit = readInteger(word);
        if (orbit) settings.pointFilters.emplace_back(pointFilter::equalTo, "orbit", *orbit);
        else console << row.warning << word << row.refusal << std::endl;
    }
    return next;
}

// The coordinate is taken only as a pair: half of a new corner combined with
// half of an earlier one would move the raster to a place nobody asked for.
int takePair(std::ostream& console, const wordList& words, int index, const optionRow& row, runSettings& settings) {
    const std::optional<double> x = readDouble(words.at(index + 1));
    const std::optional<double> y = x ? readDouble(words.at(index + 2)) : std::nullopt;
    if (!x || !y) return failedValue(console, index, row.warning);
    settings.*row.number = *x;
    settings.*row.secondNumber = *y;
    settings.*row.flag = true;
    return index + 3;
}

// The text becomes part of every output file name, so a character that no
// file name may hold sends it back to the empty default.
int takeFileText(std::ostream& console, const wordList& words, int index, const optionRow& row,
                 runSettings& settings) {
    const char* word = words.at(index + 1);
    if (word == nullptr) return index + 1;
    std::string& text = settings.*row.text;
    text = word;
    static const char forbidden[] = {'<', '>', ':', '"', '\\', '/', '|', '?', '*'};
    for (const char character : forbidden) {
        if (text.find(character) == std::string::npos) continue;
        console << std::endl;
        console << "Warning:The string specified after -as contains a '" << character
                << "' which will create an invalid filename, will be using the default instead" << std::endl;
        text.clear();
        break;
    }
    return index + 2;
}

// A count or a number after the option word, read by the row's rule; after a
// value that cannot be read only the option word is passed.
int takeNumber(std::ostream& console, const wordList& words, int index, const optionRow& row,
               runSettings& settings) {
    const char* word = words.at(index + 1);
    if (row.count != nullptr) {
        const std::optional<int> value = readAbsoluteInteger(word);
        if (!value) return failedValue(console, index, row.warning);
        settings.*row.count = *value;
        return index + 2;
    }
    const std::optional<double> value =
        row.rule == valueRule::signedDistance ? readDouble(word) : readAbsoluteDouble(word);
    if (!value) return failedValue(console, index, row.warning);
    double& field = settings.*row.number;
    field = *value;
    if (row.rule == valueRule::share) settlePercentage(console, field, runSettings().*row.number, row.refusal);
    if (row.ceiling != nullptr && field > settings.*row.ceiling) {
        console << row.refusal << std::endl;
        field = runSettings().*row.number;
    }
    return index + 2;
}

// Reads the option's values into the settings; returns the index of the next
// word to examine.
int takeOption(std::ostream& console, const wordList& words, int index, const optionRow& row,
               runSettings& settings) {
    switch (row.rule) {
        case valueRule::flag: settings.*row.flag = row.flagValue; return index + 1;
        case valueRule::orbitList: return takeOrbitList(console, words, index, row, settings);
        case valueRule::pair: return takePair(console, words, index, row, settings);
        case valueRule::fileText: return takeFileText(console, words, index, row, settings);
        case valueRule::count:
        case valueRule::distance:
        case valueRule::signedDistance:
        case valueRule::share:
        case valueRule::stage: break;
    }
    return takeNumber(console, words, index, row, settings);
}

// The help text names the two defaults -lf and -h as if they were options;
// they are, in effect, and need no word.
bool namesADefault(const char* word) { return std::strcmp(word, "-lf") == 0 || std::strcmp(word, "-h") == 0; }

const optionRow* findOption(const char* word) { return beginsWithDash(word) ? optionNamed(word) : nullptr; }

// Words that are no option are passed over in silence. A misspelt option
// would leave the run on a default the user meant to change, so it is named,
// unless the word was just refused as an option's value and so reported.
int scanWord(std::ostream& console, const wordList& words, int index, runSettings& settings, bool refusedAsValue) {
    const char* word = words.at(index);
    if (!beginsWithDash(word)) {
        // The third word is a file candidate, named above when it was not used.
        if (index > 3 && word != nullptr && hasInputEnding(word))
            console << "Warning: " << word << " was not used, the files come before the options" << std::endl;
        return index + 1;
    }
    const optionRow* option = findOption(word);
    if (option == nullptr) {
        if (!namesADefault(word) && !refusedAsValue)
            console << "Warning: Unknown option " << word << " was ignored" << std::endl;
        return index + 1;
    }
    return takeOption(console, words, index, *option, settings);
}

// A value option that moves on by one word only has refused the word after it.
void scanOptions(std::ostream& console, const wordList& words, int start, runSettings& settings) {
    int refusedValue = -1;
    for (int index = start; index < words.count();) {
        const int next = scanWord(console, words, index, settings, index == refusedValue);
        const optionRow* option = findOption(words.at(index));
        // The orbit list ends at an option word without offering it as a value.
        if (option != nullptr && option->rule != valueRule::flag && option->rule != valueRule::orbitList &&
            next == index + 1)
            refusedValue = next;
        index = next;
    }
}

// LROC filtering is in force only for an LROC project; -f says nothing to a HiRISE one.
void addLrocFilters(runSettings& settings) {
    settings.lrocFiltering = settings.lrocFiltering && !settings.hirise;
    if (!settings.lrocFiltering) return;
    settings.pointFilters.emplace_back(pointFilter::greaterThan, "ofnadang", 15.0);
    settings.pointFilters.emplace_back(pointFilter::equalTo, "ptshotnum", 3.0);
    settings.pointFilters.emplace_back(pointFilter::equalTo, "ptshotnum", 5.0);
    settings.pointFilters.emplace_back(pointFilter::greaterThan, "solincang", 80.0);
}

// Filtering starts a quarter of the way into the stages unless a start inside
// the run was asked for; the stored value counts stages from zero.
void settleStartStage(runSettings& settings) {
    if (settings.sfStartStage < 0 || settings.sfStartStage >= settings.maxStages) {
        settings.sfStartStage = settings.maxStages / 4;
    }
    settings.sfStartStage -= 1;
}

}  // namespace

std::optional<runSettings> parseCommandLine(int argumentCount, const char* const* argumentVector,
                                            std::ostream& console) {
    const wordList words(argumentCount, argumentVector);
    if (argumentCount < 3 || argumentVector == nullptr) {
        printHelp(console);
        return std::nullopt;
    }
    runSettings settings;
    classifyFiles(words, settings);
    if (settings.rasterPath.empty() || settings.trackPath.empty()) {
        console << "Error: Files must include at least one .tif and either a .dbf, .csv or .tab" << std::endl;
        return std::nullopt;
    }
    warnAboutUnusedFiles(console, words, settings);
    scanOptions(console, words, settings.tiePath.empty() ? 3 : 4, settings);
    addLrocFilters(settings);
    settleStartStage(settings);
    return settings;
}

// A tenth of the size and a fiftieth of the range, which users' results
// have always depended on.
void finishDefaults(runSettings& settings, double size) {
    if (settings.padding < 0.0) settings.padding = size / 10.0;
    if (settings.delta < 0.0) settings.delta = settings.padding / 50.0;
}

// Both searches count the range in cells, and the grid search steps from one
// end of the range to the other: a range of more cells than a double holds,
// or a step too small to move a coordinate of the range's size (0 among
// them), would leave the raster where it is without a word.
void finishSearchSettings(std::ostream& console, runSettings& settings, double size, double cellSize) {
    if (settings.padding >= 0.0 && cellSize > 0.0 && !std::isfinite(settings.padding / cellSize)) {
        console << optionNamed("-p")->warning << std::endl;
        settings.padding = -1.0;
    }
    const bool deltaGiven = settings.delta >= 0.0;
    finishDefaults(settings, size);
    if (deltaGiven && !settings.robustAlignment && settings.padding > 0.0 &&
        settings.padding + settings.delta == settings.padding) {
        console << optionNamed("-d")->warning << std::endl;
        settings.delta = settings.padding / 50.0;
    }
}

}  // namespace kalvex
