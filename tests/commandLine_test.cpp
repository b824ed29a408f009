#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/runSettings.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

struct parseResult {
    std::optional<runSettings> settings;
    std::string console;
};

// Parses "kalvex" followed by the given words and captures what was printed.
parseResult parseWords(const std::vector<std::string>& words) {
    std::vector<const char*> vector{"/opt/kalvex/kalvex"};
    for (const std::string& word : words) vector.push_back(word.c_str());
    vector.push_back(nullptr);
    testing::consoleCapture capture;
    std::optional<runSettings> settings = parseCommandLine(static_cast<int>(vector.size()) - 1, vector.data());
    return {settings, capture.text()};
}

// The two files of an error-map-only run followed by the given options.
runSettings parseOptions(const std::vector<std::string>& options, std::string* console = nullptr) {
    std::vector<std::string> words{"dem.tif", "tracks.csv"};
    words.insert(words.end(), options.begin(), options.end());
    parseResult result = parseWords(words);
    if (console != nullptr) *console = result.console;
    EXPECT_TRUE(result.settings.has_value());
    return result.settings.value_or(runSettings());
}

// Every setting but the texts, named after its option (tlx, tly: the top left; -of: the number of filters).
using fieldMap = std::map<std::string, double>;
fieldMap fieldsOf(const runSettings& s) {
    return {{"-s", s.maxStages}, {"-c", s.convergeValue}, {"-d", s.delta}, {"-p", s.padding},
            {"-et", s.errorThreshold}, {"-sfe", s.sfMaxError}, {"-sfc", s.sfCutoff}, {"-sfd", s.sfDecrease},
            {"-sfsd", s.sfMaxStdDev}, {"-sfp", s.sfRemovePercent}, {"-sfs", s.sfStartStage}, {"-j", s.threadCount},
            {"-qf", s.quadFit}, {"-h", s.hirise}, {"-f", s.lrocFiltering}, {"-pr", s.polarProjection},
            {"-dm", s.debugMode}, {"-tl", s.topLeftGiven}, {"tlx", s.topLeftX}, {"tly", s.topLeftY},
            {"-od", s.writeAlignedRaster}, {"-oe", s.writeErrorTable}, {"-of", double(s.pointFilters.size())}};
}

// The defaults with the given fields changed.
fieldMap defaultsWith(const fieldMap& changed) {
    fieldMap fields{{"-s", 20}, {"-c", 0.0001}, {"-d", -1}, {"-p", -1}, {"-et", 30}, {"-sfe", 10}, {"-sfc", 2},
                    {"-sfd", 0.1}, {"-sfsd", 7}, {"-sfp", 0.05}, {"-sfs", 4}, {"-j", 0}, {"-qf", 0}, {"-h", 1},
                    {"-f", 0}, {"-pr", 0}, {"-dm", 0}, {"-tl", 0}, {"tlx", 0}, {"tly", 0}, {"-od", 0}, {"-oe", 0},
                    {"-of", 0}};
    for (const auto& [name, value] : changed) {
        EXPECT_EQ(fields.count(name), 1u) << name;
        fields[name] = value;
    }
    return fields;
}

std::string expectedHelpText() {
    const std::string rule =
        "***********************************************************************\n";
    return std::string("\n") + rule +
           "* Kalvex Help                                                         *\n" + rule +
           "Inputs\n"
           "\n"
           "Run Kalvex Query format:\n"
           "  kalvex file1 file2 file3 [options]\n"
           "Notes:\n"
           "  There Must Be 3 files\n"
           "      One Must be a .tif\n"
           "      One Must be a .rep or a .gpf\n"
           "      One Must be either a .tab, .csv or .dbf\n"
           "\n"
           "Generate Error Map Query format:\n"
           "  kalvex file1 file2 [options]\n"
           "Notes:\n"
           "  There Must Be 2 files\n"
           "      One Must be a .tif\n"
           "      One Must be either a .tab, .csv or .dbf\n"
           "  This will generate the same error map as the initial error map in\n"
           "  kalvex, but kalvex will not be run\n" +
           rule +
           "Command Line Options Table\n"
           "\n"
           "         Command Name           | Default Val  | Command Line Argument\n"
           "  Maximum # of stages           | 20           |   -s %d\n"
           "  RMS Convergence Value         | 0.0001       |   -c %f\n"
           "  Translation Range (padding)   | size/2       |   -p %f\n"
           "  Translation Increment (delta) | 0.002*padding|   -d %f\n"
           "  linear vs quadratic poly fit  | linear       |   -lf or -qf\n"
           "  HiRISE vs LROC project        | hirise       |   -h or -l\n"
           "  LROC filtering (LROC only)    | off          |   -f\n"
           "  mola orbit filtering          | none         |   -of %d %d %d %d ...\n"
           "  Modify Raster's Top Left coord| none         |   -tl %f(x) %f(y)\n"
           "  Outlier Point Error Threshold | 30           |   -et %f\n"
           "  Stat. Filtering max error     | 10           |   -sfe %f\n"
           "  Stat. Filtering dec. cutoff   | 2            |   -sfc %f\n"
           "  Stat. Filtering decrease/stage| 10%          |   -sfd %f\n"
           "  Stat. Filtering max std. dev  | 7            |   -sfsd %f\n"
           "  Stat. Filtering remove percent| 5%           |   -sfp %f\n"
           "  Stat. Filtering starting stage| .25*maxStage |   -sfs %d\n"
           "  Add String to Output Filenames| Empty String |   -as %s\n"
           "  debug mode                    | off          |   -dm\n"
           "  Worker threads                | cores        |   -j %d\n"
           "  Write aligned GeoTIFF         | off          |   -od\n"
           "  Write per-shot error table    | off          |   -oe\n"
           "  Robust alignment              | off          |   -robust\n"
           "\n"
           "Notes:\n"
           "  size = width or height depending which is larger\n"
           "  %d = Integer Number\n"
           "  %f = Floating Point Number\n"
           "  &s = String\n"
           "  LROC filters: \n"
           "      ofnadang > 15\n"
           "      ptshotnum = 3 or 5\n"
           "      solincangle > 80\n" +
           rule +
           "Statistical Filtering\n"
           "\n"
           "Overview:\n"
           "Statistical filtering will attempt to weed out bad tracks from the \n"
           "kalvex run. It does so by using a weighting system.\n"
           "Weightings will range from 0 to 1 and are specific to a single track in\n"
           "the mola data. They will affect kalvex when it checks the\n"
           "RMS as it attempts to fit the data. This process will check if a change\n"
           "caused a lower RMS than the RMS in the previous state; if it does,\n"
           "that change is accepted. Weightings come in when calculating error.\n"
           "When the error of each mola point is calculated, the error will also\n"
           "be multiplied its track's weighting. Therefore if worse tracks have\n"
           "a lower weighting than better tracks, kalvex will focus on\n"
           "fitting those better tracks.\n"
           "\n"
           "How it works:\n"
           "Weightings are adjusted by first calculating the average error and \n"
           "standard deviation of each track in the mola data. If the calculated\n"
           "standard deviation and average error values of the track are greater \n"
           "than a user-specified acceptable standard deviation and average error,\n"
           "the weighting of that track gets decremented by a user specified \n"
           "percentage to remove (in decimal format). Therefore the longer a track\n"
           "is above these user specified values, the smaller a track's weighting\n"
           "will become and the less kalvex will try to fit that track.\n"
           "Because of this, statistical filtering should only begin adjusting\n"
           "weightings after kalvex has already found a decent fit.\n"
           "\n"
           "Turning off statistical filtering: -sfp 0\n" +
           rule +
           "Outputs\n"
           "\n"
           "Either 5 or 7 files are outputted based on whether or not statistical\n"
           "filtering was enabled. All outputted files will be saved in the same\n"
           "location as the geotiff and they will have the same name as the geotiff\n"
           "but with the following additions to the name (if a string was specified\n"
           "with the -as argument, it will be placed before these strings):\n"
           "_______________________________________________________________________\n"
           "|          Name          |                Description                 |\n"
           "|------------------------|--------------------------------------------|\n"
           "| _Error_Map.gnu         | gnuplot file used to generate the error map|\n"
           "|------------------------|--------------------------------------------|\n"
           "| _Error_Map.png         | png image of the error map                 |\n"
           "|------------------------|--------------------------------------------|\n"
           "| _Error_Map_Filtered.gnu| gnuplot file used to generate the error map|\n"
           "|                        | if statistical filtering is enabled        |\n"
           "|------------------------|--------------------------------------------|\n"
           "| _Error_Map_Filtered.png| png image of the error map if statistical  |\n"
           "|                        | filtering is enabled. Statistical filtering|\n"
           "|                        | has a separate string added so one can     |\n"
           "|                        | compare the results with the statistical   |\n"
           "|                        | filter to the results without the          |\n"
           "|                        | statistical filter.                        |\n"
           "|------------------------|--------------------------------------------|\n"
           "| _Weightings_Map.gnu    | gnuplot file used to generate the          |\n"
           "|                        | weightings map                             |\n"
           "|------------------------|--------------------------------------------|\n"
           "| _Weightings_Map.png    | If statistical filtering is enabled, this  |\n"
           "|                        | output will have a graph of the mola tracks|\n"
           "|                        | color coded with their associated weighting|\n"
           "|                        | in kalvex, allowing the user to            |\n"
           "|                        | see which tracks kalvex prefered           |\n"
           "|                        | when trying to find the best fit.          |\n"
           "|------------------------|--------------------------------------------|\n"
           "| _Coord_Map.gnu         | gnuplot file used to generate the          |\n"
           "|                        | coordinate map                             |\n"
           "|------------------------|--------------------------------------------|\n"
           "| _Coord_Map.png         | png image showing how the tie coordinates  |\n"
           "|                        | moved                                      |\n"
           "|------------------------|--------------------------------------------|\n"
           "| _report.txt            | report of the kalvex operation,            |\n"
           "|                        | including final tie points and analysis of |\n"
           "|                        | the results                                |\n"
           "|________________________|____________________________________________|\n"
           "\n";
}


TEST(HelpText, MatchesTheTextByteForByteAndEndsARunWithTooFewWords) {
    {
        testing::consoleCapture capture;
        printHelp();
        EXPECT_EQ(capture.text(), expectedHelpText());
    }
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{{}, {"dem.tif"}}) {
        const parseResult result = parseWords(words);
        EXPECT_FALSE(result.settings.has_value()) << words.size();
        EXPECT_EQ(result.console, expectedHelpText()) << words.size();
    }
    testing::consoleCapture capture;
    EXPECT_FALSE(parseCommandLine(0, nullptr).has_value());
    EXPECT_EQ(capture.text(), expectedHelpText());
}

// Files in any order, exact and case-sensitive extensions, a later file of a
// kind replacing the earlier, only the first three words taken as files and
// options scanned from the word after the files.
TEST(FileClassification, ExtensionsDecideAndOptionsFollowTheFiles) {
    struct filesCase {
        std::vector<std::string> words;
        std::string raster, track, tie;
        fieldMap changed;
    };
    const std::vector<filesCase> accepted{
        {{"tracks.csv", "dem.tif"}, "dem.tif", "tracks.csv", "", {}},
        {{"ties.gpf", "dem.tif", "tracks.tab"}, "dem.tif", "tracks.tab", "ties.gpf", {}},
        {{"data/run.v2/tracks.dbf", "../ties.rep", "./dem.tif"}, "./dem.tif", "data/run.v2/tracks.dbf", "../ties.rep", {}},
        {{"first.tif", "tracks.csv", "second.tif", "-s", "5"}, "second.tif", "tracks.csv", "", {{"-s", 5}, {"-sfs", 0}}},
        {{"a.csv", "dem.tif", "b.dbf"}, "dem.tif", "b.dbf", "", {}},
        {{"dem.tif", "tracks.csv", "-dm", "ties.gpf"}, "dem.tif", "tracks.csv", "", {{"-dm", 1}}},
        {{"dem.tif", "tracks.csv", "-s", "5"}, "dem.tif", "tracks.csv", "", {{"-s", 5}, {"-sfs", 0}}},
        {{"dem.tif", "tracks.csv", "ties.gpf", "-s", "5"}, "dem.tif", "tracks.csv", "ties.gpf", {{"-s", 5}, {"-sfs", 0}}},
        {{"ties.gpf", "tracks.csv", "dem.tif", "-qf"}, "dem.tif", "tracks.csv", "ties.gpf", {{"-qf", 1}}}};
    for (const filesCase& row : accepted) {
        SCOPED_TRACE(row.words[0] + " " + row.words[1]);
        const parseResult result = parseWords(row.words);
        ASSERT_TRUE(result.settings.has_value());
        EXPECT_EQ(result.console, "");
        EXPECT_EQ(result.settings->rasterPath + "|" + result.settings->trackPath + "|" + result.settings->tiePath,
                  row.raster + "|" + row.track + "|" + row.tie);
        EXPECT_EQ(fieldsOf(*result.settings), defaultsWith(row.changed));
    }
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"dem.TIF", "tracks.csv", "ties.gpf"}, {"dem.tif", "tracks.CSV", "ties.gpf"}, {"dem.tiff", "tracks.csv"},
             {"dem", "tracks.csv"}, {"dem.tif", "tracks.csv.bak"}, {"dem.tif", "ties.gpf", "-s"},
             {"dem.tif.", "tracks.csv"}}) {
        const parseResult result = parseWords(words);
        EXPECT_FALSE(result.settings.has_value()) << words[0] << " " << words[1];
        EXPECT_EQ(result.console, "Error: Files must include at least one .tif and either a .dbf, .csv or .tab\n")
            << words[0] << " " << words[1];
    }
}

const std::vector<std::pair<std::string, std::string>> valueOptions = {
    {"-s", "Was unable to parse an integer after -s, using default \n"},
    {"-c", "Was unable to parse a floating point number after -c, using default \n"},
    {"-d", "Was unable to parse a floating point number after -d, using default\n"},
    {"-p", "Was unable to parse a floating point number after -p, using default\n"},
    {"-et", "Was unable to parse a floating point number after -et, using default \n"},
    {"-sfe", "Was unable to parse a floating point number after -sfe, using default \n"},
    {"-sfc", "Was unable to parse a floating point number after -sfc, using default \n"},
    {"-sfd", "Was unable to parse a floating point number after -sfd, using default \n"},
    {"-sfsd", "Was unable to parse a floating point number after -sfsd, using default \n"},
    {"-sfp", "Was unable to parse a floating point number after -sfp, using default \n"},
    {"-sfs", "Was unable to parse an integer after -sfs, using default \n"},
    {"-j", "Was unable to parse an integer after -j, using default \n"},
};

std::string warning(const std::string& option) {
    for (const auto& [name, text] : valueOptions)
        if (name == option) return text;
    return "no such option";
}

TEST(OptionValues, EveryFailureWarnsAndKeepsTheDefault) {
    for (const auto& [option, text] : valueOptions) {
        for (const char* word : {"abc", "", " ", "-", ".", "e5", "+", "nan", "inf", "-infinity", "NAN(1)"}) {
            std::string console;
            const runSettings settings = parseOptions({option, word}, &console);
            EXPECT_EQ(console, text) << option << " '" << word << "'";
            EXPECT_EQ(fieldsOf(settings), defaultsWith({})) << option << " '" << word << "'";
        }
        std::string console;  // standing last
        EXPECT_EQ(fieldsOf(parseOptions({option}, &console)), defaultsWith({})) << option;
        EXPECT_EQ(console, text) << option;
    }
}

std::string addStringWarning(char character) {
    return std::string("\nWarning:The string specified after -as contains a '") + character +
           "' which will create an invalid filename, will be using the default instead\n";
}

// Each row: the options after two files, the console text, the settings that
// differ from the defaults (all others must keep theirs) and the -as text.
TEST(OptionValues, EachOptionLineGivesItsSettingsAndMessages) {
    struct optionCase {
        std::vector<std::string> options;
        std::string console;
        fieldMap changed;
        std::string addString;
    };
    const std::string cutoff = "The statistical filter's minimum error threshold cannot be greater than the maximum "
                               "error threshold, using default\n";
    const std::string removeRefusal = "The entered percentage must be between 0 and 1 or 0 and 100, using default\n";
    const std::string decreaseRefusal =
        "The entered percentage for -sfd must be between 0 and 1, or 0 and 100, using default\n";
    const std::string topLeft =
        "Warning: Could not parse the replacement top left coordinate, should be of the format -tl %d %d\n";
    const fieldMap largest{{"-s", 2147483647}, {"-sfs", 536870910}};
    std::vector<optionCase> cases{
        {{}, "", {}, ""},
        {{"-qf", "-pr", "-dm", "-od", "-oe", "-s", "3", "-s", "8", "-et", "12", "-sfsd", "-4.5"}, "",
         {{"-qf", 1}, {"-pr", 1}, {"-dm", 1}, {"-od", 1}, {"-oe", 1}, {"-s", 8}, {"-sfs", 1}, {"-et", 12}, {"-sfsd", 4.5}}, ""},
        // Unknown option words are named, the help text's defaults and other words pass silently.
        {{"-lf", "-h", "-S", "--s", "-", "", "stray", "7", "-dm"},
         "Warning: Unknown option -S was ignored\nWarning: Unknown option --s was ignored\n"
         "Warning: Unknown option - was ignored\n", {{"-dm", 1}}, ""},
        // Absolute values, but padding and delta keep their signs.
        {{"-s", "-7", "-c", "-0.01", "-p", "-3", "-d", "-2.5", "-et", "-40", "-sfe", "-8", "-sfs", "-3", "-j", "-6"}, "",
         {{"-s", 7}, {"-c", 0.01}, {"-p", -3}, {"-d", -2.5}, {"-et", 40}, {"-sfe", 8}, {"-sfs", 2}, {"-j", 6}}, ""},
        // The longest leading number is taken; an integer option takes no fraction.
        {{"-s", "12abc", "-c", " 2.5e-3x", "-p", "+40.", "-d", ".5", "-et", "0x1p4", "-sfs", " \t3"}, "",
         {{"-s", 12}, {"-c", 0.0025}, {"-p", 40}, {"-d", 0.5}, {"-et", 0}, {"-sfs", 2}}, ""},
        {{"-s", "7.9"}, "", {{"-s", 7}, {"-sfs", 0}}, ""},
        // A failure examines the next word again as an option.
        {{"-s", "-dm"}, warning("-s"), {{"-dm", 1}}, ""},
        {{"-d", "-p", "7"}, warning("-d"), {{"-p", 7}}, ""},
        {{"-c", "0.5", "-c", "abc"}, warning("-c"), {{"-c", 0.5}}, ""},
        // Numbers out of range are failures; the most negative int has no absolute value of its own.
        {{"-s", "2147483648"}, warning("-s"), {}, ""},
        {{"-s", "99999999999999999999999"}, warning("-s"), {}, ""},
        {{"-s", "-2147483647"}, "", largest, ""},
        {{"-s", "-2147483648"}, warning("-s"), {}, ""},
        {{"-sfs", "-2147483648"}, warning("-sfs"), {}, ""},
        {{"-j", "-2147483648"}, warning("-j"), {}, ""},
        {{"-c", "1e999"}, warning("-c"), {}, ""},
        {{"-p", "-1e400"}, warning("-p"), {}, ""},
        {{"-p", "1e300"}, "", {{"-p", 1e300}}, ""},
        // The cutoff is compared with the max error in force when it is read.
        {{"-sfe", "4", "-sfc", "5"}, cutoff, {{"-sfe", 4}}, ""},
        {{"-sfc", "5", "-sfe", "4"}, "", {{"-sfc", 5}, {"-sfe", 4}}, ""},
        {{"-sfc", "12"}, cutoff, {}, ""},
        {{"-sfc", "-10"}, "", {{"-sfc", 10}}, ""},
        {{"-sfe", "1", "-sfc", "3"}, cutoff, {{"-sfe", 1}}, ""},
        {{"-sfc", "7", "-sfc", "x"}, warning("-sfc"), {{"-sfc", 7}}, ""},
        // Percentages as fractions or percents.
        {{"-sfp", "1"}, "", {{"-sfp", 1}}, ""},
        {{"-sfp", "5"}, "", {{"-sfp", 0.05}}, ""},
        {{"-sfp", "100"}, "", {{"-sfp", 1}}, ""},
        {{"-sfp", "0.3"}, "", {{"-sfp", 0.3}}, ""},
        {{"-sfp", "-20"}, "", {{"-sfp", 0.2}}, ""},
        {{"-sfp", "0"}, "", {{"-sfp", 0}}, ""},
        {{"-sfp", "101"}, removeRefusal, {}, ""},
        {{"-sfp", "0.5", "-sfp", "150"}, removeRefusal, {}, ""},
        {{"-sfd", "1"}, "", {{"-sfd", 1}}, ""},
        {{"-sfd", "5"}, "", {{"-sfd", 0.05}}, ""},
        {{"-sfd", "100"}, "", {{"-sfd", 1}}, ""},
        {{"-sfd", "0.5", "-sfd", "150"}, decreaseRefusal, {}, ""},
        {{"-sfd", "-101"}, decreaseRefusal, {}, ""},
        // The start stage is stored from zero; a quarter of the stages unless inside the run.
        {{"-sfs", "50"}, "", {}, ""},
        {{"-sfs", "20"}, "", {}, ""},
        {{"-sfs", "19"}, "", {{"-sfs", 18}}, ""},
        {{"-sfs", "1"}, "", {{"-sfs", 0}}, ""},
        {{"-sfs", "0"}, "", {{"-sfs", -1}}, ""},
        {{"-s", "3"}, "", {{"-s", 3}, {"-sfs", -1}}, ""},
        {{"-s", "0"}, "", {{"-s", 0}, {"-sfs", -1}}, ""},
        {{"-s", "9", "-sfs", "-5"}, "", {{"-s", 9}, {"-sfs", 4}}, ""},
        {{"-sfs", "7", "-s", "7"}, "", {{"-s", 7}, {"-sfs", 0}}, ""},
        {{"-s", "2147483647", "-sfs", "2147483647"}, "", largest, ""},
        // Threads: the absolute value, zero for one per core.
        {{"-j", "4"}, "", {{"-j", 4}}, ""},
        {{"-j", "-3"}, "", {{"-j", 3}}, ""},
        {{"-j", "0"}, "", {}, ""},
        {{"-j", "-od"}, warning("-j"), {{"-od", 1}}, ""},
        // Top left: both values; a failure warns and scans on after -tl; a failed repeat keeps the earlier whole.
        {{"-tl", "-1500.5", "2e3", "-dm"}, "", {{"-tl", 1}, {"tlx", -1500.5}, {"tly", 2000}, {"-dm", 1}}, ""},
        {{"-tl", "abc", "5"}, topLeft, {}, ""},
        {{"-tl", "5", "abc"}, topLeft, {}, ""},
        {{"-tl", "5", "nan"}, topLeft, {}, ""},
        {{"-tl", "inf", "5"}, topLeft, {}, ""},
        {{"-tl", "5"}, topLeft, {}, ""},
        {{"-tl"}, topLeft, {}, ""},
        {{"-tl", "5", "-s", "9"}, topLeft, {{"-s", 9}, {"-sfs", 1}}, ""},
        {{"-tl", "1", "2", "-tl", "5", "abc"}, topLeft, {{"-tl", 1}, {"tlx", 1}, {"tly", 2}}, ""},
        // Orbit filters: numbers up to the next option, lists adding up; LROC filters only with -l and -f.
        {{"-of", "12", "abc", "34", "-dm"}, "Was unable to parse int abcfor orbit filter, using only the parsed values\n",
         {{"-of", 2}, {"-dm", 1}}, ""},
        {{"-of", "1", "-s", "4", "-of", "2x", "3", "99999999999"},
         "Was unable to parse int 99999999999for orbit filter, using only the parsed values\n",
         {{"-of", 3}, {"-s", 4}, {"-sfs", 0}}, ""},
        {{"-of"}, "", {}, ""},
        {{"-of", "-qf"}, "", {{"-qf", 1}}, ""},
        {{"-f"}, "", {{"-f", 1}}, ""},
        {{"-l"}, "", {{"-h", 0}}, ""},
        {{"-f", "-of", "7", "-l"}, "", {{"-f", 1}, {"-h", 0}, {"-of", 5}}, ""},
        // Any word after -as is the text; forbidden characters, first in list order named, reset it.
        {{"-as", "_run2"}, "", {}, "_run2"},
        {{"-as", "-dm"}, "", {}, "-dm"},
        {{"-as", "a", "-as", "b"}, "", {}, "b"},
        {{"-as", "keep", "-as"}, "", {}, "keep"},
        {{"-as", "a*b<c"}, addStringWarning('<'), {}, ""},
        {{"-as", "?/:"}, addStringWarning(':'), {}, ""}};
    for (const char character : std::string("<>:\"\\/|?*"))
        cases.push_back({{"-as", std::string("run") + character + "x", "-qf"}, addStringWarning(character), {{"-qf", 1}}, ""});
    for (const optionCase& row : cases) {
        std::string shown;
        for (const std::string& word : row.options) shown += "'" + word + "' ";
        SCOPED_TRACE(shown);
        std::string console;
        const runSettings settings = parseOptions(row.options, &console);
        EXPECT_EQ(console, row.console);
        EXPECT_EQ(fieldsOf(settings), defaultsWith(row.changed));
        EXPECT_EQ(settings.addString, row.addString);
        EXPECT_EQ(settings.rasterPath + "|" + settings.trackPath + "|" + settings.tiePath, "dem.tif|tracks.csv|");
    }
}

TEST(OptionValues, OrbitAndLrocFiltersInOrder) {
    const runSettings settings = parseOptions({"-of", "12", "-f", "-of", "34", "-l"});
    const std::vector<pointFilter> expected = {{pointFilter::equalTo, "orbit", 12.0},
                                               {pointFilter::equalTo, "orbit", 34.0},
                                               {pointFilter::greaterThan, "ofnadang", 15.0},
                                               {pointFilter::equalTo, "ptshotnum", 3.0},
                                               {pointFilter::equalTo, "ptshotnum", 5.0},
                                               {pointFilter::greaterThan, "solincang", 80.0}};
    ASSERT_EQ(settings.pointFilters.size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const pointFilter& filter = settings.pointFilters[index];
        EXPECT_EQ(filter.comparison, expected[index].comparison) << index;
        EXPECT_EQ(filter.keyword, expected[index].keyword) << index;
        EXPECT_EQ(filter.threshold, expected[index].threshold) << index;
        EXPECT_EQ(filter.column, -1) << index;
        EXPECT_EQ(filter.removedCount, 0) << index;
    }
}

TEST(SettingsBlock, PrintedAfterTheComputedDefaults) {
    runSettings settings = parseOptions({"-dm"});
    finishDefaults(settings, 1000.0);
    {
        testing::consoleCapture capture;
        printSettings(settings);
        EXPECT_EQ(capture.text(),
                  "\n"
                  "Debug Mode: 1\n"
                  "Hirise: 1\n"
                  "QuadFit: 0\n"
                  "maxStages: 20\n"
                  "Converge Value: 0.0001\n"
                  "Delta: 2\n"
                  "Padding: 100\n"
                  "LROC Filtering: 0\n"
                  "Statistical Filtering Max Error: 10\n"
                  "Statistical Filtering Max Std. Deviation: 7\n"
                  "Statistical Filtering Removal Percentage: 0.05\n"
                  "Statistical Filtering Start Stage: 4\n");
    }
    settings = parseOptions({"-l", "-f", "-qf", "-s", "8", "-c", "0.1234567", "-d", "0.25", "-p", "1234567.8", "-sfe",
                             "6", "-sfsd", "3.5", "-sfp", "20", "-tl", "-123456.78", "98765.4321"});
    finishDefaults(settings, 10.0);
    {
        testing::consoleCapture capture;
        printSettings(settings);
        EXPECT_EQ(capture.text(),
                  "\n"
                  "Debug Mode: 0\n"
                  "Hirise: 0\n"
                  "QuadFit: 1\n"
                  "maxStages: 8\n"
                  "Converge Value: 0.123457\n"
                  "Delta: 0.25\n"
                  "Padding: 1.23457e+06\n"
                  "LROC Filtering: 1\n"
                  "Statistical Filtering Max Error: 6\n"
                  "Statistical Filtering Max Std. Deviation: 3.5\n"
                  "Statistical Filtering Removal Percentage: 0.2\n"
                  "Statistical Filtering Start Stage: 1\n"
                  "New Top Left Coordinate: -123457 98765.4\n"
                  "\n");
    }
    testing::consoleCapture capture;  // filtering without LROC prints zero
    printSettings(parseOptions({"-f"}));
    EXPECT_NE(capture.text().find("\nLROC Filtering: 0\n"), std::string::npos);
}

TEST(ComputedDefaults, PaddingAndDeltaFromTheSize) {
    struct sizeCase { std::vector<std::string> options; double size, padding, delta; };
    for (const sizeCase& row : std::vector<sizeCase>{{{}, 1000.0, 100.0, 2.0},
                                                     {{"-p", "30"}, 1000.0, 30.0, 0.6},
                                                     {{"-p", "30", "-d", "0.1"}, 1000.0, 30.0, 0.1},
                                                     {{"-p", "-3", "-d", "0.5"}, 250.0, 25.0, 0.5}}) {
        runSettings settings = parseOptions(row.options);
        finishDefaults(settings, row.size);
        EXPECT_DOUBLE_EQ(settings.padding, row.padding) << row.size << " " << row.options.size();
        EXPECT_DOUBLE_EQ(settings.delta, row.delta) << row.size << " " << row.options.size();
    }
}

}  // namespace
}  // namespace kalvex
