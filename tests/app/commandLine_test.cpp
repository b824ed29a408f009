// The command line: help, file classification, the option scan with its
// warnings and the values settled after it. The cases and what each prints
// stand in tests/data/expected/commandLines.txt: a line "$ w1,w2,..." is a
// command line, the lines after it are its console text, the settings that
// differ from a bare "dem.tif tracks.csv" (after the computed defaults of a
// raster 1000 units wide, in cells of 0.5) and, in debug mode, the settings block.
#include <gtest/gtest.h>

#include <iomanip>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/commandLine.h"
#include "app/helpText.h"
#include "app/optionTable.h"
#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

struct parseResult {
    std::optional<runSettings> settings;
    std::string console;
};

parseResult parseWords(const std::vector<std::string>& words) {
    std::vector<const char*> vector{"/opt/kalvex/kalvex"};
    for (const std::string& word : words) vector.push_back(word.c_str());
    vector.push_back(nullptr);
    std::ostringstream console;
    std::optional<runSettings> settings = parseCommandLine(int(vector.size()) - 1, vector.data(), console);
    if (settings) finishSearchSettings(console, *settings, 1000.0, 0.5);
    return {settings, console.str()};
}

std::string number(double value) {
    std::ostringstream text;
    text << std::setprecision(12) << value;
    return text.str();
}

// Every setting as one word; a filter whose column or count is already set is marked with "!".
std::vector<std::string> settingWords(const runSettings& s) {
    std::string filters;
    for (const pointFilter& f : s.pointFilters)
        filters += (filters.empty() ? "" : ",") + f.keyword + "?=<>"[f.comparison] + number(f.threshold) +
                   (f.column == -1 && f.removedCount == 0 ? "" : "!");
    const std::string topLeft = s.topLeftGiven ? "given," : "none,";
    return {"raster=" + s.rasterPath, "tracks=" + s.trackPath, "ties=" + s.tiePath, "-s=" + number(s.maxStages),
            "-c=" + number(s.convergeValue), "-d=" + number(s.delta), "-p=" + number(s.padding),
            "-qf=" + number(s.quadFit), "hirise=" + number(s.hirise), "-f=" + number(s.lrocFiltering),
            "filters=" + filters, "-et=" + number(s.errorThreshold), "-sfe=" + number(s.sfMaxError),
            "-sfc=" + number(s.sfCutoff), "-sfd=" + number(s.sfDecrease), "-sfsd=" + number(s.sfMaxStdDev),
            "-sfp=" + number(s.sfRemovePercent), "-sfs=" + number(s.sfStartStage), "-as=" + s.addString,
            "-pr=" + number(s.polarProjection), "-dm=" + number(s.debugMode),
            "-tl=" + topLeft + number(s.topLeftX) + "," + number(s.topLeftY), "-j=" + number(s.threadCount),
            "-od=" + number(s.writeAlignedRaster), "-oe=" + number(s.writeErrorTable), "-os=" + number(s.writeSummary)};
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words{""};
    for (const char character : line) {
        if (character == ',') words.emplace_back();
        else words.back() += character;
    }
    return words;
}

const std::vector<std::string> bareWords{"dem.tif", "tracks.csv"};

// What a command line prints and settles, as the transcript shows it.
std::string transcriptOf(const std::vector<std::string>& words) {
    const parseResult result = parseWords(words);
    if (!result.settings) return result.console + "= refused\n";
    const std::vector<std::string> bare = settingWords(*parseWords(bareWords).settings);
    const std::vector<std::string> given = settingWords(*result.settings);
    std::string changed;
    for (std::size_t i = 0; i < given.size(); ++i)
        if (given[i] != bare[i]) changed += " " + given[i];
    std::string text = result.console + "=" + changed + "\n";
    if (!result.settings->debugMode) return text;
    std::ostringstream console;
    printSettings(console, *result.settings);
    return text + console.str();
}

TEST(CommandLine, EveryCaseOfTheTranscriptPrintsAndSettlesAsRecorded) {
    const std::string expected = readTextFile(testDataDir() + "/expected/commandLines.txt");
    std::string transcript = "defaults:";
    for (const std::string& word : settingWords(*parseWords(bareWords).settings)) transcript += " " + word;
    transcript += "\n";
    std::istringstream lines(expected);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("#", 0) == 0) transcript += line + "\n";
        if (line.rfind("$ ", 0) == 0) transcript += line + "\n" + transcriptOf(splitWords(line.substr(2)));
    }
    EXPECT_EQ(transcript, expected);
}

// Whatever the word after a value option that is no usable number, or none at
// all, the option prints what it prints for "abc" (recorded in the transcript)
// and every setting keeps its default.
TEST(CommandLine, NoUsableValueActsLikeAWordWithoutANumber) {
    for (const char* option :
         {"-s", "-c", "-d", "-p", "-et", "-sfe", "-sfc", "-sfd", "-sfsd", "-sfp", "-sfs", "-j", "-tl"}) {
        const std::string refused = transcriptOf({"dem.tif", "tracks.csv", option, "abc"});
        for (const char* word : {"", " ", "-", ".", "e5", "+", "nan", "inf", "-infinity", "NAN(1)"})
            EXPECT_EQ(transcriptOf({"dem.tif", "tracks.csv", option, word}), refused) << option << " '" << word << "'";
        EXPECT_EQ(transcriptOf({"dem.tif", "tracks.csv", option}), refused) << option << " standing last";
    }
}

TEST(CommandLine, TooFewWordsPrintTheHelpText) {
    const std::string help = readTextFile(testDataDir() + "/expected/help.txt");
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{{}, {"dem.tif"}})
        EXPECT_EQ(transcriptOf(words), help + "= refused\n") << words.size();
    std::ostringstream console;
    EXPECT_FALSE(parseCommandLine(0, nullptr, console).has_value());
    printHelp(console);
    EXPECT_EQ(console.str(), help + help);
}

// The help's default column of every option against the setting a run
// without options uses: numbers and percentages stand for themselves, the
// words for what they name (size: the raster's 1000 units).
TEST(CommandLine, TheHelpShowsTheDefaultsARunUses) {
    const runSettings run = *parseWords(bareWords).settings;
    std::ostringstream help;
    printHelp(help);
    const std::map<std::string, double> named{
        {"size/10", 1000.0 / 10}, {"padding/50", run.padding / 50}, {".25*maxStage", run.maxStages / 4 - 1},
        {"off", 0},  {"linear", 0}, {"hirise", 1}, {"centres", 0}, {"cores", 0}, {"none", 0}, {"Empty String", 0}};
    for (const optionRow& row : optionRows()) {
        if (row.help.name == nullptr) continue;
        const std::string line = help.str().substr(0, help.str().find(std::string("|   ") + row.help.argument + "\n"));
        const std::string cell = line.substr(line.rfind('|') + 2);
        const std::string column = cell.substr(0, cell.find_last_not_of(' ') + 1);
        const double shown = named.count(column) ? named.at(column)
                                                 : std::stod(column) / (column.back() == '%' ? 100.0 : 1.0);
        double used = double(run.pointFilters.size());  // the orbit list
        if (row.flag != nullptr) used = run.*row.flag;
        else if (row.count != nullptr) used = run.*row.count;
        else if (row.number != nullptr) used = run.*row.number;
        else if (row.text != nullptr) used = double((run.*row.text).size());
        EXPECT_DOUBLE_EQ(shown, used) << row.word << " " << column;
    }
}

}  // namespace
}  // namespace kalvex::testing
