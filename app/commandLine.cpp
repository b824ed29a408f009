// Turns the argument vector into run settings: file classification, the
// option scan with its warnings, and the values settled after the scan.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>

#include "app/commandLine.h"

#include "app/helpText.h"
#include "model/fileNames.h"

namespace kalvex {

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

namespace {

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

int takeAbsoluteInteger(std::ostream& console, const wordList& words, int index, int& field, const char* warning) {
    const std::optional<int> value = readAbsoluteInteger(words.at(index + 1));
    if (!value) return failedValue(console, index, warning);
    field = *value;
    return index + 2;
}

int takeAbsoluteDouble(std::ostream& console, const wordList& words, int index, double& field, const char* warning) {
    const std::optional<double> value = readAbsoluteDouble(words.at(index + 1));
    if (!value) return failedValue(console, index, warning);
    field = *value;
    return index + 2;
}

// A negative value is kept as given: it leaves the computed default in force.
int takeSignedDouble(std::ostream& console, const wordList& words, int index, double& field, const char* warning) {
    const std::optional<double> value = readDouble(words.at(index + 1));
    if (!value) return failedValue(console, index, warning);
    field = *value;
    return index + 2;
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

int scanStages(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeAbsoluteInteger(console, words, index, settings.maxStages,
                               "Was unable to parse an integer after -s, using default ");
}

int scanConvergeValue(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeAbsoluteDouble(console, words, index, settings.convergeValue,
                              "Was unable to parse a floating point number after -c, using default ");
}

const char* const deltaWarning = "Was unable to parse a floating point number after -d, using default";
const char* const paddingWarning = "Was unable to parse a floating point number after -p, using default";

int scanDelta(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeSignedDouble(console, words, index, settings.delta, deltaWarning);
}

int scanPadding(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeSignedDouble(console, words, index, settings.padding, paddingWarning);
}

// Orbit numbers run up to the end of the line or the next option word; a
// word that is no number is reported and the rest are still taken.
int scanOrbitFilters(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    int next = index + 1;
    for (const char* word = words.at(next); word != nullptr && !beginsWithDash(word); word = words.at(++next)) {
        const std::optional<int> orbit = readInteger(word);
        if (orbit) {
            settings.pointFilters.emplace_back(pointFilter::equalTo, "orbit", *orbit);
        } else {
            console << "Was unable to parse int " << word << "for orbit filter, using only the parsed values"
                    << std::endl;
        }
    }
    return next;
}

int scanErrorThreshold(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeAbsoluteDouble(console, words, index, settings.errorThreshold,
                              "Was unable to parse a floating point number after -et, using default ");
}

int scanMaxError(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeAbsoluteDouble(console, words, index, settings.sfMaxError,
                              "Was unable to parse a floating point number after -sfe, using default ");
}

// The cutoff is the floor for the maximum error, so it may not lie above the
// maximum error in force when it is read.
int scanCutoff(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    const int next = takeAbsoluteDouble(console, words, index, settings.sfCutoff,
                                        "Was unable to parse a floating point number after -sfc, using default ");
    if (next == index + 2 && settings.sfCutoff > settings.sfMaxError) {
        console << "The statistical filter's minimum error threshold cannot be greater than the maximum error "
                   "threshold, using default"
                << std::endl;
        settings.sfCutoff = runSettings().sfCutoff;
    }
    return next;
}

int scanDecrease(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    const int next = takeAbsoluteDouble(console, words, index, settings.sfDecrease,
                                        "Was unable to parse a floating point number after -sfd, using default ");
    if (next == index + 2) {
        settlePercentage(console, settings.sfDecrease, runSettings().sfDecrease,
                         "The entered percentage for -sfd must be between 0 and 1, or 0 and 100, using default");
    }
    return next;
}

int scanMaxStdDev(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeAbsoluteDouble(console, words, index, settings.sfMaxStdDev,
                              "Was unable to parse a floating point number after -sfsd, using default ");
}

int scanRemovePercent(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    const int next = takeAbsoluteDouble(console, words, index, settings.sfRemovePercent,
                                        "Was unable to parse a floating point number after -sfp, using default ");
    if (next == index + 2) {
        settlePercentage(console, settings.sfRemovePercent, runSettings().sfRemovePercent,
                         "The entered percentage must be between 0 and 1 or 0 and 100, using default");
    }
    return next;
}

int scanStartStage(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeAbsoluteInteger(console, words, index, settings.sfStartStage,
                               "Was unable to parse an integer after -sfs, using default ");
}

// The text becomes part of every output file name, so a character that no
// file name may hold sends it back to the empty default.
void refuseInvalidFileNameText(std::ostream& console, std::string& text) {
    static const char forbidden[] = {'<', '>', ':', '"', '\\', '/', '|', '?', '*'};
    for (const char character : forbidden) {
        if (text.find(character) == std::string::npos) continue;
        console << std::endl;
        console << "Warning:The string specified after -as contains a '" << character
                << "' which will create an invalid filename, will be using the default instead" << std::endl;
        text.clear();
        return;
    }
}

int scanAddString(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    const char* word = words.at(index + 1);
    if (word == nullptr) return index + 1;
    settings.addString = word;
    refuseInvalidFileNameText(console, settings.addString);
    return index + 2;
}

// The coordinate is taken only as a pair: half of a new corner combined with
// half of an earlier one would move the raster to a place nobody asked for.
int scanTopLeft(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    const std::optional<double> x = readDouble(words.at(index + 1));
    const std::optional<double> y = x ? readDouble(words.at(index + 2)) : std::nullopt;
    if (!x || !y) {
        return failedValue(console, index,
                           "Warning: Could not parse the replacement top left coordinate, should be of the format "
                           "-tl %d %d");
    }
    settings.topLeftX = *x;
    settings.topLeftY = *y;
    settings.topLeftGiven = true;
    return index + 3;
}

int scanThreadCount(std::ostream& console, const wordList& words, int index, runSettings& settings) {
    return takeAbsoluteInteger(console, words, index, settings.threadCount,
                               "Was unable to parse an integer after -j, using default ");
}

constexpr optionDeclaration valueOption(const char* name, optionHandler handler, helpRow help) {
    return {name, handler, nullptr, false, help};
}
constexpr optionDeclaration switchOption(const char* name, bool runSettings::*flag, bool value, helpRow help) {
    return {name, nullptr, flag, value, help};
}

// Every option once, in the order of the help text's rows, each with the
// default the run uses.
const optionDeclaration optionTable[] = {
    valueOption("-s", scanStages, {"Maximum # of stages", "20", "-s %d"}),
    valueOption("-c", scanConvergeValue, {"RMS Convergence Value", "0.0001", "-c %f"}),
    valueOption("-p", scanPadding, {"Translation Range (padding)", "size/10", "-p %f"}),
    valueOption("-d", scanDelta, {"Translation Increment (delta)", "padding/50", "-d %f"}),
    switchOption("-qf", &runSettings::quadFit, true, {"linear vs quadratic poly fit", "linear", "-lf or -qf"}),
    switchOption("-l", &runSettings::hirise, false, {"HiRISE vs LROC project", "hirise", "-h or -l"}),
    switchOption("-f", &runSettings::lrocFiltering, true, {"LROC filtering (LROC only)", "off", "-f"}),
    valueOption("-of", scanOrbitFilters, {"mola orbit filtering", "none", "-of %d %d %d %d ..."}),
    valueOption("-tl", scanTopLeft, {"Modify Raster's Top Left coord", "none", "-tl %f(x) %f(y)"}),
    valueOption("-et", scanErrorThreshold, {"Outlier Point Error Threshold", "30", "-et %f"}),
    valueOption("-sfe", scanMaxError, {"Stat. Filtering max error", "10", "-sfe %f"}),
    valueOption("-sfc", scanCutoff, {"Stat. Filtering dec. cutoff", "2", "-sfc %f"}),
    valueOption("-sfd", scanDecrease, {"Stat. Filtering decrease/stage", "10%", "-sfd %f"}),
    valueOption("-sfsd", scanMaxStdDev, {"Stat. Filtering max std. dev", "7", "-sfsd %f"}),
    valueOption("-sfp", scanRemovePercent, {"Stat. Filtering remove percent", "5%", "-sfp %f"}),
    valueOption("-sfs", scanStartStage, {"Stat. Filtering starting stage", ".25*maxStage", "-sfs %d"}),
    valueOption("-as", scanAddString, {"Add String to Output Filenames", "Empty String", "-as %s"}),
    switchOption("-dm", &runSettings::debugMode, true, {"debug mode", "off", "-dm"}),
    switchOption("-pr", &runSettings::polarProjection, true, {"Polar stereographic tracks", "off", "-pr"}),
    valueOption("-j", scanThreadCount, {"Worker threads", "cores", "-j %d"}),
    switchOption("-od", &runSettings::writeAlignedRaster, true, {"Write aligned GeoTIFF", "off", "-od"}),
    switchOption("-oe", &runSettings::writeErrorTable, true, {"Write per-shot error table", "off", "-oe"}),
    switchOption("-os", &runSettings::writeSummary, true, {"Write run summary (JSON)", "off", "-os"}),
    switchOption("-robust", &runSettings::robustAlignment, true, {"Robust alignment", "off", "-robust"}),
    switchOption("-corner", &runSettings::cornerPlacement, true, {"Cell values at corners", "centres", "-corner"}),
};

// The help text names the two defaults -lf and -h as if they were options;
// they are, in effect, and need no word.
bool namesADefault(const char* word) { return std::strcmp(word, "-lf") == 0 || std::strcmp(word, "-h") == 0; }

const optionDeclaration* findOption(const char* word) {
    for (const optionDeclaration& option : optionTable)
        if (std::strcmp(word, option.name) == 0) return &option;
    return nullptr;
}

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
    const optionDeclaration* option = findOption(word);
    if (option == nullptr) {
        if (!namesADefault(word) && !refusedAsValue)
            console << "Warning: Unknown option " << word << " was ignored" << std::endl;
        return index + 1;
    }
    if (option->handler != nullptr) return option->handler(console, words, index, settings);
    settings.*option->flag = option->flagValue;
    return index + 1;
}

// A value option that moves on by one word only has refused the word after it.
void scanOptions(std::ostream& console, const wordList& words, int start, runSettings& settings) {
    int refusedValue = -1;
    for (int index = start; index < words.count();) {
        const int next = scanWord(console, words, index, settings, index == refusedValue);
        const optionDeclaration* option = beginsWithDash(words.at(index)) ? findOption(words.at(index)) : nullptr;
        // The orbit list ends at an option word without offering it as a value.
        if (option != nullptr && option->handler != nullptr && option->handler != scanOrbitFilters &&
            next == index + 1)
            refusedValue = next;
        index = next;
    }
}

void addLrocFilters(runSettings& settings) {
    if (settings.hirise || !settings.lrocFiltering) return;
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

std::vector<optionDeclaration> optionDeclarations() { return {std::begin(optionTable), std::end(optionTable)}; }

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
        console << paddingWarning << std::endl;
        settings.padding = -1.0;
    }
    const bool deltaGiven = settings.delta >= 0.0;
    finishDefaults(settings, size);
    if (deltaGiven && !settings.robustAlignment && settings.padding > 0.0 &&
        settings.padding + settings.delta == settings.padding) {
        console << deltaWarning << std::endl;
        settings.delta = settings.padding / 50.0;
    }
}

}  // namespace kalvex
