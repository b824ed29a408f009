#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/alignmentModel.h"
#include "readers/fileReader.h"
#include "readers/gpfReader.h"
#include "readers/repReader.h"
#include "readers/sexagesimal.h"
#include "support/testSupport.h"

namespace kalvex {
namespace {

using testing::consoleCapture;
using testing::fileExists;
using testing::scratchFolder;
using testing::writeTextFile;
using idList = std::vector<std::string>;

struct readOutcome {
    bool succeeded = false;
    std::string console;
    std::vector<tiePoint> points;
    idList ids;
};

template <class readerType>
readOutcome readFile(const std::string& path, bool verbose = false) {
    readerType reader(path);
    reader.verbose = verbose;
    readOutcome outcome;
    {
        consoleCapture capture;
        outcome.succeeded = reader.read();
        outcome.console = capture.text();
    }
    outcome.points = reader.getPoints();
    outcome.ids = reader.getPointIds();
    return outcome;
}

// Every point as "x y elevation #idIndex", exact to the last bit (shortest round trip).
std::string pointsOf(const std::vector<tiePoint>& points) {
    std::string text;
    for (const tiePoint& point : points) {
        for (double value : {point.x, point.y, point.elevation}) {
            char buffer[32];
            text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr).push_back(' ');
        }
        text += "#" + std::to_string(point.idIndex) + (&point == &points.back() ? "" : " | ");
    }
    return text;
}

void expectPoint(const tiePoint& point, int idIndex, double x, double y, double elevation) {
    EXPECT_EQ(pointsOf({point}), pointsOf({tiePoint{idIndex, x, y, elevation}}));
}

class tieFiles : public ::testing::Test {
protected:
    scratchFolder folder{"tiePointReaders"};
    std::string write(const std::string& name, const std::string& text) {
        writeTextFile(folder.file(name), text);
        return folder.file(name);
    }
    readOutcome readGpf(const std::string& text, bool verbose = false) {
        return readFile<gpfReader>(write("ties.gpf", text), verbose);
    }
    readOutcome readRep(const std::string& text, bool verbose = false) {
        return readFile<repReader>(write("ties.rep", text), verbose);
    }
};

const std::string fourPoints = "point_id,lon,lat,ht\nA 1 2 3\nB 4 5 6\nC 7 8 9\nD 10 11 12\n";
const std::string noId =
    "Warning: Couldnt't find a column with the keyword \"point_id\", so point number will be used instead\n";
const std::string noHeader = "Could not find a comma separated header\n";
const std::string noSection = "GROUND POINT PARAMETERS could not be found\n";

TEST_F(tieFiles, readersAreChosenByTheExactEndingAndRefuseOtherFiles) {
    EXPECT_NE(dynamic_cast<gpfReader*>(makeTiePointReader(".gpf").get()), nullptr);
    EXPECT_NE(dynamic_cast<repReader*>(makeTiePointReader("ties.rep").get()), nullptr);
    for (const char* name : {"ties.GPF", "ties.csv", "gpf", ""}) EXPECT_EQ(makeTiePointReader(name), nullptr) << name;
    const std::vector<std::pair<readOutcome, std::string>> refusals = {
        {readFile<gpfReader>(""), ""},
        {readFile<gpfReader>(folder.file("ties.txt")), "Can only read .gpf file not .txt\n"},
        {readFile<repReader>(folder.file("ties.gpf")), "Can only read .rep file not .gpf\n"},
        {readFile<gpfReader>(write("empty.gpf", "")), noHeader},
        {readFile<repReader>(write("empty.rep", "")), noSection},
    };
    for (const auto& [outcome, console] : refusals) {
        EXPECT_FALSE(outcome.succeeded) << console;
        EXPECT_EQ(outcome.console, console);
    }
    gpfReader reader(write("once.gpf", "point_id,lon,lat,ht\nA 1 2 3\n"));
    consoleCapture capture;
    ASSERT_TRUE(reader.read());
    writeTextFile(reader.fileName, "point_id,lon,lat,ht\nB 4 5 6\nC 7 8 9\n");
    EXPECT_TRUE(reader.read());  // a second read changes nothing
    EXPECT_EQ(reader.getPointIds(), idList{"A"});
    EXPECT_EQ(reader.getPoints().size(), 1u);
}

TEST_F(tieFiles, onlyTheFirstDigitLineGivesTheListedCountAndAMismatchIsReported) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"GROUND POINT FILE\n5\n", "Warning: Did not find the number of points listed at the beginning of the .gpf "
                                   "file, only found 4/5\n"},
        {"4\n", ""},
        {"", ""},
        {"  \n4\n5\n", ""},  // a blank line leaves the count unset, later digit lines are ignored
    };
    for (const auto& [start, console] : rows) {
        const readOutcome outcome = readGpf(start + fourPoints);
        EXPECT_TRUE(outcome.succeeded) << start;
        EXPECT_EQ(outcome.console, console) << start;
        EXPECT_EQ(outcome.ids, (idList{"A", "B", "C", "D"})) << start;
        EXPECT_EQ(pointsOf(outcome.points), "1 2 3 #0 | 4 5 6 #1 | 7 8 9 #2 | 10 11 12 #3") << start;
    }
}

TEST_F(tieFiles, headerKeywordsPlaceTheColumnsAndParenthesisedCountsSizeThePoint) {
    // Eight values per point, laid over the lines without regard to them.
    const readOutcome counted = readGpf(
        "2\nPoint_ID, q, Latitude, Longitude, HT, err(3)\nP1 0 10.5 20.5\n30.5 7 8 9\nP2 0\n11.5 21.5 31.5 7 8\n9\n",
        true);
    EXPECT_TRUE(counted.succeeded);
    EXPECT_EQ(counted.console, "Longitude Column: 4\nLatitude Column: 3\nTopology Column: 5\n");
    EXPECT_EQ(pointsOf(counted.points), "20.5 10.5 30.5 #0 | 21.5 11.5 31.5 #1");
    EXPECT_EQ(counted.ids, (idList{"P1", "P2"}));
    const std::string duplicate = "Warning: Found 2 or more occurances of ";
    const std::vector<std::array<std::string, 3>> rows = {
        // "weight" contains "ht", so it is taken for the elevation.
        {"point_id,weight,lon,lat,ht\nA 100 1 2 300\n",
         duplicate + "\"ht\", \"topo\" or \"elev\" in the .gpf header, column 2 will be used\n", "1 2 100 #0"},
        {"point_id,lat,lon,long,latitude,elev\nA 1 2 3 4 5\n",
         duplicate + "\"lon\" in the .gpf header, column 3 will be used\n" + duplicate +
             "\"lat\" in the .gpf header, column 2 will be used\n",
         "2 1 5 #0"},
        // Unreadable counts stand for one value.
        {"point_id,lon,lat,ht,note(abc),sig(99999999999)\nA 1 2 3 x y\nB 4 5 6 x y\n", "", "1 2 3 #0 | 4 5 6 #1"},
    };
    for (const auto& [text, console, points] : rows) {
        const readOutcome outcome = readGpf(text);
        EXPECT_TRUE(outcome.succeeded) << text;
        EXPECT_EQ(outcome.console, console) << text;
        EXPECT_EQ(pointsOf(outcome.points), points) << text;
    }
}

TEST_F(tieFiles, aBrokenValueCostsOnlyItsOwnPointAndIdentifiersStayWithTheirPoints) {
    const readOutcome numbered = readGpf("lon,lat,ht\n1 2 3\n4 north 6\n7 8 9\n10 11 12\n", true);
    EXPECT_TRUE(numbered.succeeded);
    const std::string dropped = "Warning: Couldnt find either the latitude, longitude, or topology value for point ";
    const std::string twoDropped = dropped + "2\n";
    EXPECT_EQ(numbered.console, noId + "Longitude Column: 1\nLatitude Column: 2\nTopology Column: 3\n"
                                       "Error: Couldn't convert the Latitude Value for point 2 and column 2\n" +
                                    twoDropped);
    EXPECT_EQ(numbered.ids, (idList{"1", "2", "3"}));
    EXPECT_EQ(pointsOf(numbered.points), "1 2 3 #0 | 7 8 9 #1 | 10 11 12 #2");
    struct row {
        std::string text, console;
        idList ids;
        std::string points;
    };
    const std::vector<row> rows = {
        // Conversion errors are only spelled out in verbose mode.
        {"point_id,lon,lat,ht\nA 1 2 3\nB 4 5 x\nC 7 8 9\n", twoDropped, {"A", "C"},
         "1 2 3 #0 | 7 8 9 #1"},
        // Trailing text, nan and overflow are broken values; the values after them keep their points.
        {"point_id,lon,lat,ht\nA 1.5abc 2 3\nB nan 5 6\nC 1e999 8 9\nD 10 11 12\n",
         dropped + "1\n" + dropped + "1\n" + dropped + "1\n", {"D"}, "10 11 12 #0"},
        {"point_id,lon,lat,ht\r\nA 1 2 3\r\nB 4 5\r\n", "", {"A"}, "1 2 3 #0"},  // a short final point goes quietly
    };
    for (const row& r : rows) {
        const readOutcome outcome = readGpf(r.text);
        EXPECT_TRUE(outcome.succeeded) << r.text;
        EXPECT_EQ(outcome.console, r.console) << r.text;
        EXPECT_EQ(outcome.ids, r.ids) << r.text;
        EXPECT_EQ(pointsOf(outcome.points), r.points) << r.text;
    }
}

TEST_F(tieFiles, headersWithoutLineBreakKeywordsOrRoomForAPointAreRefused) {
    const std::string counts = "Error: The value counts in the .gpf header ";
    const std::string range = " values per point, there must be between 1 and 1000000\n";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"GROUND POINT FILE\n1\npoint_id,lon,lat,ht", noHeader},
        {"GROUND POINT FILE\n1\nA 1 2 3\n", noHeader},
        {"", noHeader},
        {"point_id,lat,ht\nA 1 2\n", "Error: Could not find a column with the keyword \"lon\"\n"},
        {"point_id,lon,ht\nA 1 2\n", "Error: Could not find a column with the keyword \"lat\"\n"},
        {"point_id,lon,lat\nA 1 2\n", "Error: Could not find a column with the keyword \"topo\"\n"},
        // A count of zero gives the next entry the same column.
        {"point_id,lon(0),lat,ht\nA 1 2\n",
         "Error: The same column included at least 2 of the keywords: \"topo\", \"lon\" or \"lat\". One column should "
         "only contain one of these keywords\n"},
        {"point_id,lon,lat,ht,sig(-4)\nA 1 2 3\n", counts + "give 0" + range},
        {"point_id,lon,lat,ht,sig(-40)\nA 1 2 3\n", counts + "give -36" + range},
        {"point_id,lon,lat,ht,sig(2000000000),res(2000000000)\nA 1 2 3\n", counts + "give 4000000004" + range},
        // The total is positive, but the longitude lies before the first value.
        {"sig(-2),lon,lat,ht,res(9)\n1 2 3\n",
         noId + counts + "place a keyword column outside the 10 values of a point\n"},
        {"point_id,lon,lat,ht(0)\nA 1 2 3\n", counts + "place a keyword column outside the 3 values of a point\n"},
    };
    for (const auto& [text, console] : rows) {
        const readOutcome outcome = readGpf(text);
        EXPECT_FALSE(outcome.succeeded) << text;
        EXPECT_EQ(outcome.console, console) << text;
    }
}

// A report section: title, three lines, a reference line, then blocks whose first line is as long.
const std::string referenceLine(60, '-');

std::string repStart() {
    return "TRIANGULATION REPORT\n\n              GROUND POINT PARAMETERS\r\n"
           "  Coordinates in degrees, heights in metres\n\n"
           "  POINT     TYPE    COORDINATE         VALUE        SIGMA\n" +
           referenceLine + "\n";
}

std::string repBlock(const std::string& id, const std::string& longitude, const std::string& latitude,
                     const std::string& elevation) {
    std::string first = id + "  (TIE)  X LON DEG = " + longitude;
    first.resize(referenceLine.size(), ' ');
    return first + "\n         Y LAT DEG = " + latitude + "  0.50\n         Z HT  M   = " + elevation + "  0.20\n\n";
}

TEST_F(tieFiles, reportBlocksGiveDegreesFromSexagesimalValuesWhateverTheLineEnds) {
    const readOutcome outcome = readRep(repStart() + repBlock("P1", "-12:30:00", "45:15:36.0", "1234.5") +
                                            repBlock("P2", "123.25", "-0:30:00", "-10") + "\nEND OF SECTION\n",
                                        true);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "Begin Reading .rep File\nDone Reading .rep file\n");
    EXPECT_EQ(outcome.ids, (idList{"P1", "P2"}));
    ASSERT_EQ(outcome.points.size(), 2u);
    expectPoint(outcome.points[0], 0, -12.5, 45.26, 1234.5);
    expectPoint(outcome.points[1], 1, 123.25, -0.5, -10);

    std::string crlf;
    for (char c : repStart() + repBlock("P1", "190:00:00", "1:00:00", "5"))
        crlf += c == '\n' && (crlf.empty() || crlf.back() != '\r') ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(pointsOf(readRep(crlf).points), "-170 1 5 #0");

    // The section ends at the first line of another length.
    const readOutcome none = readRep(repStart() + "P1 (TIE) X LON DEG = 1\n" + repBlock("P2", "1", "2", "3"));
    EXPECT_TRUE(none.succeeded);
    EXPECT_TRUE(none.points.empty());
    EXPECT_EQ(none.console, "");
    EXPECT_TRUE(readRep(repStart()).succeeded);
    EXPECT_TRUE(readRep("GROUND POINT PARAMETERS").succeeded);
}

TEST_F(tieFiles, reportsWithoutTitleOrWithUnreadableOrCutBlocksFailNamingThePoint) {
    const std::string good = repBlock("P1", "1", "2", "3");
    std::string noParenthesis = "P1 TIE X LON DEG = 1";
    noParenthesis.resize(referenceLine.size(), ' ');
    const auto cannot = [](const std::string& what, const std::string& point) {
        return "Error: Couldn't convert the " + what + " Value for point " + point + " in the .rep file\n";
    };
    const std::string start = repStart() + good;
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"GROUND CONTROL\nGREAT POINTS\n" + referenceLine + "\n", noSection},
        {start + repBlock("P2", "12:30", "1", "2"), cannot("Longitude", "P2")},
        {start + repBlock("P2", "1", "1:2:3:4", "2"), cannot("Latitude", "P2")},
        {start + repBlock("P2", "1", "2", "3:00:00"), cannot("Elevation", "P2")},
        {start + repBlock("P2", "1", "north", "2"), cannot("Latitude", "P2")},
        {start + repBlock("P2", "1e40:00:00", "1", "2"), cannot("Longitude", "P2")},
        {repStart() + good.substr(0, referenceLine.size() + 1), cannot("Latitude", "P1")},
        {repStart() + noParenthesis + "\nY LAT DEG = 2 0\nZ HT M = 3 0\n\n", cannot("Longitude", "P1")},
    };
    for (const auto& [text, console] : rows) {
        const readOutcome outcome = readRep(text);
        EXPECT_FALSE(outcome.succeeded) << text;
        EXPECT_EQ(outcome.console, console) << text;
    }
}

TEST(sexagesimalValues, convertDegreesMinutesSecondsKeepingTheSignOfMinusZero) {
    const std::vector<std::pair<std::string, double>> rows = {
        {"-12:30:00", -12.5}, {"190:00:00", -170.0}, {"-190:00:00", 170.0}, {"0:30:36", 0.51},
        {"  12.9:30.9:36", 12.51}, {"123.25", 123.25}, {"-0:30:00", -0.5}, {"-0:00:36", -0.01}};
    for (const auto& [text, degrees] : rows) {
        std::istringstream stream(text);
        EXPECT_DOUBLE_EQ(readSexagesimal(stream, true).value_or(NAN), degrees) << text;
    }
    std::istringstream plain("500");
    EXPECT_DOUBLE_EQ(readSexagesimal(plain, false).value_or(NAN), 500.0);
    EXPECT_DOUBLE_EQ(dmsToDegrees(dmsAngle{-12, 30, 0.0}, false), -12.5);
    EXPECT_DOUBLE_EQ(dmsToDegrees(dmsAngle{0, 30, 0.0}, true), -0.5);
    // Reading stops at white space and passes over other characters.
    std::istringstream stream("12:30:00deg next");
    EXPECT_DOUBLE_EQ(readSexagesimal(stream, true).value_or(NAN), 12.5);
    std::string rest;
    stream >> rest;
    EXPECT_EQ(rest, "next");
}

TEST(sexagesimalValues, refuseWhatIsNoCoordinate) {
    for (const char* text : {"12:30", "1:2:3:4", "abc", "", "12:x:00", "1e20:00:00", "0:1e20:00"}) {
        std::istringstream stream(text);
        EXPECT_FALSE(readSexagesimal(stream, true)) << text;
    }
    std::istringstream three("1:2:3");
    EXPECT_FALSE(readSexagesimal(three, false));
}

TEST_F(tieFiles, modelKeepsTheTiePointsWithAnInitialCopyAndKeepsThemThroughAFailedRead) {
    alignmentModel model;
    model.debug = true;
    consoleCapture capture;
    ASSERT_TRUE(model.readTiePoints(write("model.gpf", fourPoints)));
    EXPECT_NE(capture.text().find("Longitude Column: 2\n"), std::string::npos);
    EXPECT_EQ(model.tiePointIds, (idList{"A", "B", "C", "D"}));
    EXPECT_EQ(pointsOf(model.tiePoints), "1 2 3 #0 | 4 5 6 #1 | 7 8 9 #2 | 10 11 12 #3");
    EXPECT_EQ(pointsOf(model.initialTiePoints), pointsOf(model.tiePoints));
    EXPECT_FALSE(model.readTiePoints(write("bad.gpf", "point_id,lon,lat\n")));
    EXPECT_FALSE(model.readTiePoints(folder.file("ties.txt")));
    EXPECT_EQ(model.tiePoints.size(), 4u);
    EXPECT_EQ(model.initialTiePoints.size(), 4u);
    EXPECT_EQ(model.tiePointIds.size(), 4u);
    EXPECT_TRUE(model.readTiePoints(write("empty.gpf", "point_id,lon,lat,ht\n")));
    EXPECT_TRUE(model.tiePoints.empty());
    EXPECT_TRUE(model.initialTiePoints.empty());
}

TEST_F(tieFiles, arbitraryTextNeverBreaksTheReaders) {
    // Fragments of both layouts shuffled together: every read must end, and every kept point
    // must have its identifier and finite coordinates.
    const std::vector<std::string> pieces = {
        "point_id", ",", "lon", "lat", "ht", "(3)", "(-2)", "(0)", "(", ")", " ", "  ", "\n", "\r\n", "\t",
        "1", "-0", "12.5", ":", "30", "abc", "GROUND POINT PARAMETERS", "G", "(TIE)", "X", "=", "-", "1e999"};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 120);
    for (int trial = 0; trial < 400; ++trial) {
        std::string text = trial % 2 == 0 ? "" : repStart();
        for (int i = length(random); i > 0; --i) text += pieces[pick(random)];
        for (const auto& outcome : {readGpf(text), readRep(text)}) {
            ASSERT_EQ(outcome.points.size(), outcome.ids.size());
            for (std::size_t i = 0; i < outcome.points.size(); ++i) {
                EXPECT_EQ(outcome.points[i].idIndex, static_cast<int>(i));
                EXPECT_TRUE(std::isfinite(outcome.points[i].x) && std::isfinite(outcome.points[i].y) &&
                            std::isfinite(outcome.points[i].elevation));
            }
        }
    }
}

struct realGpf {
    std::string file;  // below the shared data folder
    bool copied;       // also kept in tests/data/tiepoints
    std::size_t count;
    std::string firstId;
    double firstX, firstY, firstZ;
    std::string lastId;
    double lastX, lastY, lastZ;
};

void PrintTo(const realGpf& expected, std::ostream* stream) { *stream << expected.file; }

std::string locate(const realGpf& expected) {
    if (expected.copied) {
        const std::string name = expected.file.substr(expected.file.find('/') + 1);
        const std::string local = testing::testDataDir() + "/tiepoints/" + name;
        if (fileExists(local))
            return local;
    }
    const std::string shared = testing::sharedDataDir() + "/" + expected.file;
    return fileExists(shared) ? shared : "";
}

class realGpfFiles : public ::testing::TestWithParam<realGpf> {};

TEST_P(realGpfFiles, yieldTheirPoints) {
    const realGpf& expected = GetParam();
    const std::string path = locate(expected);
    if (path.empty())
        GTEST_SKIP() << expected.file << " is not available";
    const auto outcome = readFile<gpfReader>(path);
    ASSERT_TRUE(outcome.succeeded) << outcome.console;
    EXPECT_EQ(outcome.console, "");
    ASSERT_EQ(outcome.points.size(), expected.count);
    ASSERT_EQ(outcome.ids.size(), expected.count);
    EXPECT_EQ(outcome.ids.front(), expected.firstId);
    expectPoint(outcome.points.front(), 0, expected.firstX, expected.firstY, expected.firstZ);
    EXPECT_EQ(outcome.ids.back(), expected.lastId);
    expectPoint(outcome.points.back(), static_cast<int>(expected.count) - 1, expected.lastX, expected.lastY,
                expected.lastZ);
}

INSTANTIATE_TEST_SUITE_P(
    groundPointFiles, realGpfFiles,
    ::testing::Values(
        realGpf{"plio/InSightE08_string_id.gpf", true, 3, "1", 2.38013146162178, 0.08538133869187,
                -2697.23744694649990, "3", 2.38708383926110, 0.08626480095809, -2714.16003756809000},
        realGpf{"plio/CTX_Athabasca_Middle_0.gpf", true, 20, "1_8344_8845_4r", 2.73034433509383, 0.16002174729514,
                -3147.90983718201050, "20_8344_8845_2r", 2.72458955709026, 0.16917512274470, -2877.18182886751260},
        realGpf{"plio/CTX_Athabasca_Middle.gpf", false, 366, "1_8344_8845_4r", 2.73033850307623, 0.16003664059821,
                -2539.15074654723550, "P03_002226_1895_XI_09N203W_82", 2.72595924736209, 0.16478004123116,
                -2580.82341559095450},
        realGpf{"plio/CTX_Athabasca_Middle_1.gpf", false, 21, "1_8344_8845_4r", 2.73032567570866, 0.16001854038333,
                -2538.0, "21_8344_8845_2r_xyz", 2.72674028222725, 0.16535964918121, -2209.48999999999980},
        realGpf{"plio/InSightE08_XW.gpf", false, 160, "1", 2.38013146162178, 0.08538133869187, -2697.23744694649990,
                "D17_033939_1843_XN_04N223W_86", 0.0, 0.0, 0.0},
        realGpf{"plio/out_InSightE08_XW.gpf", false, 160, "1", 2.38013146162178, 0.08538133869186999,
                -2697.2374469465, "D17_033939_1843_XN_04N223W_86", 0.0, 0.0, 0.0},
        realGpf{"socet_gxp_dev/M2020_NE_Syrtis.gpf", false, 176, "0", 1.35211805405644, 0.30315202391207,
                -2877.70287590942010, "B18_016575_1978_XN_17N282W_63", 1.34792245337491, 0.31754352339505,
                -2025.31943433165430},
        realGpf{"socet_gxp_dev/tfm_M2020_NE_Syrtis.gpf", false, 176, "0", 1.35211805405644, 0.30315202391207,
                -2877.70287590942, "B18_016575_1978_XN_17N282W_63", 1.3478850325378053, 0.317556037838455,
                -2021.308465408177}),
    [](const ::testing::TestParamInfo<realGpf>& info) {
        std::string name = info.param.file.substr(info.param.file.find('/') + 1);
        for (char& character : name)
            if (!std::isalnum(static_cast<unsigned char>(character)))
                character = '_';
        return name;
    });

TEST(realGpfIdentifiers, leadingZeroStaysText) {
    const std::string path = testing::testDataDir() + "/tiepoints/InSightE08_string_id.gpf";
    const auto outcome = readFile<gpfReader>(path);
    ASSERT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.ids, (std::vector<std::string>{"1", "02", "3"}));
    expectPoint(outcome.points.at(1), 1, 2.38081358557147, 0.08508542650082, -2702.0);
}

// Commas inside a parenthesised entry make this header count 16 values per
// point while its blocks hold 24, and one block only 12: each block is a point
// of its own, so every point is read in step.
TEST(realGpfIdentifiers, gxpLayoutIsReadBlockByBlock) {
    const std::string path = testing::testDataDir() + "/tiepoints/GXP_example_gpf.gpf";
    const auto outcome = readFile<gpfReader>(path, true);
    ASSERT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "Longitude Column: 5\nLatitude Column: 4\nTopology Column: 6\n");
    ASSERT_EQ(outcome.points.size(), 24u);
    EXPECT_EQ(outcome.ids.front(), "ESP_011969_1425_REDmos_hijitreged_1");
    expectPoint(outcome.points.front(), 0, -168.03781013510081, -37.52498315102231, 2166.85677517541853);
    EXPECT_EQ(outcome.ids[1], "ESP_011969_1425_REDmos_hijitreged_10");
    EXPECT_EQ(outcome.ids.back(), "ESP_047190_1425_REDmos_hijitreged_5");
    for (const tiePoint& point : outcome.points) {
        EXPECT_NEAR(point.x, -168.1, 0.1);
        EXPECT_NEAR(point.y, -37.45, 0.2);
    }
}

TEST(realGpfIdentifiers, gxpWithEigenValuesGivesEveryListedPoint) {
    const std::string path = testing::sharedDataDir() + "/plio/GXP_example_wEigenValues.gpf";
    if (!fileExists(path))
        GTEST_SKIP() << path << " is not available";
    const auto outcome = readFile<gpfReader>(path);
    ASSERT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "");
    ASSERT_EQ(outcome.points.size(), 48u);
    EXPECT_EQ(outcome.ids.front(), "TP00000");
    EXPECT_EQ(outcome.ids.back(), "TP00047");
    expectPoint(outcome.points.front(), 0, 12.42204566561736, 41.93625458705527, 144.49352205921176);
}

// Blank lines decide nothing while the values stream in step with the header;
// blocks only take over when the stream falls out of step and every block is
// one point, even one that holds more or fewer values than the header counts.
TEST_F(tieFiles, blankLinesEndPointsOnlyWhenTheValueStreamFallsOutOfStep) {
    const struct {
        const char* layout;
        std::string text;
        idList ids;
    } cases[] = {
        {"one point per line, a blank line in the list", "point_id,lon,lat,ht\nA 1 2 3\nB 4 5 6\n\nC 7 8 9\nD 1 1 1\n",
         {"A", "B", "C", "D"}},
        {"a blank line inside each point", "point_id,lon,lat,ht,sig(3)\nA\n1 2 3\n\n0 0 0\n\nB\n4 5 6\n\n0 0 0\n",
         {"A", "B"}},
        {"a separating blank line missing", "point_id,lon,lat,ht\nA 1 2 3\n\nB 4 5 6\nC 7 8 9\n\nD 1 1 1\n",
         {"A", "B", "C", "D"}},
        {"blocks longer and shorter than the header counts",
         "point_id,lat,lon,ht,extra(4)\na 1 2 3 9 9 9 9\n\nb 4 5 6\n\nd 10 11 12 9 9 9 9 9 9 9\n", {"a", "b", "d"}},
    };
    for (const auto& example : cases) {
        const auto outcome = readGpf(example.text);
        EXPECT_EQ(outcome.ids, example.ids) << example.layout;
        EXPECT_EQ(outcome.console, "") << example.layout;
        EXPECT_EQ(outcome.points.size(), example.ids.size()) << example.layout;
    }
}

}  // namespace
}  // namespace kalvex
