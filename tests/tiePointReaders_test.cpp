#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <memory>
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

struct readOutcome {
    bool succeeded = false;
    std::string console;
    std::vector<tiePoint> points;
    std::vector<std::string> ids;
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

class tieFiles : public ::testing::Test {
protected:
    scratchFolder folder{"tiePointReaders"};

    readOutcome readGpf(const std::string& text, bool verbose = false) {
        const std::string path = folder.file("ties.gpf");
        writeTextFile(path, text);
        return readFile<gpfReader>(path, verbose);
    }
    readOutcome readRep(const std::string& text, bool verbose = false) {
        const std::string path = folder.file("ties.rep");
        writeTextFile(path, text);
        return readFile<repReader>(path, verbose);
    }
};

void expectPoint(const tiePoint& point, int idIndex, double x, double y, double elevation) {
    EXPECT_EQ(point.idIndex, idIndex);
    EXPECT_DOUBLE_EQ(point.x, x);
    EXPECT_DOUBLE_EQ(point.y, y);
    EXPECT_DOUBLE_EQ(point.elevation, elevation);
}

// ---------------------------------------------------------------- factory

TEST(tiePointReaderFactory, choosesTheReaderByTheExactEnding) {
    EXPECT_NE(dynamic_cast<gpfReader*>(makeTiePointReader("a/ties.gpf").get()), nullptr);
    EXPECT_NE(dynamic_cast<repReader*>(makeTiePointReader("ties.rep").get()), nullptr);
    EXPECT_EQ(makeTiePointReader("ties.GPF"), nullptr);
    EXPECT_EQ(makeTiePointReader("ties.csv"), nullptr);
    EXPECT_EQ(makeTiePointReader("gpf"), nullptr);
    EXPECT_EQ(makeTiePointReader(""), nullptr);
}

TEST_F(tieFiles, openingStepsRefuseEmptyNamesAndForeignEndings) {
    EXPECT_FALSE(readFile<gpfReader>("").succeeded);
    EXPECT_EQ(readFile<gpfReader>("").console, "");
    const auto gpf = readFile<gpfReader>(folder.file("ties.txt"));
    EXPECT_FALSE(gpf.succeeded);
    EXPECT_EQ(gpf.console, "Can only read .gpf file not .txt\n");
    const auto rep = readFile<repReader>(folder.file("ties.gpf"));
    EXPECT_FALSE(rep.succeeded);
    EXPECT_EQ(rep.console, "Can only read .rep file not .gpf\n");
}

TEST_F(tieFiles, missingFilesFailWithTheirReadersMessages) {
    const auto gpf = readFile<gpfReader>(folder.file("absent.gpf"));
    EXPECT_FALSE(gpf.succeeded);
    EXPECT_EQ(gpf.console, "Could not find a comma separated header\n");
    const auto rep = readFile<repReader>(folder.file("absent.rep"));
    EXPECT_FALSE(rep.succeeded);
    EXPECT_EQ(rep.console, "GROUND POINT PARAMETERS could not be found\n");
}

TEST_F(tieFiles, aSecondReadChangesNothing) {
    const std::string path = folder.file("once.gpf");
    writeTextFile(path, "point_id,lon,lat,ht\nA 1 2 3\n");
    gpfReader reader(path);
    consoleCapture capture;
    ASSERT_TRUE(reader.read());
    writeTextFile(path, "point_id,lon,lat,ht\nB 4 5 6\nC 7 8 9\n");
    EXPECT_TRUE(reader.read());
    ASSERT_EQ(reader.getPoints().size(), 1u);
    EXPECT_EQ(reader.getPointIds(), std::vector<std::string>{"A"});
}

// ---------------------------------------------------------------- .gpf

const std::string fourPoints =
    "point_id,lon,lat,ht\n"
    "A 1 2 3\nB 4 5 6\nC 7 8 9\nD 10 11 12\n";

TEST_F(tieFiles, listedCountThatDiffersIsReported) {
    const auto outcome = readGpf("GROUND POINT FILE\n5\n" + fourPoints);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.points.size(), 4u);
    EXPECT_EQ(outcome.console,
              "Warning: Did not find the number of points listed at the beginning of the .gpf file, only found 4/5\n");
}

TEST_F(tieFiles, matchingOrAbsentListedCountIsQuiet) {
    EXPECT_EQ(readGpf("4\n" + fourPoints).console, "");
    const auto outcome = readGpf(fourPoints);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "");
    EXPECT_EQ(outcome.ids, (std::vector<std::string>{"A", "B", "C", "D"}));
    expectPoint(outcome.points[3], 3, 10, 11, 12);
}

TEST_F(tieFiles, onlyTheFirstDigitLineGivesTheListedCount) {
    // A blank line converts to nothing and leaves the count unset; the
    // first line of digits sets it, later ones are ignored.
    const auto outcome = readGpf("  \n4\n5\n" + fourPoints);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "");
}

TEST_F(tieFiles, parenthesisedCountsPlaceTheColumnsAndSizeThePoint) {
    // Eight values per point, laid over the lines without regard to them.
    const auto outcome = readGpf(
        "2\n"
        "Point_ID, q, Latitude, Longitude, HT, err(3)\n"
        "P1 0 10.5 20.5\n30.5 7 8 9\n"
        "P2 0\n11.5 21.5 31.5 7 8\n9\n",
        true);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "Longitude Column: 4\nLatitude Column: 3\nTopology Column: 5\n");
    ASSERT_EQ(outcome.points.size(), 2u);
    expectPoint(outcome.points[0], 0, 20.5, 10.5, 30.5);
    expectPoint(outcome.points[1], 1, 21.5, 11.5, 31.5);
    EXPECT_EQ(outcome.ids, (std::vector<std::string>{"P1", "P2"}));
}

TEST_F(tieFiles, firstElevationKeywordWinsAndLaterOnesWarn) {
    // "weight" contains "ht", so it is taken for the elevation.
    const auto outcome = readGpf("point_id,weight,lon,lat,ht\nA 100 1 2 300\n");
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console,
              "Warning: Found 2 or more occurances of \"ht\", \"topo\" or \"elev\" in the .gpf header, column 2 will "
              "be used\n");
    ASSERT_EQ(outcome.points.size(), 1u);
    expectPoint(outcome.points[0], 0, 1, 2, 100);
}

TEST_F(tieFiles, duplicateLongitudeAndLatitudeKeepTheFirst) {
    const auto outcome = readGpf("point_id,lat,lon,long,latitude,elev\nA 1 2 3 4 5\n");
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console,
              "Warning: Found 2 or more occurances of \"lon\" in the .gpf header, column 3 will be used\n"
              "Warning: Found 2 or more occurances of \"lat\" in the .gpf header, column 2 will be used\n");
    expectPoint(outcome.points.at(0), 0, 2, 1, 5);
}

TEST_F(tieFiles, withoutIdentifiersPointNumbersStayMatchedAfterADroppedPoint) {
    const auto outcome = readGpf(
        "lon,lat,ht\n"
        "1 2 3\n"
        "4 north 6\n"
        "7 8 9\n"
        "10 11 12\n",
        true);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console,
              "Warning: Couldnt't find a column with the keyword \"point_id\", so point number will be used instead\n"
              "Longitude Column: 1\nLatitude Column: 2\nTopology Column: 3\n"
              "Error: Couldn't convert the Latitude Value for point 2 and column 2\n"
              "Warning: Couldnt find either the latitude, longitude, or topology value for point 2\n");
    EXPECT_EQ(outcome.ids, (std::vector<std::string>{"1", "2", "3"}));
    ASSERT_EQ(outcome.points.size(), 3u);
    expectPoint(outcome.points[0], 0, 1, 2, 3);
    expectPoint(outcome.points[1], 1, 7, 8, 9);
    expectPoint(outcome.points[2], 2, 10, 11, 12);
}

TEST_F(tieFiles, identifiersStayWithTheirPointsAfterADroppedPoint) {
    const auto outcome = readGpf("point_id,lon,lat,ht\nA 1 2 3\nB 4 5 x\nC 7 8 9\n");
    EXPECT_TRUE(outcome.succeeded);
    // Conversion errors are only spelled out in verbose mode.
    EXPECT_EQ(outcome.console, "Warning: Couldnt find either the latitude, longitude, or topology value for point 2\n");
    EXPECT_EQ(outcome.ids, (std::vector<std::string>{"A", "C"}));
    expectPoint(outcome.points.at(1), 1, 7, 8, 9);
}

TEST_F(tieFiles, aBrokenValueCostsOnlyItsOwnPoint) {
    // Trailing text, NaN and overflow are broken values; the values after
    // them still belong to the points they were written for.
    const auto outcome = readGpf(
        "point_id,lon,lat,ht\n"
        "A 1.5abc 2 3\n"
        "B nan 5 6\n"
        "C 1e999 8 9\n"
        "D 10 11 12\n");
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.ids, std::vector<std::string>{"D"});
    expectPoint(outcome.points.at(0), 0, 10, 11, 12);
}

TEST_F(tieFiles, shortFinalPointIsDroppedQuietly) {
    const auto outcome = readGpf("point_id,lon,lat,ht\r\nA 1 2 3\r\nB 4 5\r\n");
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "");
    EXPECT_EQ(outcome.ids, std::vector<std::string>{"A"});
}

TEST_F(tieFiles, headerMustEndWithALineBreak) {
    const auto lastLine = readGpf("GROUND POINT FILE\n1\npoint_id,lon,lat,ht");
    EXPECT_FALSE(lastLine.succeeded);
    EXPECT_EQ(lastLine.console, "Could not find a comma separated header\n");
    EXPECT_FALSE(readGpf("GROUND POINT FILE\n1\nA 1 2 3\n").succeeded);
    EXPECT_FALSE(readGpf("").succeeded);
}

TEST_F(tieFiles, missingOrSharedKeywordColumnsFailTheRead) {
    const auto noLongitude = readGpf("point_id,lat,ht\nA 1 2\n");
    EXPECT_FALSE(noLongitude.succeeded);
    EXPECT_EQ(noLongitude.console, "Error: Could not find a column with the keyword \"lon\"\n");
    const auto noLatitude = readGpf("point_id,lon,ht\nA 1 2\n");
    EXPECT_FALSE(noLatitude.succeeded);
    EXPECT_EQ(noLatitude.console, "Error: Could not find a column with the keyword \"lat\"\n");
    const auto noElevation = readGpf("point_id,lon,lat\nA 1 2\n");
    EXPECT_FALSE(noElevation.succeeded);
    EXPECT_EQ(noElevation.console, "Error: Could not find a column with the keyword \"topo\"\n");
    // A count of zero gives the next entry the same column.
    const auto shared = readGpf("point_id,lon(0),lat,ht\nA 1 2\n");
    EXPECT_FALSE(shared.succeeded);
    EXPECT_EQ(shared.console,
              "Error: The same column included at least 2 of the keywords: \"topo\", \"lon\" or \"lat\". One column "
              "should only contain one of these keywords\n");
}

TEST_F(tieFiles, headersThatLeaveNoRoomForAPointAreRefused) {
    const auto noValues = readGpf("point_id,lon,lat,ht,sig(-4)\nA 1 2 3\n");
    EXPECT_FALSE(noValues.succeeded);
    EXPECT_EQ(noValues.console,
              "Error: The value counts in the .gpf header give 0 values per point, there must be between 1 and "
              "1000000\n");
    const auto negative = readGpf("point_id,lon,lat,ht,sig(-40)\nA 1 2 3\n");
    EXPECT_FALSE(negative.succeeded);
    EXPECT_EQ(negative.console,
              "Error: The value counts in the .gpf header give -36 values per point, there must be between 1 and "
              "1000000\n");
    const auto huge = readGpf("point_id,lon,lat,ht,sig(2000000000),res(2000000000)\nA 1 2 3\n");
    EXPECT_FALSE(huge.succeeded);
    EXPECT_EQ(huge.console,
              "Error: The value counts in the .gpf header give 4000000004 values per point, there must be between 1 "
              "and 1000000\n");
    // The total is positive, but the longitude lies before the first value.
    const auto before = readGpf("sig(-2),lon,lat,ht,res(9)\n1 2 3\n");
    EXPECT_FALSE(before.succeeded);
    EXPECT_EQ(before.console,
              "Warning: Couldnt't find a column with the keyword \"point_id\", so point number will be used instead\n"
              "Error: The value counts in the .gpf header place a keyword column outside the 10 values of a point\n");
    EXPECT_FALSE(readGpf("point_id,lon,lat,ht(0)\nA 1 2 3\n").succeeded);
}

TEST_F(tieFiles, unreadableCountsStandForOneValue) {
    const auto outcome = readGpf("point_id,lon,lat,ht,note(abc),sig(99999999999)\nA 1 2 3 x y\nB 4 5 6 x y\n");
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.ids, (std::vector<std::string>{"A", "B"}));
    expectPoint(outcome.points.at(1), 1, 4, 5, 6);
}

// ---------------------------------------------------------------- .rep

// A report section laid out as the reader expects: title, three lines,
// a reference line, then blocks whose first line is as long as it.
const std::string referenceLine(60, '-');

std::string repStart() {
    return "TRIANGULATION REPORT\n"
           "\n"
           "              GROUND POINT PARAMETERS\r\n"
           "  Coordinates in degrees, heights in metres\n"
           "\n"
           "  POINT     TYPE    COORDINATE         VALUE        SIGMA\n" +
           referenceLine + "\n";
}

std::string repBlock(const std::string& id, const std::string& longitude, const std::string& latitude,
                     const std::string& elevation) {
    std::string first = id + "  (TIE)  X LON DEG = " + longitude;
    first.resize(referenceLine.size(), ' ');
    return first + "\n" + "         Y LAT DEG = " + latitude + "  0.50\n" + "         Z HT  M   = " + elevation +
           "  0.20\n" + "\n";
}

TEST_F(tieFiles, reportBlocksGiveDegreesFromSexagesimalValues) {
    const auto outcome = readRep(repStart() + repBlock("P1", "-12:30:00", "45:15:36.0", "1234.5") +
                                     repBlock("P2", "123.25", "-0:30:00", "-10") + "\nEND OF SECTION\n",
                                 true);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "Begin Reading .rep File\nDone Reading .rep file\n");
    EXPECT_EQ(outcome.ids, (std::vector<std::string>{"P1", "P2"}));
    ASSERT_EQ(outcome.points.size(), 2u);
    expectPoint(outcome.points[0], 0, -12.5, 45.26, 1234.5);
    expectPoint(outcome.points[1], 1, 123.25, -0.5, -10);
}

TEST_F(tieFiles, reportWithCarriageReturnsReadsTheSame) {
    std::string text = repStart() + repBlock("P1", "190:00:00", "1:00:00", "5");
    std::string crlf;
    for (char c : text) {
        if (c == '\n' && (crlf.empty() || crlf.back() != '\r'))
            crlf += '\r';
        crlf += c;
    }
    const auto outcome = readRep(crlf);
    EXPECT_TRUE(outcome.succeeded);
    ASSERT_EQ(outcome.points.size(), 1u);
    expectPoint(outcome.points[0], 0, -170, 1, 5);
}

TEST_F(tieFiles, reportWithoutTheTitleFails) {
    const auto outcome = readRep("GROUND CONTROL\nGREAT POINTS\n" + referenceLine + "\n");
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.console, "GROUND POINT PARAMETERS could not be found\n");
}

TEST_F(tieFiles, sectionEndsAtTheFirstLineOfAnotherLength) {
    const auto none = readRep(repStart() + "P1 (TIE) X LON DEG = 1\n" + repBlock("P2", "1", "2", "3"));
    EXPECT_TRUE(none.succeeded);
    EXPECT_TRUE(none.points.empty());
    EXPECT_EQ(none.console, "");
    EXPECT_TRUE(readRep(repStart()).succeeded);
    EXPECT_TRUE(readRep("GROUND POINT PARAMETERS").succeeded);
}

TEST_F(tieFiles, unreadableReportValuesFailTheReadNamingThePoint) {
    const std::vector<std::pair<std::string, std::string>> broken = {
        {repBlock("P2", "12:30", "1", "2"), "Error: Couldn't convert the Longitude Value for point P2 in the .rep file\n"},
        {repBlock("P2", "1", "1:2:3:4", "2"), "Error: Couldn't convert the Latitude Value for point P2 in the .rep file\n"},
        {repBlock("P2", "1", "2", "3:00:00"), "Error: Couldn't convert the Elevation Value for point P2 in the .rep file\n"},
        {repBlock("P2", "1", "north", "2"), "Error: Couldn't convert the Latitude Value for point P2 in the .rep file\n"},
        {repBlock("P2", "1e40:00:00", "1", "2"), "Error: Couldn't convert the Longitude Value for point P2 in the .rep file\n"},
    };
    for (const auto& [block, message] : broken) {
        const auto outcome = readRep(repStart() + repBlock("P1", "1", "2", "3") + block);
        EXPECT_FALSE(outcome.succeeded) << block;
        EXPECT_EQ(outcome.console, message) << block;
    }
}

TEST_F(tieFiles, reportCutShortInsideABlockFails) {
    const std::string block = repBlock("P1", "1", "2", "3");
    const auto firstLineOnly = readRep(repStart() + block.substr(0, referenceLine.size() + 1));
    EXPECT_FALSE(firstLineOnly.succeeded);
    EXPECT_EQ(firstLineOnly.console, "Error: Couldn't convert the Latitude Value for point P1 in the .rep file\n");
    std::string noParenthesis = "P1 TIE X LON DEG = 1";
    noParenthesis.resize(referenceLine.size(), ' ');
    EXPECT_FALSE(readRep(repStart() + noParenthesis + "\nY LAT DEG = 2 0\nZ HT M = 3 0\n\n").succeeded);
}

// ---------------------------------------------------------------- sexagesimal values

std::optional<double> sexagesimal(const std::string& text, bool allowed = true) {
    std::istringstream stream(text);
    return readSexagesimal(stream, allowed);
}

TEST(sexagesimalValues, convertDegreesMinutesSeconds) {
    EXPECT_DOUBLE_EQ(sexagesimal("-12:30:00").value(), -12.5);
    EXPECT_DOUBLE_EQ(sexagesimal("190:00:00").value(), -170.0);
    EXPECT_DOUBLE_EQ(sexagesimal("-190:00:00").value(), 170.0);
    EXPECT_DOUBLE_EQ(sexagesimal("0:30:36").value(), 0.51);
    EXPECT_DOUBLE_EQ(sexagesimal("  12.9:30.9:36").value(), 12.51);
    EXPECT_DOUBLE_EQ(sexagesimal("123.25").value(), 123.25);
    EXPECT_DOUBLE_EQ(sexagesimal("500", false).value(), 500.0);
}

TEST(sexagesimalValues, minusZeroDegreesKeepTheirSign) {
    EXPECT_DOUBLE_EQ(sexagesimal("-0:30:00").value(), -0.5);
    EXPECT_DOUBLE_EQ(sexagesimal("-0:00:36").value(), -0.01);
    EXPECT_DOUBLE_EQ(dmsToDegrees(dmsAngle{-12, 30, 0.0}, false), -12.5);
    EXPECT_DOUBLE_EQ(dmsToDegrees(dmsAngle{0, 30, 0.0}, true), -0.5);
}

TEST(sexagesimalValues, refuseWhatIsNoCoordinate) {
    EXPECT_FALSE(sexagesimal("12:30"));
    EXPECT_FALSE(sexagesimal("1:2:3:4"));
    EXPECT_FALSE(sexagesimal("1:2:3", false));
    EXPECT_FALSE(sexagesimal("abc"));
    EXPECT_FALSE(sexagesimal(""));
    EXPECT_FALSE(sexagesimal("12:x:00"));
    EXPECT_FALSE(sexagesimal("1e20:00:00"));
    EXPECT_FALSE(sexagesimal("0:1e20:00"));
}

TEST(sexagesimalValues, stopAtWhiteSpaceAndPassOverOtherCharacters) {
    std::istringstream stream("12:30:00deg next");
    EXPECT_DOUBLE_EQ(readSexagesimal(stream, true).value(), 12.5);
    std::string rest;
    stream >> rest;
    EXPECT_EQ(rest, "next");
}

// ---------------------------------------------------------------- model

TEST_F(tieFiles, modelKeepsTheTiePointsWithAnInitialCopy) {
    const std::string path = folder.file("model.gpf");
    writeTextFile(path, fourPoints);
    alignmentModel model;
    model.debug = true;
    consoleCapture capture;
    ASSERT_TRUE(model.readTiePoints(path));
    EXPECT_NE(capture.text().find("Longitude Column: 2\n"), std::string::npos);
    EXPECT_EQ(model.tiePointIds, (std::vector<std::string>{"A", "B", "C", "D"}));
    ASSERT_EQ(model.tiePoints.size(), 4u);
    ASSERT_EQ(model.initialTiePoints.size(), 4u);
    expectPoint(model.initialTiePoints[2], 2, 7, 8, 9);
}

TEST_F(tieFiles, modelListsSurviveAFailedRead) {
    const std::string good = folder.file("good.gpf");
    const std::string bad = folder.file("bad.gpf");
    writeTextFile(good, fourPoints);
    writeTextFile(bad, "point_id,lon,lat\n");
    alignmentModel model;
    consoleCapture capture;
    ASSERT_TRUE(model.readTiePoints(good));
    EXPECT_FALSE(model.readTiePoints(bad));
    EXPECT_FALSE(model.readTiePoints(folder.file("ties.txt")));
    EXPECT_EQ(model.tiePoints.size(), 4u);
    EXPECT_EQ(model.initialTiePoints.size(), 4u);
    EXPECT_EQ(model.tiePointIds.size(), 4u);
    const std::string empty = folder.file("empty.gpf");
    writeTextFile(empty, "point_id,lon,lat,ht\n");
    EXPECT_TRUE(model.readTiePoints(empty));
    EXPECT_TRUE(model.tiePoints.empty());
    EXPECT_TRUE(model.initialTiePoints.empty());
}

// ---------------------------------------------------------------- broken input

TEST_F(tieFiles, arbitraryTextNeverBreaksTheReaders) {
    // Fragments of both layouts shuffled together: every read must end, and
    // every kept point must have its identifier and finite coordinates.
    const std::vector<std::string> pieces = {
        "point_id", ",", "lon", "lat", "ht", "(3)", "(-2)", "(0)", "(", ")", " ", "  ", "\n", "\r\n", "\t",
        "1", "-0", "12.5", ":", "30", "abc", "GROUND POINT PARAMETERS", "G", "(TIE)", "X", "=", "-", "1e999"};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<int> length(0, 120);
    for (int trial = 0; trial < 400; ++trial) {
        std::string text = trial % 2 == 0 ? "" : repStart();
        for (int i = length(random); i > 0; --i)
            text += pieces[pick(random)];
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

// ---------------------------------------------------------------- real files

struct realGpf {
    std::string file;  // below the shared data folder
    bool copied;       // also kept in tests/data/tiepoints
    std::size_t count;
    std::string firstId;
    double firstX, firstY, firstZ;
    std::string lastId;
    double lastX, lastY, lastZ;
};

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

// The GXP layout puts commas inside a parenthesised entry, so its header
// counts 16 values per point while its blocks hold 24 (or 12). Only the first
// point is read in step; the rest of the stream is read as it falls, without
// a crash or a hang.
TEST(realGpfIdentifiers, gxpLayoutIsReadOutOfStepButEnds) {
    const std::string path = testing::testDataDir() + "/tiepoints/GXP_example_gpf.gpf";
    const auto outcome = readFile<gpfReader>(path, true);
    ASSERT_TRUE(outcome.succeeded);
    EXPECT_NE(outcome.console.find("Longitude Column: 5\nLatitude Column: 4\nTopology Column: 6\n"), std::string::npos);
    ASSERT_EQ(outcome.points.size(), 24u);
    EXPECT_EQ(outcome.ids.front(), "ESP_011969_1425_REDmos_hijitreged_1");
    expectPoint(outcome.points.front(), 0, -168.03781013510081, -37.52498315102231, 2166.85677517541853);
    EXPECT_EQ(outcome.ids[1], "0.017375");
}

TEST(realGpfIdentifiers, gxpWithEigenValuesReportsTheCountItFound) {
    const std::string path = testing::sharedDataDir() + "/plio/GXP_example_wEigenValues.gpf";
    if (!fileExists(path))
        GTEST_SKIP() << path << " is not available";
    const auto outcome = readFile<gpfReader>(path);
    ASSERT_TRUE(outcome.succeeded);
    EXPECT_NE(outcome.console.find(
                  "Warning: Did not find the number of points listed at the beginning of the .gpf file, only found 67/48\n"),
              std::string::npos);
    EXPECT_EQ(outcome.ids.front(), "TP00000");
    expectPoint(outcome.points.front(), 0, 12.42204566561736, 41.93625458705527, 144.49352205921176);
}

}  // namespace
}  // namespace kalvex
