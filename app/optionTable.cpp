#include "app/optionTable.h"

#include <sstream>

namespace kalvex {

namespace {

optionRow flagOption(const char* word, bool runSettings::*flag, bool value, helpRow help,
                     const char* settingsLabel = nullptr, const char* summaryKey = nullptr) {
    optionRow row{word, valueRule::flag, help};
    row.flag = flag;
    row.flagValue = value;
    row.settingsLabel = settingsLabel;
    row.summaryKey = summaryKey;
    return row;
}

optionRow countOption(const char* word, valueRule rule, int runSettings::*count, helpRow help, const char* warning,
                      const char* settingsLabel = nullptr, const char* summaryKey = nullptr) {
    optionRow row{word, rule, help, warning};
    row.count = count;
    row.settingsLabel = settingsLabel;
    row.summaryKey = summaryKey;
    return row;
}

optionRow numberOption(const char* word, valueRule rule, double runSettings::*number, helpRow help,
                       const char* warning, const char* settingsLabel = nullptr, const char* summaryKey = nullptr,
                       const char* refusal = nullptr) {
    optionRow row{word, rule, help, warning, refusal};
    row.number = number;
    row.settingsLabel = settingsLabel;
    row.summaryKey = summaryKey;
    return row;
}

// The cutoff is the floor for the maximum error, so it may not lie above the
// maximum error in force when it is read.
optionRow cutoffOption() {
    optionRow row = numberOption("-sfc", valueRule::distance, &runSettings::sfCutoff,
                                 {"Stat. Filtering dec. cutoff", "-sfc %f"},
                                 "Was unable to parse a floating point number after -sfc, using default ", nullptr,
                                 "statisticalFiltering.cutoff",
                                 "The statistical filter's minimum error threshold cannot be greater than the maximum "
                                 "error threshold, using default");
    row.ceiling = &runSettings::sfMaxError;
    return row;
}

optionRow orbitListOption() {
    optionRow row{"-of", valueRule::orbitList, {"mola orbit filtering", "-of %d %d %d %d ...", "none"},
                  "Was unable to parse int ", "for orbit filter, using only the parsed values"};
    row.summaryKey = "pointFilters";
    return row;
}

optionRow topLeftOption() {
    optionRow row{"-tl", valueRule::pair, {"Modify Raster's Top Left coord", "-tl %f(x) %f(y)", "none"},
                  "Warning: Could not parse the replacement top left coordinate, should be of the format -tl %d %d"};
    row.number = &runSettings::topLeftX;
    row.secondNumber = &runSettings::topLeftY;
    row.flag = &runSettings::topLeftGiven;
    row.settingsLabel = "New Top Left Coordinate: ";
    row.summaryKey = "topLeft";
    return row;
}

optionRow addStringOption() {
    optionRow row{"-as", valueRule::fileText, {"Add String to Output Filenames", "-as %s", "Empty String"}};
    row.text = &runSettings::addString;
    row.summaryKey = "addString";
    return row;
}

std::vector<optionRow> makeOptionRows() {
    const valueRule count = valueRule::count;
    const valueRule distance = valueRule::distance;
    const valueRule share = valueRule::share;
    return {
        countOption("-s", count, &runSettings::maxStages, {"Maximum # of stages", "-s %d"},
                    "Was unable to parse an integer after -s, using default ", "maxStages: ", "maxStages"),
        numberOption("-c", distance, &runSettings::convergeValue, {"RMS Convergence Value", "-c %f"},
                     "Was unable to parse a floating point number after -c, using default ", "Converge Value: ",
                     "convergeValue"),
        numberOption("-p", valueRule::signedDistance, &runSettings::padding,
                     {"Translation Range (padding)", "-p %f", "size/10"},
                     "Was unable to parse a floating point number after -p, using default", "Padding: ", "padding"),
        numberOption("-d", valueRule::signedDistance, &runSettings::delta,
                     {"Translation Increment (delta)", "-d %f", "padding/50"},
                     "Was unable to parse a floating point number after -d, using default", "Delta: ", "delta"),
        flagOption("-qf", &runSettings::quadFit, true, {"linear vs quadratic poly fit", "-lf or -qf", "linear"},
                   "QuadFit: ", "quadraticFit"),
        flagOption("-l", &runSettings::hirise, false, {"HiRISE vs LROC project", "-h or -l", "hirise"}, "Hirise: "),
        flagOption("-f", &runSettings::lrocFiltering, true, {"LROC filtering (LROC only)", "-f", "off"},
                   "LROC Filtering: ", "lrocFiltering"),
        orbitListOption(),
        topLeftOption(),
        numberOption("-et", distance, &runSettings::errorThreshold, {"Outlier Point Error Threshold", "-et %f"},
                     "Was unable to parse a floating point number after -et, using default ", nullptr,
                     "errorThreshold"),
        numberOption("-sfe", distance, &runSettings::sfMaxError, {"Stat. Filtering max error", "-sfe %f"},
                     "Was unable to parse a floating point number after -sfe, using default ",
                     "Statistical Filtering Max Error: ", "statisticalFiltering.maxError"),
        cutoffOption(),
        numberOption("-sfd", share, &runSettings::sfDecrease, {"Stat. Filtering decrease/stage", "-sfd %f"},
                     "Was unable to parse a floating point number after -sfd, using default ", nullptr,
                     "statisticalFiltering.decrease",
                     "The entered percentage for -sfd must be between 0 and 1, or 0 and 100, using default"),
        numberOption("-sfsd", distance, &runSettings::sfMaxStdDev, {"Stat. Filtering max std. dev", "-sfsd %f"},
                     "Was unable to parse a floating point number after -sfsd, using default ",
                     "Statistical Filtering Max Std. Deviation: ", "statisticalFiltering.maxStdDev"),
        numberOption("-sfp", share, &runSettings::sfRemovePercent, {"Stat. Filtering remove percent", "-sfp %f"},
                     "Was unable to parse a floating point number after -sfp, using default ",
                     "Statistical Filtering Removal Percentage: ", "statisticalFiltering.removePercent",
                     "The entered percentage must be between 0 and 1 or 0 and 100, using default"),
        countOption("-sfs", valueRule::stage, &runSettings::sfStartStage,
                    {"Stat. Filtering starting stage", "-sfs %d", ".25*maxStage"},
                    "Was unable to parse an integer after -sfs, using default ", "Statistical Filtering Start Stage: ",
                    "statisticalFiltering.startStage"),
        addStringOption(),
        flagOption("-dm", &runSettings::debugMode, true, {"debug mode", "-dm", "off"}, "Debug Mode: ", "debugMode"),
        flagOption("-pr", &runSettings::polarProjection, true, {"Polar stereographic tracks", "-pr", "off"}, nullptr,
                   "polarProjection"),
        // The summary names the threads the run used, not the option's 0 for one per core.
        countOption("-j", count, &runSettings::threadCount, {"Worker threads", "-j %d", "cores"},
                    "Was unable to parse an integer after -j, using default ", nullptr, "threads"),
        flagOption("-od", &runSettings::writeAlignedRaster, true, {"Write aligned GeoTIFF", "-od", "off"}, nullptr,
                   "writeAlignedRaster"),
        flagOption("-oe", &runSettings::writeErrorTable, true, {"Write per-shot error table", "-oe", "off"}, nullptr,
                   "writeErrorTable"),
        flagOption("-os", &runSettings::writeSummary, true, {"Write run summary (JSON)", "-os", "off"}, nullptr,
                   "writeSummary"),
        flagOption("-robust", &runSettings::robustAlignment, true, {"Robust alignment", "-robust", "off"}),
        flagOption("-corner", &runSettings::cornerPlacement, true, {"Cell values at corners", "-corner", "centres"}),
    };
}

}  // namespace

const std::vector<optionRow>& optionRows() {
    static const std::vector<optionRow> rows = makeOptionRows();
    return rows;
}

const optionRow* optionNamed(const std::string& word) {
    for (const optionRow& row : optionRows())
        if (word == row.word) return &row;
    return nullptr;
}

std::string shownDefault(const optionRow& row) {
    if (row.help.shownDefault != nullptr) return row.help.shownDefault;
    const runSettings defaults;
    std::ostringstream text;
    if (row.count != nullptr) text << defaults.*row.count;
    else if (row.rule == valueRule::share) text << defaults.*row.number * 100.0 << "%";
    else if (row.number != nullptr) text << defaults.*row.number;
    return text.str();
}

}  // namespace kalvex
