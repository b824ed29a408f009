#pragma once
// Every option once: its word, the setting it sets, the rule its value is read
// by, its warning, and how the help, the debug settings block and the run
// summary show it. The parser, the help text, printSettings and the summary
// all read these rows, so none of them can drift from the others.
#include <string>
#include <vector>

#include "app/runSettings.h"

namespace kalvex {

enum class valueRule {
    flag,            // no value: sets its flag to flagValue
    count,           // a whole number, its sign dropped
    distance,        // a number, its sign dropped; refused above the ceiling setting, when there is one
    signedDistance,  // a number; a negative one leaves the computed default in force
    share,           // a number, its sign dropped, as a fraction or in percent; refused above 100 percent
    stage,           // a count of stages, stored counting from zero once the scan is over
    pair,            // two numbers, taken only together; the flag tells that they were given
    orbitList,       // whole numbers up to the next option word, each a filter removing its orbit
    fileText,        // a word that becomes part of every output file name
};

// An option's row in the help text; an option without a name has none.
struct helpRow {
    const char* name = nullptr;
    const char* argument = nullptr;
    // The default column. Without one the column shows the default value
    // itself (a share in percent); computed defaults and flags name theirs.
    const char* shownDefault = nullptr;
};

struct optionRow {
    const char* word;
    valueRule rule;
    helpRow help;
    const char* warning = nullptr;  // a value that cannot be read (an orbit list's: before the word)
    const char* refusal = nullptr;  // a value read but refused (an orbit list's: after the word)
    bool runSettings::*flag = nullptr;
    bool flagValue = true;
    int runSettings::*count = nullptr;
    double runSettings::*number = nullptr;
    double runSettings::*secondNumber = nullptr;  // a pair's second
    double runSettings::*ceiling = nullptr;       // a distance refused above this setting in force
    std::string runSettings::*text = nullptr;
    const char* settingsLabel = nullptr;  // debug mode's settings block
    const char* summaryKey = nullptr;     // the run summary's options; "group.key" for a nested one
};

// The rows in the order of the help text.
const std::vector<optionRow>& optionRows();

// The row of an option word; nullptr for a word that names no option.
const optionRow* optionNamed(const std::string& word);

// The help's default column of a row.
std::string shownDefault(const optionRow& row);

}  // namespace kalvex
