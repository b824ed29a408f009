#include <gtest/gtest.h>

#include <cmath>
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
    parseResult result;
    testing::consoleCapture capture;
    result.settings = parseCommandLine(static_cast<int>(vector.size()) - 1, vector.data());
    result.console = capture.text();
    return result;
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

TEST(HelpText, MatchesTheTextByteForByte) {
    testing::consoleCapture capture;
    printHelp();
    EXPECT_EQ(capture.text(), expectedHelpText());
}

TEST(HelpText, TooFewArgumentsPrintHelpAndEndTheRun) {
    const parseResult nothing = parseWords({});
    EXPECT_FALSE(nothing.settings.has_value());
    EXPECT_EQ(nothing.console, expectedHelpText());

    const parseResult oneFile = parseWords({"dem.tif"});
    EXPECT_FALSE(oneFile.settings.has_value());
    EXPECT_EQ(oneFile.console, expectedHelpText());

    testing::consoleCapture capture;
    EXPECT_FALSE(parseCommandLine(0, nullptr).has_value());
    EXPECT_EQ(capture.text(), expectedHelpText());
}

const char* const fileError = "Error: Files must include at least one .tif and either a .dbf, .csv or .tab\n";

TEST(FileClassification, OrderOfTheFilesDoesNotMatter) {
    const parseResult errorMap = parseWords({"tracks.csv", "dem.tif"});
    ASSERT_TRUE(errorMap.settings.has_value());
    EXPECT_EQ(errorMap.settings->rasterPath, "dem.tif");
    EXPECT_EQ(errorMap.settings->trackPath, "tracks.csv");
    EXPECT_EQ(errorMap.settings->tiePath, "");
    EXPECT_EQ(errorMap.console, "");

    const parseResult main = parseWords({"ties.gpf", "dem.tif", "tracks.tab"});
    ASSERT_TRUE(main.settings.has_value());
    EXPECT_EQ(main.settings->rasterPath, "dem.tif");
    EXPECT_EQ(main.settings->trackPath, "tracks.tab");
    EXPECT_EQ(main.settings->tiePath, "ties.gpf");

    const parseResult report = parseWords({"data/run.v2/tracks.dbf", "../ties.rep", "./dem.tif"});
    ASSERT_TRUE(report.settings.has_value());
    EXPECT_EQ(report.settings->rasterPath, "./dem.tif");
    EXPECT_EQ(report.settings->trackPath, "data/run.v2/tracks.dbf");
    EXPECT_EQ(report.settings->tiePath, "../ties.rep");
}

TEST(FileClassification, ExtensionsAreExactAndCaseSensitive) {
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"dem.TIF", "tracks.csv", "ties.gpf"},
             {"dem.tif", "tracks.CSV", "ties.gpf"},
             {"dem.tiff", "tracks.csv"},
             {"dem", "tracks.csv"},
             {"dem.tif", "tracks.csv.bak"},
             {"dem.tif", "ties.gpf", "-s"},
             {"dem.tif.", "tracks.csv"}}) {
        const parseResult result = parseWords(words);
        EXPECT_FALSE(result.settings.has_value()) << words[0] << " " << words[1];
        EXPECT_EQ(result.console, fileError) << words[0] << " " << words[1];
    }
}

TEST(FileClassification, LaterFileOfTheSameKindReplacesTheEarlier) {
    const parseResult result = parseWords({"first.tif", "tracks.csv", "second.tif", "-s", "5"});
    ASSERT_TRUE(result.settings.has_value());
    EXPECT_EQ(result.settings->rasterPath, "second.tif");
    EXPECT_EQ(result.settings->tiePath, "");
    EXPECT_EQ(result.settings->maxStages, 5);

    const parseResult tracks = parseWords({"a.csv", "dem.tif", "b.dbf"});
    ASSERT_TRUE(tracks.settings.has_value());
    EXPECT_EQ(tracks.settings->trackPath, "b.dbf");
}

TEST(FileClassification, OnlyTheFirstThreeWordsAreFiles) {
    const parseResult result = parseWords({"dem.tif", "tracks.csv", "-dm", "ties.gpf"});
    ASSERT_TRUE(result.settings.has_value());
    EXPECT_EQ(result.settings->tiePath, "");
    EXPECT_TRUE(result.settings->debugMode);
}

TEST(OptionScan, StartsAtTheThirdWordWithoutTieFile) {
    EXPECT_EQ(parseOptions({"-s", "5"}).maxStages, 5);
    EXPECT_TRUE(parseOptions({"-dm"}).debugMode);
}

TEST(OptionScan, StartsAtTheFourthWordWithTieFile) {
    const parseResult result = parseWords({"dem.tif", "tracks.csv", "ties.gpf", "-s", "5"});
    ASSERT_TRUE(result.settings.has_value());
    EXPECT_EQ(result.settings->maxStages, 5);

    const parseResult later = parseWords({"ties.gpf", "tracks.csv", "dem.tif", "-qf"});
    ASSERT_TRUE(later.settings.has_value());
    EXPECT_TRUE(later.settings->quadFit);
}

TEST(OptionScan, DefaultsStandWithoutOptions) {
    std::string console;
    const runSettings settings = parseOptions({}, &console);
    EXPECT_EQ(console, "");
    EXPECT_EQ(settings.maxStages, 20);
    EXPECT_EQ(settings.convergeValue, 0.0001);
    EXPECT_EQ(settings.delta, -1.0);
    EXPECT_EQ(settings.padding, -1.0);
    EXPECT_FALSE(settings.quadFit);
    EXPECT_TRUE(settings.hirise);
    EXPECT_FALSE(settings.lrocFiltering);
    EXPECT_TRUE(settings.pointFilters.empty());
    EXPECT_EQ(settings.errorThreshold, 30.0);
    EXPECT_EQ(settings.sfMaxError, 10.0);
    EXPECT_EQ(settings.sfCutoff, 2.0);
    EXPECT_EQ(settings.sfDecrease, 0.1);
    EXPECT_EQ(settings.sfMaxStdDev, 7.0);
    EXPECT_EQ(settings.sfRemovePercent, 0.05);
    EXPECT_EQ(settings.sfStartStage, 4);
    EXPECT_EQ(settings.addString, "");
    EXPECT_FALSE(settings.polarProjection);
    EXPECT_FALSE(settings.debugMode);
    EXPECT_FALSE(settings.topLeftGiven);
    EXPECT_EQ(settings.threadCount, 0);
    EXPECT_FALSE(settings.writeAlignedRaster);
    EXPECT_FALSE(settings.writeErrorTable);
}

TEST(OptionScan, FlagsAndRepeatedValues) {
    std::string console;
    const runSettings settings =
        parseOptions({"-qf", "-pr", "-dm", "-od", "-oe", "-s", "3", "-s", "8", "-et", "12", "-sfsd", "-4.5"}, &console);
    EXPECT_EQ(console, "");
    EXPECT_TRUE(settings.quadFit);
    EXPECT_TRUE(settings.polarProjection);
    EXPECT_TRUE(settings.debugMode);
    EXPECT_TRUE(settings.writeAlignedRaster);
    EXPECT_TRUE(settings.writeErrorTable);
    EXPECT_EQ(settings.maxStages, 8);
    EXPECT_EQ(settings.errorThreshold, 12.0);
    EXPECT_EQ(settings.sfMaxStdDev, 4.5);
}

TEST(OptionScan, UnknownWordsArePassedOverSilently) {
    std::string console;
    const runSettings settings =
        parseOptions({"-lf", "-h", "-S", "-DM", "--s", "-", "", "stray", "7", "-x", "-dm"}, &console);
    EXPECT_EQ(console, "");
    EXPECT_TRUE(settings.hirise);
    EXPECT_FALSE(settings.quadFit);
    EXPECT_EQ(settings.maxStages, 20);
    EXPECT_TRUE(settings.debugMode);
}

TEST(OptionValues, AbsoluteValuesAndKeptSigns) {
    const runSettings settings =
        parseOptions({"-s", "-7", "-c", "-0.01", "-p", "-3", "-d", "-2.5", "-et", "-40", "-sfe", "-8", "-sfs", "-3",
                      "-j", "-6"});
    EXPECT_EQ(settings.maxStages, 7);
    EXPECT_EQ(settings.convergeValue, 0.01);
    EXPECT_EQ(settings.padding, -3.0);
    EXPECT_EQ(settings.delta, -2.5);
    EXPECT_EQ(settings.errorThreshold, 40.0);
    EXPECT_EQ(settings.sfMaxError, 8.0);
    EXPECT_EQ(settings.sfStartStage, 2);
    EXPECT_EQ(settings.threadCount, 6);
}

TEST(OptionValues, LongestLeadingNumberIsTaken) {
    const runSettings settings =
        parseOptions({"-s", "12abc", "-c", " 2.5e-3x", "-p", "+40.", "-d", ".5", "-et", "0x1p4", "-sfs", " \t3"});
    EXPECT_EQ(settings.maxStages, 12);
    EXPECT_EQ(settings.convergeValue, 0.0025);
    EXPECT_EQ(settings.padding, 40.0);
    EXPECT_EQ(settings.delta, 0.5);
    EXPECT_EQ(settings.errorThreshold, 0.0);
    EXPECT_EQ(settings.sfStartStage, 2);
}

TEST(OptionValues, AnIntegerOptionTakesNoFraction) {
    EXPECT_EQ(parseOptions({"-s", "7.9"}).maxStages, 7);
}

TEST(OptionValues, FailureReexaminesTheNextWord) {
    std::string console;
    const runSettings settings = parseOptions({"-s", "-dm"}, &console);
    EXPECT_EQ(console, "Was unable to parse an integer after -s, using default \n");
    EXPECT_EQ(settings.maxStages, 20);
    EXPECT_TRUE(settings.debugMode);

    const runSettings chained = parseOptions({"-d", "-p", "7"}, &console);
    EXPECT_EQ(console, "Was unable to parse a floating point number after -d, using default\n");
    EXPECT_EQ(chained.delta, -1.0);
    EXPECT_EQ(chained.padding, 7.0);

    const runSettings kept = parseOptions({"-c", "0.5", "-c", "abc"}, &console);
    EXPECT_EQ(kept.convergeValue, 0.5);
}

struct failureCase {
    std::string option;
    std::string warning;
};

const std::vector<failureCase> valueOptions = {
    {"-s", "Was unable to parse an integer after -s, using default "},
    {"-c", "Was unable to parse a floating point number after -c, using default "},
    {"-d", "Was unable to parse a floating point number after -d, using default"},
    {"-p", "Was unable to parse a floating point number after -p, using default"},
    {"-et", "Was unable to parse a floating point number after -et, using default "},
    {"-sfe", "Was unable to parse a floating point number after -sfe, using default "},
    {"-sfc", "Was unable to parse a floating point number after -sfc, using default "},
    {"-sfd", "Was unable to parse a floating point number after -sfd, using default "},
    {"-sfsd", "Was unable to parse a floating point number after -sfsd, using default "},
    {"-sfp", "Was unable to parse a floating point number after -sfp, using default "},
    {"-sfs", "Was unable to parse an integer after -sfs, using default "},
    {"-j", "Was unable to parse an integer after -j, using default "},
};

// Every settings field that a value option can set, for comparing against the defaults.
std::vector<double> numericFields(const runSettings& settings) {
    return {static_cast<double>(settings.maxStages), settings.convergeValue, settings.delta, settings.padding,
            settings.errorThreshold, settings.sfMaxError, settings.sfCutoff, settings.sfDecrease,
            settings.sfMaxStdDev, settings.sfRemovePercent, static_cast<double>(settings.sfStartStage),
            static_cast<double>(settings.threadCount)};
}

TEST(OptionValues, EveryFailureWarnsAndKeepsTheDefault) {
    const std::vector<double> defaults = numericFields(parseOptions({}));
    for (const failureCase& option : valueOptions) {
        for (const char* word : {"abc", "", " ", "-", ".", "e5", "+", "nan", "inf", "-infinity", "NAN(1)"}) {
            std::string console;
            const runSettings settings = parseOptions({option.option, word}, &console);
            EXPECT_EQ(console, option.warning + "\n") << option.option << " '" << word << "'";
            EXPECT_EQ(numericFields(settings), defaults) << option.option << " '" << word << "'";
        }
    }
}

TEST(OptionValues, ValueOptionStandingLastWarnsAndKeepsTheDefault) {
    const std::vector<double> defaults = numericFields(parseOptions({}));
    for (const failureCase& option : valueOptions) {
        std::string console;
        const runSettings settings = parseOptions({option.option}, &console);
        EXPECT_EQ(console, option.warning + "\n") << option.option;
        EXPECT_EQ(numericFields(settings), defaults) << option.option;
    }
}

TEST(OptionValues, NumbersOutOfRangeAreFailures) {
    std::string console;
    EXPECT_EQ(parseOptions({"-s", "2147483648"}, &console).maxStages, 20);
    EXPECT_EQ(console, "Was unable to parse an integer after -s, using default \n");
    EXPECT_EQ(parseOptions({"-s", "99999999999999999999999"}, &console).maxStages, 20);
    EXPECT_EQ(console, "Was unable to parse an integer after -s, using default \n");
    EXPECT_EQ(parseOptions({"-s", "2147483647"}, &console).maxStages, 2147483647);
    EXPECT_EQ(parseOptions({"-s", "-2147483647"}, &console).maxStages, 2147483647);

    // The most negative int has no absolute value of its own.
    for (const std::string option : {"-s", "-sfs", "-j"}) {
        const runSettings settings = parseOptions({option, "-2147483648"}, &console);
        EXPECT_EQ(console, "Was unable to parse an integer after " + option + ", using default \n");
        EXPECT_EQ(settings.maxStages, 20);
        EXPECT_EQ(settings.sfStartStage, 4);
        EXPECT_EQ(settings.threadCount, 0);
    }

    EXPECT_EQ(parseOptions({"-c", "1e999"}, &console).convergeValue, 0.0001);
    EXPECT_EQ(console, "Was unable to parse a floating point number after -c, using default \n");
    EXPECT_EQ(parseOptions({"-p", "-1e400"}, &console).padding, -1.0);
    EXPECT_EQ(parseOptions({"-p", "1e300"}, &console).padding, 1e300);
    EXPECT_EQ(console, "");
}

TEST(CutoffAgainstMaxError, ComparedWithTheMaxErrorInForce) {
    const std::string warning =
        "The statistical filter's minimum error threshold cannot be greater than the maximum error threshold, "
        "using default\n";
    std::string console;
    runSettings settings = parseOptions({"-sfe", "4", "-sfc", "5"}, &console);
    EXPECT_EQ(console, warning);
    EXPECT_EQ(settings.sfCutoff, 2.0);
    EXPECT_EQ(settings.sfMaxError, 4.0);

    settings = parseOptions({"-sfc", "5", "-sfe", "4"}, &console);
    EXPECT_EQ(console, "");
    EXPECT_EQ(settings.sfCutoff, 5.0);
    EXPECT_EQ(settings.sfMaxError, 4.0);

    settings = parseOptions({"-sfc", "12"}, &console);
    EXPECT_EQ(console, warning);
    EXPECT_EQ(settings.sfCutoff, 2.0);

    settings = parseOptions({"-sfc", "-10"}, &console);
    EXPECT_EQ(console, "");
    EXPECT_EQ(settings.sfCutoff, 10.0);

    settings = parseOptions({"-sfe", "1", "-sfc", "3"}, &console);
    EXPECT_EQ(console, warning);
    EXPECT_EQ(settings.sfCutoff, 2.0);

    settings = parseOptions({"-sfc", "7", "-sfc", "x"}, &console);
    EXPECT_EQ(console, "Was unable to parse a floating point number after -sfc, using default \n");
    EXPECT_EQ(settings.sfCutoff, 7.0);
}

TEST(Percentages, FractionsAndPercentsForRemovePercent) {
    const std::string refusal = "The entered percentage must be between 0 and 1 or 0 and 100, using default\n";
    std::string console;
    EXPECT_EQ(parseOptions({"-sfp", "1"}, &console).sfRemovePercent, 1.0);
    EXPECT_EQ(console, "");
    EXPECT_EQ(parseOptions({"-sfp", "5"}, &console).sfRemovePercent, 0.05);
    EXPECT_EQ(parseOptions({"-sfp", "100"}, &console).sfRemovePercent, 1.0);
    EXPECT_EQ(parseOptions({"-sfp", "0.3"}, &console).sfRemovePercent, 0.3);
    EXPECT_EQ(parseOptions({"-sfp", "-20"}, &console).sfRemovePercent, 0.2);
    EXPECT_EQ(parseOptions({"-sfp", "0"}, &console).sfRemovePercent, 0.0);
    EXPECT_EQ(console, "");
    EXPECT_EQ(parseOptions({"-sfp", "101"}, &console).sfRemovePercent, 0.05);
    EXPECT_EQ(console, refusal);
    EXPECT_EQ(parseOptions({"-sfp", "0.5", "-sfp", "150"}, &console).sfRemovePercent, 0.05);
    EXPECT_EQ(console, refusal);
}

TEST(Percentages, FractionsAndPercentsForDecrease) {
    const std::string refusal =
        "The entered percentage for -sfd must be between 0 and 1, or 0 and 100, using default\n";
    std::string console;
    EXPECT_EQ(parseOptions({"-sfd", "1"}, &console).sfDecrease, 1.0);
    EXPECT_EQ(parseOptions({"-sfd", "5"}, &console).sfDecrease, 0.05);
    EXPECT_EQ(parseOptions({"-sfd", "100"}, &console).sfDecrease, 1.0);
    EXPECT_EQ(console, "");
    EXPECT_EQ(parseOptions({"-sfd", "0.5", "-sfd", "150"}, &console).sfDecrease, 0.1);
    EXPECT_EQ(console, refusal);
    EXPECT_EQ(parseOptions({"-sfd", "-101"}, &console).sfDecrease, 0.1);
    EXPECT_EQ(console, refusal);
}

std::string addStringWarning(char character) {
    return std::string("\nWarning:The string specified after -as contains a '") + character +
           "' which will create an invalid filename, will be using the default instead\n";
}

TEST(AddString, TakesAnyWord) {
    std::string console;
    EXPECT_EQ(parseOptions({"-as", "_run2"}, &console).addString, "_run2");
    EXPECT_EQ(console, "");
    const runSettings settings = parseOptions({"-as", "-dm"}, &console);
    EXPECT_EQ(settings.addString, "-dm");
    EXPECT_FALSE(settings.debugMode);
    EXPECT_EQ(parseOptions({"-as", "a", "-as", "b"}, &console).addString, "b");
}

TEST(AddString, ForbiddenCharactersResetTheText) {
    for (const char character : std::string("<>:\"\\/|?*")) {
        std::string console;
        const runSettings settings = parseOptions({"-as", std::string("run") + character + "x", "-qf"}, &console);
        EXPECT_EQ(console, addStringWarning(character)) << character;
        EXPECT_EQ(settings.addString, "") << character;
        EXPECT_TRUE(settings.quadFit);
    }
}

TEST(AddString, FirstCharacterInListOrderIsNamed) {
    std::string console;
    EXPECT_EQ(parseOptions({"-as", "a*b<c"}, &console).addString, "");
    EXPECT_EQ(console, addStringWarning('<'));
    EXPECT_EQ(parseOptions({"-as", "?/:"}, &console).addString, "");
    EXPECT_EQ(console, addStringWarning(':'));
}

TEST(AddString, StandingLastKeepsTheTextInForce) {
    std::string console;
    EXPECT_EQ(parseOptions({"-as", "keep", "-as"}, &console).addString, "keep");
    EXPECT_EQ(console, "");
}

const std::string topLeftWarning =
    "Warning: Could not parse the replacement top left coordinate, should be of the format -tl %d %d\n";

TEST(TopLeft, BothValuesAreTaken) {
    std::string console;
    const runSettings settings = parseOptions({"-tl", "-1500.5", "2e3", "-dm"}, &console);
    EXPECT_EQ(console, "");
    EXPECT_TRUE(settings.topLeftGiven);
    EXPECT_EQ(settings.topLeftX, -1500.5);
    EXPECT_EQ(settings.topLeftY, 2000.0);
    EXPECT_TRUE(settings.debugMode);
}

TEST(TopLeft, FailuresWarnAndRescanAfterTheOption) {
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"-tl", "abc", "5"}, {"-tl", "5", "abc"}, {"-tl", "5", "nan"}, {"-tl", "inf", "5"}, {"-tl", "5"},
             {"-tl"}}) {
        std::string console;
        const runSettings settings = parseOptions(words, &console);
        EXPECT_EQ(console, topLeftWarning) << words.size();
        EXPECT_FALSE(settings.topLeftGiven);
    }
    std::string console;
    const runSettings settings = parseOptions({"-tl", "5", "-s", "9"}, &console);
    EXPECT_EQ(console, topLeftWarning);
    EXPECT_FALSE(settings.topLeftGiven);
    EXPECT_EQ(settings.maxStages, 9);
}

TEST(TopLeft, FailedRepeatKeepsTheEarlierCoordinateWhole) {
    std::string console;
    const runSettings settings = parseOptions({"-tl", "1", "2", "-tl", "5", "abc"}, &console);
    EXPECT_EQ(console, topLeftWarning);
    EXPECT_TRUE(settings.topLeftGiven);
    EXPECT_EQ(settings.topLeftX, 1.0);
    EXPECT_EQ(settings.topLeftY, 2.0);
}

TEST(StartStage, StoredZeroBased) {
    EXPECT_EQ(parseOptions({}).sfStartStage, 4);
    EXPECT_EQ(parseOptions({"-sfs", "50"}).sfStartStage, 4);
    EXPECT_EQ(parseOptions({"-sfs", "20"}).sfStartStage, 4);
    EXPECT_EQ(parseOptions({"-sfs", "19"}).sfStartStage, 18);
    EXPECT_EQ(parseOptions({"-sfs", "1"}).sfStartStage, 0);
    EXPECT_EQ(parseOptions({"-sfs", "0"}).sfStartStage, -1);
    EXPECT_EQ(parseOptions({"-s", "3"}).sfStartStage, -1);
    EXPECT_EQ(parseOptions({"-s", "0"}).sfStartStage, -1);
    EXPECT_EQ(parseOptions({"-s", "9", "-sfs", "-5"}).sfStartStage, 4);
    EXPECT_EQ(parseOptions({"-sfs", "7", "-s", "7"}).sfStartStage, 0);
    EXPECT_EQ(parseOptions({"-s", "2147483647", "-sfs", "2147483647"}).sfStartStage, 536870910);
}

TEST(OrbitFilters, NumbersUpToTheNextOption) {
    std::string console;
    const runSettings settings = parseOptions({"-of", "12", "abc", "34", "-dm"}, &console);
    EXPECT_EQ(console, "Was unable to parse int abcfor orbit filter, using only the parsed values\n");
    EXPECT_TRUE(settings.debugMode);
    ASSERT_EQ(settings.pointFilters.size(), 2u);
    for (const pointFilter& filter : settings.pointFilters) {
        EXPECT_EQ(filter.comparison, pointFilter::equalTo);
        EXPECT_EQ(filter.keyword, "orbit");
        EXPECT_EQ(filter.column, -1);
        EXPECT_EQ(filter.removedCount, 0);
    }
    EXPECT_EQ(settings.pointFilters[0].threshold, 12.0);
    EXPECT_EQ(settings.pointFilters[1].threshold, 34.0);
}

TEST(OrbitFilters, RepeatedListsAddUp) {
    std::string console;
    const runSettings settings = parseOptions({"-of", "1", "-s", "4", "-of", "2x", "3", "99999999999"}, &console);
    EXPECT_EQ(console, "Was unable to parse int 99999999999for orbit filter, using only the parsed values\n");
    EXPECT_EQ(settings.maxStages, 4);
    ASSERT_EQ(settings.pointFilters.size(), 3u);
    EXPECT_EQ(settings.pointFilters[0].threshold, 1.0);
    EXPECT_EQ(settings.pointFilters[1].threshold, 2.0);
    EXPECT_EQ(settings.pointFilters[2].threshold, 3.0);
}

TEST(OrbitFilters, EmptyListAddsNothing) {
    std::string console;
    EXPECT_TRUE(parseOptions({"-of"}, &console).pointFilters.empty());
    EXPECT_EQ(console, "");
    const runSettings settings = parseOptions({"-of", "-qf"}, &console);
    EXPECT_TRUE(settings.pointFilters.empty());
    EXPECT_TRUE(settings.quadFit);
    EXPECT_EQ(console, "");
}

TEST(LrocFilters, AddedOnlyForLrocWithFiltering) {
    EXPECT_TRUE(parseOptions({"-f"}).pointFilters.empty());
    EXPECT_TRUE(parseOptions({"-l"}).pointFilters.empty());

    const runSettings settings = parseOptions({"-f", "-of", "7", "-l"});
    EXPECT_FALSE(settings.hirise);
    EXPECT_TRUE(settings.lrocFiltering);
    ASSERT_EQ(settings.pointFilters.size(), 5u);
    EXPECT_EQ(settings.pointFilters[0].keyword, "orbit");
    const std::vector<pointFilter> expected = {{pointFilter::greaterThan, "ofnadang", 15.0},
                                               {pointFilter::equalTo, "ptshotnum", 3.0},
                                               {pointFilter::equalTo, "ptshotnum", 5.0},
                                               {pointFilter::greaterThan, "solincang", 80.0}};
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const pointFilter& filter = settings.pointFilters[index + 1];
        EXPECT_EQ(filter.comparison, expected[index].comparison) << index;
        EXPECT_EQ(filter.keyword, expected[index].keyword) << index;
        EXPECT_EQ(filter.threshold, expected[index].threshold) << index;
        EXPECT_EQ(filter.column, -1) << index;
        EXPECT_EQ(filter.removedCount, 0) << index;
    }
}

TEST(SettingsBlock, DefaultsAfterComputedValues) {
    runSettings settings = parseOptions({"-dm"});
    finishDefaults(settings, 1000.0);
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

TEST(SettingsBlock, LrocAndTopLeft) {
    runSettings settings = parseOptions({"-l", "-f", "-qf", "-s", "8", "-c", "0.1234567", "-d", "0.25", "-p",
                                         "1234567.8", "-sfe", "6", "-sfsd", "3.5", "-sfp", "20", "-tl",
                                         "-123456.78", "98765.4321"});
    finishDefaults(settings, 10.0);
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

TEST(SettingsBlock, FilteringWithoutLrocPrintsZero) {
    const runSettings settings = parseOptions({"-f"});
    testing::consoleCapture capture;
    printSettings(settings);
    EXPECT_NE(capture.text().find("\nLROC Filtering: 0\n"), std::string::npos);
}

TEST(ComputedDefaults, PaddingAndDeltaFromTheSize) {
    runSettings settings;
    finishDefaults(settings, 1000.0);
    EXPECT_DOUBLE_EQ(settings.padding, 100.0);
    EXPECT_DOUBLE_EQ(settings.delta, 2.0);

    runSettings givenPadding = parseOptions({"-p", "30"});
    finishDefaults(givenPadding, 1000.0);
    EXPECT_DOUBLE_EQ(givenPadding.padding, 30.0);
    EXPECT_DOUBLE_EQ(givenPadding.delta, 0.6);

    runSettings givenBoth = parseOptions({"-p", "30", "-d", "0.1"});
    finishDefaults(givenBoth, 1000.0);
    EXPECT_DOUBLE_EQ(givenBoth.padding, 30.0);
    EXPECT_DOUBLE_EQ(givenBoth.delta, 0.1);

    runSettings negativePadding = parseOptions({"-p", "-3", "-d", "0.5"});
    finishDefaults(negativePadding, 250.0);
    EXPECT_DOUBLE_EQ(negativePadding.padding, 25.0);
    EXPECT_DOUBLE_EQ(negativePadding.delta, 0.5);
}

TEST(ThreadCount, AbsoluteValueAndZeroForCores) {
    EXPECT_EQ(parseOptions({"-j", "4"}).threadCount, 4);
    EXPECT_EQ(parseOptions({"-j", "-3"}).threadCount, 3);
    EXPECT_EQ(parseOptions({"-j", "0"}).threadCount, 0);
    std::string console;
    const runSettings settings = parseOptions({"-j", "-od"}, &console);
    EXPECT_EQ(console, "Was unable to parse an integer after -j, using default \n");
    EXPECT_EQ(settings.threadCount, 0);
    EXPECT_TRUE(settings.writeAlignedRaster);
}

}  // namespace
}  // namespace kalvex
