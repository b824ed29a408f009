// The help text and the settings block that debug mode prints.
#include <cstddef>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "app/helpText.h"

#include "app/optionTable.h"

namespace kalvex {
namespace {

const std::size_t helpWidth = 71;

std::string padded(const std::string& text, std::size_t width) {
    if (text.size() >= width) return text;
    return text + std::string(width - text.size(), ' ');
}

void printLines(std::ostream& console, std::initializer_list<const char*> lines) {
    for (const char* line : lines) console << line << std::endl;
}

void printRule(std::ostream& console) { console << std::string(helpWidth, '*') << std::endl; }

void printBanner(std::ostream& console) {
    printRule(console);
    console << padded("* Kalvex Help", helpWidth - 1) << "*" << std::endl;
    printRule(console);
}

void printInputs(std::ostream& console) {
    printLines(console, {"Inputs", "", "Run Kalvex Query format:", "  kalvex file1 file2 file3 [options]", "Notes:",
                         "  There Must Be 3 files", "      One Must be a .tif", "      One Must be a .rep or a .gpf",
                         "      One Must be either a .tab, .csv or .dbf", "", "Generate Error Map Query format:",
                         "  kalvex file1 file2 [options]", "Notes:", "  There Must Be 2 files",
                         "      One Must be a .tif", "      One Must be either a .tab, .csv or .dbf",
                         "  This will generate the same error map as the initial error map in",
                         "  kalvex, but kalvex will not be run"});
}

void printOptionRow(std::ostream& console, const std::string& name, const std::string& defaultValue,
                    const std::string& argument) {
    console << padded("  " + name, 32) << "|" << padded(" " + defaultValue, 14) << "|   " << argument << std::endl;
}

void printOptionsTable(std::ostream& console) {
    printRule(console);
    printLines(console, {"Command Line Options Table", "",
                         "         Command Name           | Default Val  | Command Line Argument"});
    for (const optionRow& option : optionRows())
        if (option.help.name != nullptr) printOptionRow(console, option.help.name, shownDefault(option), option.help.argument);
    console << std::endl;
}

void printNotes(std::ostream& console) {
    printLines(console, {"Notes:", "  size = width or height depending which is larger", "  %d = Integer Number",
                         "  %f = Floating Point Number", "  &s = String", "  LROC filters: ", "      ofnadang > 15",
                         "      ptshotnum = 3 or 5", "      solincangle > 80",
                         "  -corner places each cell's value at the cell's top-left corner, as",
                         "      earlier runs did, for comparing with their results"});
}

void printStatisticalFiltering(std::ostream& console) {
    printRule(console);
    printLines(console, {"Statistical Filtering", "", "Overview:",
                         "Statistical filtering will attempt to weed out bad tracks from the ",
                         "kalvex run. It does so by using a weighting system.",
                         "Weightings will range from 0 to 1 and are specific to a single track in",
                         "the mola data. They will affect kalvex when it checks the",
                         "RMS as it attempts to fit the data. This process will check if a change",
                         "caused a lower RMS than the RMS in the previous state; if it does,",
                         "that change is accepted. Weightings come in when calculating error.",
                         "When the error of each mola point is calculated, the error will also",
                         "be multiplied its track's weighting. Therefore if worse tracks have",
                         "a lower weighting than better tracks, kalvex will focus on",
                         "fitting those better tracks.", "",
                         "How it works:", "Weightings are adjusted by first calculating the average error and ",
                         "standard deviation of each track in the mola data. If the calculated",
                         "standard deviation and average error values of the track are greater ",
                         "than a user-specified acceptable standard deviation and average error,",
                         "the weighting of that track gets decremented by a user specified ",
                         "percentage to remove (in decimal format). Therefore the longer a track",
                         "is above these user specified values, the smaller a track's weighting",
                         "will become and the less kalvex will try to fit that track.",
                         "Because of this, statistical filtering should only begin adjusting",
                         "weightings after kalvex has already found a decent fit.", "",
                         "Turning off statistical filtering: -sfp 0"});
}

struct outputEntry {
    const char* name;
    std::vector<const char*> description;
};

void printOutputEntry(std::ostream& console, const outputEntry& entry) {
    console << "|------------------------|--------------------------------------------|" << std::endl;
    std::string nameCell = entry.name;
    for (const char* line : entry.description) {
        console << "|" << padded(" " + nameCell, 24) << "|" << padded(std::string(" ") + line, 44) << "|"
                << std::endl;
        nameCell.clear();
    }
}

void printOutputs(std::ostream& console) {
    printRule(console);
    printLines(console, {"Outputs", "", "Either 5 or 7 files are outputted based on whether or not statistical",
                         "filtering was enabled. All outputted files will be saved in the same",
                         "location as the geotiff and they will have the same name as the geotiff",
                         "but with the following additions to the name (if a string was specified",
                         "with the -as argument, it will be placed before these strings):"});
    const std::vector<outputEntry> entries = {
        {"_Error_Map.gnu", {"gnuplot file used to generate the error map"}},
        {"_Error_Map.png", {"png image of the error map"}},
        {"_Weightings_Map.gnu", {"gnuplot file used to generate the", "weightings map"}},
        {"_Weightings_Map.png",
         {"If statistical filtering is enabled, this", "output will have a graph of the mola tracks",
          "color coded with their associated weighting", "in kalvex, allowing the user to",
          "see which tracks kalvex prefered", "when trying to find the best fit."}},
        {"_Coord_Map.gnu", {"gnuplot file used to generate the", "coordinate map"}},
        {"_Coord_Map.png", {"png image showing how the tie coordinates", "moved"}},
        {"_report.txt",
         {"report of the kalvex operation,", "including final tie points and analysis of", "the results"}},
    };
    console << std::string(helpWidth, '_') << std::endl;
    console << "|          Name          |                Description                 |" << std::endl;
    for (const outputEntry& entry : entries) printOutputEntry(console, entry);
    console << "|________________________|____________________________________________|" << std::endl;
}

int asFlag(bool value) { return value ? 1 : 0; }

}  // namespace

void printHelp(std::ostream& console) {
    console << std::endl;
    printBanner(console);
    printInputs(console);
    printOptionsTable(console);
    printNotes(console);
    printStatisticalFiltering(console);
    printOutputs(console);
    console << std::endl;
}

// Debug mode's settings block: the settings in force, in the block's own order.
void printSettings(std::ostream& console, const runSettings& settings) {
    console << std::endl;
    for (const char* word : {"-dm", "-l", "-qf", "-s", "-c", "-d", "-p", "-f", "-sfe", "-sfsd", "-sfp", "-sfs", "-tl"}) {
        const optionRow& row = *optionNamed(word);
        if (row.rule == valueRule::pair) {
            if (!(settings.*row.flag)) continue;
            console << row.settingsLabel << settings.*row.number << " " << settings.*row.secondNumber << std::endl;
            console << std::endl;
        } else if (row.rule == valueRule::flag) {
            console << row.settingsLabel << asFlag(settings.*row.flag) << std::endl;
        } else if (row.count != nullptr) {
            console << row.settingsLabel << settings.*row.count << std::endl;
        } else {
            console << row.settingsLabel << settings.*row.number << std::endl;
        }
    }
}

}  // namespace kalvex
