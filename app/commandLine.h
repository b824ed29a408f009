#pragma once
// The command line: file classification, the option scan with its warnings,
// the values settled after the scan, and the computed defaults.
#include <optional>
#include <ostream>
#include <vector>

#include "app/runSettings.h"

namespace kalvex {

class wordList;  // the words of the command line

// An option's row in the help text; an option without a name has none.
struct helpRow {
    const char* name = nullptr;
    const char* defaultValue = nullptr;
    const char* argument = nullptr;
};

// Every option handler gets the console for its warnings and the index of its
// option word, and returns the index of the next word to examine. After a
// failed value only the option word is passed, so the value word is looked at
// again as a possible option.
using optionHandler = int (*)(std::ostream&, const wordList&, int, runSettings&);

// One option: its word, where it is stored (a handler that reads its values
// into the settings, or a flag set to a value), and its help row.
struct optionDeclaration {
    const char* name;
    optionHandler handler;
    bool runSettings::*flag;
    bool flagValue;
    helpRow help;
};

// Every option, in the order of the help text's rows.
std::vector<optionDeclaration> optionDeclarations();

// Parses the argument vector. Returns nothing after printing the help text or
// the file classification error; the caller then ends with status 1.
std::optional<runSettings> parseCommandLine(int argumentCount, const char* const* argumentVector,
                                            std::ostream& console);

// The translation range and increment that were not given, from the larger
// extent of the raster in map units.
void finishDefaults(runSettings& settings, double size);

// finishDefaults, after refusing with the option's warning a range (-p) of
// more cells of cellSize than a number holds, and then, for the grid search,
// an increment (-d) too small to step across the range in force: the computed
// default takes the refused value's place.
void finishSearchSettings(std::ostream& console, runSettings& settings, double size, double cellSize);

}  // namespace kalvex
