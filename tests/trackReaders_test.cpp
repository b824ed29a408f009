#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model/alignmentModel.h"
#include "model/rasterExtent.h"
#include "readers/csvReader.h"
#include "readers/dbfReader.h"
#include "readers/fileReader.h"
#include "readers/tabReader.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using testing::consoleCapture;
using testing::scratchFolder;
using testing::writeTextFile;

struct trackRead {
    bool succeeded = false;
    std::string console;
    std::vector<molaPoint> points;
    std::vector<std::int32_t> orbits;
    std::vector<pointFilter> filters;
};

trackRead readTrackFile(const std::string& path, const std::vector<pointFilter>& filters = {}, bool verbose = false,
                        const valueRange& lonRange = std::nullopt, const valueRange& latRange = std::nullopt) {
    trackRead result;
    std::unique_ptr<molaReader> reader = makeTrackReader(path);
    if (!reader) {
        ADD_FAILURE() << "no reader for " << path;
        return result;
    }
    reader->verbose = verbose;
    reader->filters = filters;
    {
        consoleCapture capture;
        result.succeeded = reader->read(lonRange, latRange);
        result.console = capture.text();
    }
    result.points = reader->getPoints();
    result.orbits = reader->getOrbits();
    result.filters = reader->filters;
    return result;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
    return lines;
}

bool hasLine(const std::string& console, const std::string& line) {
    const std::vector<std::string> lines = linesOf(console);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<double> xsOf(const std::vector<molaPoint>& points) {
    std::vector<double> xs;
    for (const molaPoint& point : points) xs.push_back(point.x);
    return xs;
}

std::vector<std::int32_t> trackIndicesOf(const std::vector<molaPoint>& points) {
    std::vector<std::int32_t> indices;
    for (const molaPoint& point : points) indices.push_back(point.trackIndex);
    return indices;
}

// A dBASE III table built byte by byte.
struct dbfColumn {
    std::string name;
    int length = 10;
    char type = 'N';
};

struct dbfRecord {
    std::vector<std::string> values;  // right-aligned in their fields
    bool deleted = false;
};

std::string littleEndian16(unsigned value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string dbfHeader(const std::vector<dbfColumn>& columns, std::size_t recordCount) {
    const unsigned headerLength = unsigned(32 + 32 * columns.size() + 1);
    unsigned recordLength = 1;
    for (const dbfColumn& column : columns) recordLength += unsigned(column.length);
    std::string header(32, '\0');
    header[0] = 0x03;
    header[4] = static_cast<char>(recordCount & 0xFF);
    header.replace(8, 2, littleEndian16(headerLength));
    header.replace(10, 2, littleEndian16(recordLength));
    for (const dbfColumn& column : columns) {
        std::string descriptor(32, '\0');
        descriptor.replace(0, std::min<std::size_t>(column.name.size(), 11), column.name.substr(0, 11));
        descriptor[11] = column.type;
        descriptor[16] = static_cast<char>(column.length);
        header += descriptor;
    }
    header += '\x0D';
    return header;
}

std::string dbfRecords(const std::vector<dbfColumn>& columns, const std::vector<dbfRecord>& records) {
    std::string bytes;
    for (const dbfRecord& record : records) {
        bytes += record.deleted ? '*' : ' ';
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::string value = i < record.values.size() ? record.values[i] : "";
            const std::size_t width = std::size_t(columns[i].length);
            bytes += std::string(width - std::min(width, value.size()), ' ') + value.substr(0, width);
        }
    }
    return bytes;
}

std::string dbfTable(const std::vector<dbfColumn>& columns, const std::vector<dbfRecord>& records,
                     bool endMarker = true) {
    return dbfHeader(columns, records.size()) + dbfRecords(columns, records) + (endMarker ? "\x1A" : "");
}

const std::vector<dbfColumn> plainColumns = {{"LON", 12}, {"LAT", 12}, {"TOPOGRAPHY", 12}, {"ORBIT", 8}};

// ---------------------------------------------------------------- factory

TEST(trackReaderFactory, picksTheReaderByTheCaseSensitiveEnding) {
    EXPECT_NE(dynamic_cast<csvReader*>(makeTrackReader("a/b.c/tracks.csv").get()), nullptr);
    EXPECT_NE(dynamic_cast<tabReader*>(makeTrackReader("tracks.tab").get()), nullptr);
    EXPECT_NE(dynamic_cast<dbfReader*>(makeTrackReader("tracks.dbf").get()), nullptr);
    EXPECT_EQ(makeTrackReader("tracks.CSV"), nullptr);
    EXPECT_EQ(makeTrackReader("tracks.gpf"), nullptr);
    EXPECT_EQ(makeTrackReader("csv"), nullptr);
    EXPECT_EQ(makeTrackReader(""), nullptr);
}

TEST(trackReaderFactory, readersRefuseAnotherEndingAndAnEmptyName) {
    consoleCapture capture;
    csvReader csv("tracks.txt");
    tabReader tab("ab");
    dbfReader dbf("tracks.DBF");
    csvReader unnamed("");
    EXPECT_FALSE(csv.read());
    EXPECT_FALSE(tab.read());
    EXPECT_FALSE(dbf.read());
    EXPECT_FALSE(unnamed.read());
    EXPECT_EQ(capture.text(),
              "Can only read .csv file not .txt\nCan only read .tab file not ab\nCan only read .dbf file not .DBF\n");
}

// ---------------------------------------------------------------- columns

class trackFiles : public ::testing::Test {
protected:
    scratchFolder folder{"trackReaders"};
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = folder.file(name);
        writeTextFile(path, text);
        return path;
    }
};

TEST_F(trackFiles, keywordsFindTheColumnsWhateverTheirCaseAndOrder) {
    const trackRead read = readTrackFile(write("t.csv", "Lat,Lon,Topography,Orbit\n24.5,10.25,-1200,7\n"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.console, "Longitude Column: 2\nLatitude Column: 1\nTopology Column: 3\n");
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_DOUBLE_EQ(read.points[0].x, 10.25);
    EXPECT_DOUBLE_EQ(read.points[0].y, 24.5);
    EXPECT_DOUBLE_EQ(read.points[0].elevation, -1200.0);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{7});
}

TEST_F(trackFiles, elevationIsFoundThroughEachOfItsKeywords) {
    for (const std::string name : {"TOPO", "Elevation", "altitude_km"}) {
        const trackRead read = readTrackFile(write("t.csv", "lon,lat," + name + "\n1,2,3\n"));
        EXPECT_TRUE(read.succeeded) << name;
        EXPECT_EQ(read.points.size(), 1u) << name;
    }
}

TEST_F(trackFiles, laterAreocentricLatitudeReplacesAnEarlierLatitude) {
    const trackRead read = readTrackFile(write("t.csv", "lon,lat,elev,areod_lat\n1,2,3,4\n"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_TRUE(hasLine(read.console, "Warning: Found 2 or more occurances of \"lat\" in the csv header, column 4 will be used"));
    EXPECT_TRUE(hasLine(read.console, "Latitude Column: 4"));
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_DOUBLE_EQ(read.points[0].y, 4.0);
}

TEST_F(trackFiles, earlierAreocentricLatitudeStaysBeforeAPlainLatitude) {
    const trackRead read = readTrackFile(write("t.csv", "areod_lat,lon,lat,elev\n4,1,2,3\n"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_TRUE(hasLine(read.console, "Warning: Found 2 or more occurances of \"lat\" in the csv header, column 1 will be used"));
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_DOUBLE_EQ(read.points[0].y, 4.0);
}

TEST_F(trackFiles, duplicateKeywordsKeepTheFirstColumnAndWarn) {
    std::vector<pointFilter> filters{pointFilter(pointFilter::equalTo, "chn", 9.0)};
    const trackRead read = readTrackFile(
        write("t.csv", "lon,lat,topo,orbit,chn,sat_lon,elev,orbit2,chn2,sat_lat\n1,2,3,4,5,6,7,8,9,10\n"), filters);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{
                  "Warning: Found 2 or more occurances of \"lon\" in the csv header, column 1 will be used",
                  "Warning: Found 2 or more occurances of \"topo\", \"elev\" or \"altitude\" in the csv header, column 3 will be used",
                  "Warning: Found 2 or more occurances of \"orbit\" in the csv header, column 4 will be used",
                  "Warning: Found 2 or more occurances of \"chn\" in the csv header, column 5 will be used",
                  "Warning: Found 2 or more occurances of \"lat\" in the csv header, column 2 will be used",
                  "Longitude Column: 1", "Latitude Column: 2", "Topology Column: 3"}));
    EXPECT_EQ(read.filters[0].column, 4);
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{4});
}

TEST_F(trackFiles, oneColumnForTwoKeyValuesFailsTheRead) {
    const trackRead read = readTrackFile(write("t.csv", "lonlat,topo,orbit\n1,2,3\n"));
    EXPECT_FALSE(read.succeeded);
    EXPECT_EQ(read.console,
              "Error: The same column included at least 2 of the keywords: \"topo\", \"lon\" or \"lat\", one column "
              "should only contain one of these keywords\n");
}

TEST_F(trackFiles, missingColumnsAreReportedInOrder) {
    std::vector<pointFilter> filters{pointFilter(pointFilter::greaterThan, "offnad", 5.0),
                                     pointFilter(pointFilter::equalTo, "orbit", 3.0)};
    const trackRead noLongitude = readTrackFile(write("a.csv", "lat,topo\n"), filters);
    EXPECT_FALSE(noLongitude.succeeded);
    EXPECT_EQ(linesOf(noLongitude.console),
              (std::vector<std::string>{
                  "Warning: Could not find offnad", "Warning: Could not find orbit",
                  "Warning: Couldnt't find a column with the keyword \"orbit\", orbit statistics will be incorrect",
                  "Error: Could not find a column with the keyword \"lon\""}));
    const trackRead noLatitude = readTrackFile(write("b.csv", "lon,topo,orbit\n"));
    EXPECT_FALSE(noLatitude.succeeded);
    EXPECT_EQ(noLatitude.console, "Error: Could not find a column with the keyword \"lat\"\n");
    const trackRead noElevation = readTrackFile(write("c.csv", "lon,lat,orbit\n"));
    EXPECT_FALSE(noElevation.succeeded);
    EXPECT_EQ(noElevation.console,
              "Error: Could not find a column with the keyword \"topo\", \"elev\" or \"altitude\"\n");
}

TEST_F(trackFiles, missingOrEmptyFileHasNoLongitudeColumn) {
    const std::string expected =
        "Warning: Couldnt't find a column with the keyword \"orbit\", orbit statistics will be incorrect\n"
        "Error: Could not find a column with the keyword \"lon\"\n";
    EXPECT_EQ(readTrackFile(folder.file("absent.csv")).console, expected);
    EXPECT_EQ(readTrackFile(write("empty.csv", "")).console, expected);
    EXPECT_EQ(readTrackFile(write("empty.tab", "")).console, expected);
    EXPECT_EQ(readTrackFile(folder.file("absent.dbf")).console, expected);
    EXPECT_FALSE(readTrackFile(folder.file("absent.tab")).succeeded);
}

TEST_F(trackFiles, withoutAnOrbitColumnEveryPointIsOnTrackZero) {
    const trackRead read = readTrackFile(write("t.csv", "lon,lat,topo\n1,2,3\n4,5,6\n"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{0});
    EXPECT_EQ(trackIndicesOf(read.points), (std::vector<std::int32_t>{0, 0}));
}

// ---------------------------------------------------------------- csv rows

TEST_F(trackFiles, csvConversionFailuresNameTheFieldRowAndColumn) {
    const trackRead read = readTrackFile(write("t.csv",
                                               "lon,lat,topo,orbit\n"
                                               "10.5,,-1200,7\n"
                                               "abc,1,2,7\n"
                                               "1,2,nan,7\n"
                                               "1,2,inf,7\n"
                                               "1,2,3,a12\n"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{
                  "Longitude Column: 1", "Latitude Column: 2", "Topology Column: 3",
                  "Error: Couldn't convert the Latitude Value  in row 2 and column 2",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 2",
                  "Warning: Couldn't convert the Longitude Value abc in row 3 and column 1",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 3",
                  "Error: Couldn't convert the Topology Value nan in row 4 and column 3",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 4",
                  "Error: Couldn't convert the Topology Value inf in row 5 and column 3",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 5",
                  "Error: Couldn't convert the Orbit Value in row 6 and column 4"}));
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{0});
}

TEST_F(trackFiles, fieldsConvertFromTheirLeadingNumber) {
    const trackRead read = readTrackFile(write("t.csv",
                                               "lon,lat,topo,orbit\n"
                                               " 45.25 ,\t-3.5e1,12.5 m,12a\n"
                                               "1,2,3,99999999999\n"
                                               "1,2,3,-2147483648\n"));
    ASSERT_TRUE(read.succeeded);
    ASSERT_EQ(read.points.size(), 3u);
    EXPECT_DOUBLE_EQ(read.points[0].x, 45.25);
    EXPECT_DOUBLE_EQ(read.points[0].y, -35.0);
    EXPECT_DOUBLE_EQ(read.points[0].elevation, 12.5);
    EXPECT_TRUE(hasLine(read.console, "Error: Couldn't convert the Orbit Value in row 3 and column 4"));
    EXPECT_EQ(read.orbits, (std::vector<std::int32_t>{12, 0, -2147483647 - 1}));
}

TEST_F(trackFiles, csvFilterStopsTheRowAtTheFirstTestThatHolds) {
    std::vector<pointFilter> filters{pointFilter(pointFilter::greaterThan, "offnad", 5.0),
                                     pointFilter(pointFilter::equalTo, "offnad", 9.0),
                                     pointFilter(pointFilter::lessThan, "sol", 10.0)};
    const trackRead read = readTrackFile(write("t.csv",
                                               "offnad,sol,lon,lat,topo,orbit\n"
                                               "9,0,bad,1,2,3\n"
                                               "1,50,1,1,2,3\n"
                                               "x,y,1,1,2,4\n"
                                               "1,5,1,1,2,5\n"),
                                         filters, true);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{
                  "Start Reading .csv",
                  "Longitude Column: 3", "Latitude Column: 4", "Topology Column: 5",
                  "Warning: Couldn't convert the filter value offnad in row 4 and column 1",
                  "Warning: Couldn't convert the filter value offnad in row 4 and column 1",
                  "Warning: Couldn't convert the filter value sol in row 4 and column 2",
                  "Number of Trimmed Coordinates: 2", "Total Number of Coordinates: 2", "Done Reading .csv"}));
    EXPECT_EQ(read.filters[0].removedCount, 1);
    EXPECT_EQ(read.filters[1].removedCount, 0);
    EXPECT_EQ(read.filters[2].removedCount, 1);
    EXPECT_EQ(read.orbits, (std::vector<std::int32_t>{3, 4}));
}

TEST_F(trackFiles, orbitColumnIsOfferedToTheFiltersToo) {
    std::vector<pointFilter> filters{pointFilter(pointFilter::equalTo, "orbit", 7.0),
                                     pointFilter(pointFilter::equalTo, "absent", 1.0)};
    const trackRead read = readTrackFile(write("t.csv", "lon,lat,topo,orbit\n1,2,3,7\n1,2,3,8\n"), filters);
    ASSERT_TRUE(read.succeeded);
    EXPECT_TRUE(hasLine(read.console, "Warning: Could not find absent"));
    EXPECT_EQ(read.filters[0].removedCount, 1);
    EXPECT_EQ(read.filters[1].removedCount, 0);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{8});
}

TEST_F(trackFiles, lineEndsDoNotChangeWhatIsRead) {
    const trackRead lf = readTrackFile(write("lf.csv", "lon,lat,topo,orbit\n1,2,3,4\n5,6,7,8\n"));
    const trackRead crlf = readTrackFile(write("crlf.csv", "lon,lat,topo,orbit\r\n1,2,3,4\r\n5,6,7,8\r\n"));
    const trackRead unended = readTrackFile(write("unended.csv", "lon,lat,topo,orbit\r\n1,2,3,4\r\n5,6,7,8"));
    const trackRead tab = readTrackFile(write("t.tab", "lon lat topo orbit\r\n1 2 3 4\r\n5\t6  7 8"));
    for (const trackRead* read : {&lf, &crlf, &unended, &tab}) {
        EXPECT_TRUE(read->succeeded);
        EXPECT_EQ(read->orbits, (std::vector<std::int32_t>{4, 8}));
        EXPECT_EQ(xsOf(read->points), (std::vector<double>{1, 5}));
        EXPECT_EQ(read->console.find("Couldnt find"), std::string::npos) << read->console;
    }
}

TEST_F(trackFiles, blankRowsAreReportedExceptAfterTheFinalLineEnd) {
    const trackRead read = readTrackFile(write("t.csv", "lon,lat,topo\n1,2,3\n\n4,5,6\n1,,3"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_TRUE(hasLine(read.console, "Warning: Couldnt find either the latitude, longitude, or topology value in row 3"));
    EXPECT_TRUE(hasLine(read.console, "Warning: Couldnt find either the latitude, longitude, or topology value in row 5"));
    EXPECT_EQ(read.points.size(), 2u);
}

TEST_F(trackFiles, veryLongLinesAreReadWhole) {
    const std::string padding(300000, 'p');
    const trackRead read = readTrackFile(write("t.csv", "note,lon,lat,topo\n" + padding + ",1,2,3\n"));
    ASSERT_TRUE(read.succeeded);
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_DOUBLE_EQ(read.points[0].elevation, 3.0);
}

TEST_F(trackFiles, aSecondReadChangesNothing) {
    csvReader reader(write("t.csv", "lon,lat,topo\n1,2,3\n"));
    consoleCapture capture;
    ASSERT_TRUE(reader.read());
    writeTextFile(reader.fileName, "lon,lat,topo\n1,2,3\n4,5,6\n");
    EXPECT_TRUE(reader.read());
    EXPECT_EQ(reader.getPoints().size(), 1u);
}

// ---------------------------------------------------------------- tab rows

TEST_F(trackFiles, tabReportsOnlyInVerboseModeAndWithoutTheField) {
    const std::string path = write("t.tab",
                                   "  lon\tlat   topo orbit\n"
                                   "abc 2 3 4\n"
                                   "1 x 3 4\n"
                                   "1 2 nan 4\n"
                                   "1 2\n"
                                   "1 2 3 q\n");
    const trackRead quiet = readTrackFile(path);
    ASSERT_TRUE(quiet.succeeded);
    EXPECT_EQ(linesOf(quiet.console),
              (std::vector<std::string>{
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 2",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 3",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 4",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 5",
                  "Error: Couldn't convert the Orbit Value in row 6 and column 4"}));
    const trackRead verbose = readTrackFile(path, {}, true);
    EXPECT_EQ(linesOf(verbose.console),
              (std::vector<std::string>{
                  "Longitude Column: 1", "Latitude Column: 2", "Topology Column: 3",
                  "Error: Couldn't convert the Longitude Value in row 2 and column 1",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 2",
                  "Error: Couldn't convert the Latitude Value in row 3 and column 2",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 3",
                  "Error: Couldn't convert the Topology Value in row 4 and column 3",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 4",
                  "Warning: Couldnt find either the latitude, longitude, or topology value in row 5",
                  "Error: Couldn't convert the Orbit Value in row 6 and column 4",
                  "Number of Trimmed Coordinates: 0", "Total Number of Coordinates: 1"}));
    EXPECT_EQ(verbose.orbits, std::vector<std::int32_t>{0});
}

TEST_F(trackFiles, tabUnreadableKeyValueDoesNotShiftLaterFields) {
    std::vector<pointFilter> filters{pointFilter(pointFilter::equalTo, "orbit", 7.0),
                                     pointFilter(pointFilter::greaterThan, "chn", 1.0)};
    const trackRead read = readTrackFile(write("t.tab",
                                               "topo lon lat orbit chn\n"
                                               "n/a 10 20 7 1\n"
                                               "-1.5e+x 10 20 8 2\n"
                                               "-100 10 20 9 1\n"),
                                         filters);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.console.find("Orbit Value"), std::string::npos) << read.console;
    EXPECT_EQ(read.filters[0].removedCount, 1);
    EXPECT_EQ(read.filters[1].removedCount, 1);
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_DOUBLE_EQ(read.points[0].elevation, -100.0);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{9});
}

TEST_F(trackFiles, tabDuplicateWarningsNameTheTabHeader) {
    const trackRead read = readTrackFile(write("t.tab", "lon lat topo sat_lon\n1 2 3 4\n"));
    EXPECT_TRUE(hasLine(read.console, "Warning: Found 2 or more occurances of \"lon\" in the tab header, column 1 will be used"));
    EXPECT_EQ(read.points.size(), 1u);
}

// ---------------------------------------------------------------- box and tracks

TEST_F(trackFiles, orbitsAreNumberedInTheOrderTheyFirstOccur) {
    const trackRead read = readTrackFile(write("t.csv",
                                               "lon,lat,topo,orbit\n"
                                               "1,1,1,700\n"
                                               "1,1,1,300\n"
                                               "1,,1,999\n"
                                               "1,1,1,700\n"
                                               "1,1,1,500\n"));
    EXPECT_EQ(read.orbits, (std::vector<std::int32_t>{700, 300, 500}));
    EXPECT_EQ(trackIndicesOf(read.points), (std::vector<std::int32_t>{0, 1, 0, 2}));
}

TEST_F(trackFiles, boundedReadWrapsOnceAndDropsPointsOutsideSilently) {
    const std::string path = write("t.csv",
                                   "lon,lat,topo,orbit\n"
                                   "350,10,1,1\n"
                                   "-10,190,1,2\n"
                                   "100,10,1,3\n"
                                   "-10,10,1,4\n");
    const trackRead unbounded = readTrackFile(path);
    EXPECT_EQ(xsOf(unbounded.points), (std::vector<double>{350, -10, 100, -10}));
    std::vector<pointFilter> filters{pointFilter(pointFilter::equalTo, "orbit", 4.0)};
    const trackRead bounded = readTrackFile(path, filters, true, std::make_pair(-20.0, 20.0),
                                            std::make_pair(-175.0, 20.0));
    EXPECT_EQ(xsOf(bounded.points), (std::vector<double>{-10, -10}));
    ASSERT_EQ(bounded.points.size(), 2u);
    EXPECT_DOUBLE_EQ(bounded.points[1].y, -170.0);
    EXPECT_EQ(bounded.orbits, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(bounded.filters[0].removedCount, 1);
    EXPECT_TRUE(hasLine(bounded.console, "Number of Trimmed Coordinates: 1"));
}

TEST_F(trackFiles, boxOfAZeroTo360RasterKeepsItsPoints) {
    const std::string path = write("t.csv",
                                   "lon,lat,topo\n"
                                   "341.5,24,1\n"
                                   "-18.5,24,2\n"
                                   "200,24,3\n"
                                   "10,24,4\n");
    const trackRead read = readTrackFile(path, {}, false, std::make_pair(340.0, 342.0), std::make_pair(23.0, 25.0));
    EXPECT_EQ(xsOf(read.points), (std::vector<double>{341.5, 341.5}));
    // A point the wrap already puts in the box stays where the wrap put it.
    const trackRead wide = readTrackFile(path, {}, false, std::make_pair(-200.0, 400.0), std::make_pair(23.0, 25.0));
    EXPECT_EQ(xsOf(wide.points), (std::vector<double>{-18.5, -18.5, -160, 10}));
    // A box west of -180 takes the point one turn to the west.
    const trackRead west = readTrackFile(path, {}, false, std::make_pair(-380.0, -370.0), std::make_pair(23.0, 25.0));
    EXPECT_EQ(xsOf(west.points), (std::vector<double>{-378.5, -378.5}));
}

alignmentModel modelWithRaster(std::uint32_t width, std::uint32_t height, const geoTransform& transform) {
    alignmentModel model;
    model.raster.width = width;
    model.raster.height = height;
    model.raster.transform = transform;
    model.raster.loaded = true;
    return model;
}

TEST_F(trackFiles, readTracksInBoxHandsOverPointsOrbitsWeightsAndCounts) {
    alignmentModel model = modelWithRaster(11, 11, {100.0, 1.0, 0.0, 50.0, 0.0, -1.0});
    model.debug = true;
    std::vector<pointFilter> filters{pointFilter(pointFilter::equalTo, "chn", 3.0),
                                     pointFilter(pointFilter::equalTo, "orbit", 99.0)};
    const std::string path = write("t.csv",
                                   "lon,lat,topo,orbit,chn\n"
                                   "100,50,1,5,1\n"
                                   "111,39,1,6,1\n"
                                   "112.5,40,1,7,1\n"
                                   "105,45,1,8,3\n"
                                   "105,45,1,5,1\n");
    consoleCapture capture;
    ASSERT_TRUE(model.readTracksInBox(path, filters, 1.0));
    EXPECT_EQ(model.molaPoints.size(), 3u);
    EXPECT_EQ(model.orbits, (std::vector<std::int32_t>{5, 6}));
    EXPECT_EQ(model.trackWeights, (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(filters[0].removedCount, 1);
    EXPECT_EQ(filters[1].removedCount, 0);
    EXPECT_FALSE(model.notReady);
    EXPECT_TRUE(hasLine(capture.text(), "Number of Mola: 3"));
    EXPECT_TRUE(hasLine(capture.text(), "Start Reading .csv"));
}

TEST_F(trackFiles, boxOfARasterWhoseRowsRunNorthIsNotInverted) {
    alignmentModel model = modelWithRaster(3, 2, {0.0, 100.0, 0.0, 0.0, 0.0, 100.0});
    std::vector<pointFilter> filters;
    const std::string path = write("t.csv", "lon,lat,topo\n50,50,1\n150,99,2\n-10,120,3\n250,-5,4\n25,-15,5\n");
    consoleCapture capture;
    ASSERT_TRUE(model.readTracksInBox(path, filters, 0.0));
    EXPECT_EQ(xsOf(model.molaPoints), (std::vector<double>{50, 150}));
    alignmentModel westward = modelWithRaster(3, 2, {20.0, -10.0, 0.0, 0.0, 0.0, -10.0});
    ASSERT_TRUE(westward.readTracksInBox(path, filters, 10.0));
    EXPECT_EQ(xsOf(westward.molaPoints), (std::vector<double>{25}));
}

TEST_F(trackFiles, readTracksFailsWithoutReaderOrPoints) {
    alignmentModel model;
    model.orbits = {1, 2};
    std::vector<pointFilter> filters;
    consoleCapture capture;
    EXPECT_FALSE(model.readTracks(write("t.CSV", "lon,lat,topo\n1,2,3\n"), filters));
    EXPECT_EQ(model.orbits, (std::vector<std::int32_t>{1, 2}));
    EXPECT_FALSE(model.readTracks(write("bad.csv", "lat,topo\n1,2\n"), filters));
    EXPECT_EQ(model.orbits, (std::vector<std::int32_t>{1, 2}));
    EXPECT_FALSE(model.readTracks(write("none.csv", "lon,lat,topo\n1,,3\n"), filters));
    EXPECT_TRUE(model.orbits.empty());
    EXPECT_TRUE(model.molaPoints.empty());
    EXPECT_TRUE(model.notReady);
    ASSERT_TRUE(model.readTracks(write("good.tab", "lon lat topo\n1 2 3\n"), filters));
    EXPECT_TRUE(model.notReady);  // no raster yet
    EXPECT_EQ(capture.text().find("Number of Mola"), std::string::npos);
}

// ---------------------------------------------------------------- dBASE

TEST_F(trackFiles, dbfReadsUpperCaseNamesAndReportsItsLayoutInVerboseMode) {
    const std::string path = write("t.dbf", dbfTable(plainColumns, {{{"341.5", "24.25", "-3305.29", "10364"}},
                                                                    {{"-18", "24", "-3000", "10365"}}}));
    const trackRead read = readTrackFile(path, {}, true);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{"Begin Reading .dbf", "Number of Bits in Header: 153", "1 : lon", "2 : lat",
                                        "3 : topography", "4 : orbit", "Number of Trimmed Coordinates: 0",
                                        "Total Number of Coordinates: 2", "Done Reading .dbf"}));
    ASSERT_EQ(read.points.size(), 2u);
    EXPECT_DOUBLE_EQ(read.points[0].x, 341.5);
    EXPECT_DOUBLE_EQ(read.points[0].elevation, -3305.29);
    EXPECT_EQ(read.orbits, (std::vector<std::int32_t>{10364, 10365}));
}

TEST_F(trackFiles, dbfDropsDeletedAndIncompleteRecordsAsTrimmed) {
    const std::string path = write("t.dbf", dbfTable(plainColumns, {{{"1", "2", "3", "4"}, true},
                                                                    {{"1", "2", "", "5"}},
                                                                    {{"x", "2", "3", "z"}},
                                                                    {{"1", "2", "nan", "6"}},
                                                                    {{"1", "2", "3", "7"}}}));
    const trackRead read = readTrackFile(path, {}, true);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{"Begin Reading .dbf", "Number of Bits in Header: 153", "1 : lon", "2 : lat",
                                        "3 : topography", "4 : orbit",
                                        "Warning: Couldn't convert the Topography Value in row 2 and column 3",
                                        "Warning: Couldn't convert the Longitude Value in row 3 and column 1",
                                        "Warning: Couldn't convert the orbit value in row 3 and column 4",
                                        "Warning: Couldn't convert the Topography Value in row 4 and column 3",
                                        "Number of Trimmed Coordinates: 4", "Total Number of Coordinates: 1",
                                        "Done Reading .dbf"}));
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{7});
}

TEST_F(trackFiles, dbfSkipsLongCharacterFieldsAndTestsEveryFilter) {
    const std::vector<dbfColumn> columns = {{"UTC", 200, 'C'}, {"Longitude", 24}, {"Latitude", 24},
                                            {"Elev_m", 24},    {"CHN", 2},        {"Orbit", 9}};
    std::vector<pointFilter> filters{pointFilter(pointFilter::equalTo, "chn", 3.0),
                                     pointFilter(pointFilter::greaterThan, "chn", 2.0),
                                     pointFilter(pointFilter::lessThan, "utc", 0.0)};
    const std::string path = write("t.dbf", dbfTable(columns, {{{"1999-04-07T19:56:49.547", "-18.35", "25.02",
                                                                   "-3305.29", "3", "bad"}},
                                                                 {{"-5", "-18.36", "25.03", "-3306", "1", "10364"}},
                                                                 {{std::string(200, 'u'), "-18.37", "25.04",
                                                                   "-3307", "2", "10365"}}}));
    const trackRead read = readTrackFile(path, filters);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{"Warning: Couldn't convert the orbit value in row 1 and column 6",
                                        "Warning: Couldn't convert the Filter Value in row 3 and column 1"}));
    EXPECT_EQ(read.filters[0].removedCount, 1);
    EXPECT_EQ(read.filters[1].removedCount, 1);
    EXPECT_EQ(read.filters[2].removedCount, 1);
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_DOUBLE_EQ(read.points[0].x, -18.37);
    EXPECT_DOUBLE_EQ(read.points[0].y, 25.04);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{10365});
}

TEST_F(trackFiles, dbfDuplicateWarningsNameTheDbfHeader) {
    const std::vector<dbfColumn> columns = {{"LON", 5}, {"LAT", 5}, {"ELEV", 5}, {"SAT_LON", 5}, {"AREOD_LAT", 5}};
    const trackRead read = readTrackFile(write("t.dbf", dbfTable(columns, {{{"1", "2", "3", "4", "5"}}})));
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{
                  "Warning: Found 2 or more occurances of \"lon\" in the dbf header, column 1 will be used",
                  "Warning: Found 2 or more occurances of \"lat\" in the dbf header, column 5 will be used",
                  "Warning: Couldnt't find a column with the keyword \"orbit\", orbit statistics will be incorrect"}));
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_DOUBLE_EQ(read.points[0].y, 5.0);
}

TEST_F(trackFiles, dbfEndMarkerAndTruncatedRecordAddNothing) {
    const std::vector<dbfRecord> records = {{{"1", "2", "3", "4"}}, {{"5", "6", "7", "8"}}};
    const std::string body = dbfHeader(plainColumns, 2) + dbfRecords(plainColumns, records);
    const trackRead marked = readTrackFile(write("a.dbf", body + "\x1A"), {}, true);
    const trackRead unmarked = readTrackFile(write("b.dbf", body), {}, true);
    const trackRead truncated = readTrackFile(write("c.dbf", body + " 12345"), {}, true);
    for (const trackRead* read : {&marked, &unmarked, &truncated}) {
        EXPECT_TRUE(read->succeeded);
        EXPECT_EQ(xsOf(read->points), (std::vector<double>{1, 5}));
        EXPECT_TRUE(hasLine(read->console, "Number of Trimmed Coordinates: 0"));
        EXPECT_EQ(read->console.find("Warning"), std::string::npos);
    }
}

TEST_F(trackFiles, dbfDescriptorsEndAtTheTerminator) {
    // A header that keeps a block of zeros between the terminator and the records.
    std::string table = dbfTable(plainColumns, {{{"1", "2", "3", "4"}}});
    const std::string header = dbfHeader(plainColumns, 1);
    table.insert(header.size(), std::string(263, '\0'));
    table.replace(8, 2, littleEndian16(unsigned(header.size() + 263)));
    const trackRead read = readTrackFile(write("t.dbf", table), {}, true);
    ASSERT_TRUE(read.succeeded);
    EXPECT_FALSE(hasLine(read.console, "5 : "));
    EXPECT_TRUE(hasLine(read.console, "Number of Bits in Header: 416"));
    EXPECT_EQ(xsOf(read.points), std::vector<double>{1});
}

TEST_F(trackFiles, dbfEleventhNameByteIsPartOfTheName) {
    const std::vector<dbfColumn> columns = {{"LONGITUDE_X", 5}, {"LATITUDE_YY", 5}, {"TOPO", 5}};
    const trackRead read = readTrackFile(write("t.dbf", dbfTable(columns, {{{"1", "2", "3"}}})), {}, true);
    EXPECT_TRUE(hasLine(read.console, "1 : longitude_x"));
    EXPECT_TRUE(hasLine(read.console, "2 : latitude_yy"));
    EXPECT_EQ(read.points.size(), 1u);
}

TEST_F(trackFiles, dbfDamagedHeadersFailWithOneClearLine) {
    std::string tooShortLength = dbfTable(plainColumns, {});
    tooShortLength.replace(8, 2, littleEndian16(20));
    std::string pastTheEnd = dbfTable(plainColumns, {});
    pastTheEnd.replace(8, 2, littleEndian16(65535));
    std::string descriptorPastHeader = dbfTable(plainColumns, {});
    descriptorPastHeader.replace(8, 2, littleEndian16(50));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "Error: The .dbf header is damaged: the file is too short to hold a header"},
        {std::string(12, '\x03'), "Error: The .dbf header is damaged: the file is too short to hold a header"},
        {tooShortLength, "Error: The .dbf header is damaged: its length of 20 bytes is too short for a table header"},
        {pastTheEnd, "Error: The .dbf header is damaged: its length of 65535 bytes runs past the end of the file"},
        {descriptorPastHeader, "Error: The .dbf header is damaged: field descriptor 1 runs past the end of the header"},
    };
    for (const auto& [bytes, message] : cases) {
        const trackRead read = readTrackFile(write("t.dbf", bytes));
        EXPECT_FALSE(read.succeeded);
        EXPECT_EQ(read.console, message + "\n");
    }
}

TEST_F(trackFiles, dbfFieldsLongerThanTheFileGiveNoRecord) {
    std::vector<dbfColumn> columns = plainColumns;
    columns.push_back({"NOTE", 255, 'C'});
    columns.push_back({"MORE", 255, 'C'});
    std::string table = dbfHeader(columns, 1) + dbfRecords(plainColumns, {{{"1", "2", "3", "4"}}});
    const trackRead read = readTrackFile(write("t.dbf", table), {}, true);
    EXPECT_TRUE(read.succeeded);
    EXPECT_TRUE(read.points.empty());
    EXPECT_TRUE(hasLine(read.console, "Number of Trimmed Coordinates: 0"));
}

TEST_F(trackFiles, dbfSurvivesArbitraryBytes) {
    const std::string sound = dbfTable(plainColumns, {{{"1", "2", "3", "4"}}, {{"5", "6", "7", "8"}}});
    std::uint32_t state = 12345u;
    const auto nextRandom = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int round = 0; round < 300; ++round) {
        std::string bytes = sound;
        const int changes = 1 + int(nextRandom() % 8);
        for (int i = 0; i < changes; ++i) bytes[nextRandom() % bytes.size()] = static_cast<char>(nextRandom() & 0xFF);
        bytes.resize(nextRandom() % (bytes.size() + 1));
        const trackRead read = readTrackFile(write("t.dbf", bytes), {pointFilter(pointFilter::equalTo, "orbit", 4)}, true);
        for (const molaPoint& point : read.points) {
            EXPECT_TRUE(std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.elevation));
            EXPECT_GE(point.trackIndex, 0);
            EXPECT_LT(std::size_t(point.trackIndex), read.orbits.size());
        }
    }
}

// ---------------------------------------------------------------- small real files

std::string trackData(const std::string& name) { return testing::testDataDir() + "/tracks/" + name; }

TEST(realTrackFiles, mercuryShotsWithSatellitePositionColumns) {
    const trackRead read = readTrackFile(trackData("MLARDR_1N2N_95E96E_20170914T181150776_pts_csv.csv"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{
                  "Warning: Found 2 or more occurances of \"lon\" in the csv header, column 1 will be used",
                  "Warning: Found 2 or more occurances of \"lat\" in the csv header, column 2 will be used",
                  "Warning: Couldnt't find a column with the keyword \"orbit\", orbit statistics will be incorrect",
                  "Longitude Column: 1", "Latitude Column: 2", "Topology Column: 3"}));
    ASSERT_EQ(read.points.size(), 9u);
    EXPECT_DOUBLE_EQ(read.points[0].x, 95.35781);
    EXPECT_DOUBLE_EQ(read.points[0].y, 1.97582);
    EXPECT_DOUBLE_EQ(read.points[0].elevation, 1.3165);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{0});
}

TEST(realTrackFiles, mercuryShotsFilteredByOffNadirAngle) {
    std::vector<pointFilter> filters{pointFilter(pointFilter::greaterThan, "offnad", 0.2)};
    const trackRead read = readTrackFile(trackData("MLARDR_1N2N_95E96E_20170914T181150776_pts_csv.csv"), filters);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.filters[0].column, 19);
    EXPECT_EQ(std::size_t(read.filters[0].removedCount) + read.points.size(), 9u);
}

TEST(realTrackFiles, tablesWithoutCoordinatesFailAfterTheirWarnings) {
    const std::string noCoordinates =
        "Warning: Couldnt't find a column with the keyword \"orbit\", orbit statistics will be incorrect\n"
        "Error: Could not find a column with the keyword \"lon\"\n";
    const trackRead people = readTrackFile(trackData("people.dbf"), {}, true);
    EXPECT_FALSE(people.succeeded);
    EXPECT_EQ(people.console,
              "Begin Reading .dbf\nNumber of Bits in Header: 89\n1 : name\n2 : birthdate\n" + noCoordinates);
    const trackRead memo = readTrackFile(trackData("memotest.dbf"), {}, true);
    EXPECT_FALSE(memo.succeeded);
    EXPECT_EQ(memo.console,
              "Begin Reading .dbf\nNumber of Bits in Header: 384\n1 : name\n2 : birthdate\n3 : memo\n" + noCoordinates);
    const trackRead stray = readTrackFile(trackData("corrupt_too_long.dbf"));
    EXPECT_FALSE(stray.succeeded);
    EXPECT_EQ(stray.console, noCoordinates);
    std::vector<pointFilter> filters{pointFilter(pointFilter::greaterThan, "my_int", 1.0),
                                     pointFilter(pointFilter::equalTo, "depth", 1.0)};
    const trackRead nulls = readTrackFile(trackData("NullTest.dbf"), filters);
    EXPECT_FALSE(nulls.succeeded);
    EXPECT_EQ(nulls.console, "Warning: Could not find depth\n" + noCoordinates);
    EXPECT_EQ(nulls.filters[0].column, 2);
}

TEST(realTrackFiles, blankAndOverflowNumericFieldsAreWarnedAbout) {
    // The real table with four fields renamed, so that its records are read:
    // a blank text field as the orbit, two numeric fields filled with * in
    // two of its records as latitude and elevation.
    std::string bytes = testing::readTextFile(trackData("NullTest.dbf"));
    ASSERT_EQ(bytes.size(), 550u);
    bytes.replace(32, 3, "lon");       // id
    bytes.replace(64, 7, "ORBIT_T");   // MY_TEXT
    bytes.replace(96, 6, "LAT_IN");    // MY_INT
    bytes.replace(128, 7, "TOPO_RE");  // MY_REAL
    scratchFolder folder("nullTest");
    const std::string path = folder.file("t.dbf");
    writeTextFile(path, bytes);
    const trackRead read = readTrackFile(path, {}, true);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(linesOf(read.console),
              (std::vector<std::string>{"Begin Reading .dbf", "Number of Bits in Header: 185", "1 : lon",
                                        "2 : orbit_t", "3 : lat_in", "4 : topo_re", "5 : my_date",
                                        "Warning: Couldn't convert the orbit value in row 1 and column 2",
                                        "Warning: Couldn't convert the Latitude Value in row 1 and column 3",
                                        "Warning: Couldn't convert the Topography Value in row 1 and column 4",
                                        "Warning: Couldn't convert the orbit value in row 2 and column 2",
                                        "Warning: Couldn't convert the orbit value in row 3 and column 2",
                                        "Warning: Couldn't convert the Latitude Value in row 3 and column 3",
                                        "Warning: Couldn't convert the Topography Value in row 3 and column 4",
                                        "Number of Trimmed Coordinates: 2", "Total Number of Coordinates: 1",
                                        "Done Reading .dbf"}));
    ASSERT_EQ(read.points.size(), 1u);
    EXPECT_DOUBLE_EQ(read.points[0].x, 2.0);
    EXPECT_DOUBLE_EQ(read.points[0].y, 42.0);
    EXPECT_DOUBLE_EQ(read.points[0].elevation, 123.45);
    EXPECT_EQ(read.orbits, std::vector<std::int32_t>{0});
}

// ---------------------------------------------------------------- large real files

std::string sharedFile(const std::string& name) { return testing::sharedDataDir() + "/" + name; }

const std::string pedrCsv = "socet_gxp_dev/MolaPEDR_24N25N_341E342E_20170817T105455046_pts_csv.csv";
const std::string pedrDbf = "socet_gxp_dev/MolaPEDR_24N25N_341E342E_Z.dbf";

bool rasterGeometry(const std::string& path, alignmentModel& model) {
    GDALAllRegister();
    GDALDataset* dataset = static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly));
    if (dataset == nullptr) return false;
    std::array<double, 6> transform{};
    dataset->GetGeoTransform(transform.data());
    model.raster.width = std::uint32_t(dataset->GetRasterXSize());
    model.raster.height = std::uint32_t(dataset->GetRasterYSize());
    model.raster.transform = transform;
    model.raster.loaded = true;
    GDALClose(dataset);
    return true;
}

TEST(realTrackFiles, shotTableAsTextAndAsDbaseGiveTheSamePoints) {
    if (!testing::fileExists(sharedFile(pedrCsv)) || !testing::fileExists(sharedFile(pedrDbf)))
        GTEST_SKIP() << "shared real data not present";
    const trackRead text = readTrackFile(sharedFile(pedrCsv));
    const trackRead table = readTrackFile(sharedFile(pedrDbf));
    ASSERT_TRUE(text.succeeded);
    ASSERT_TRUE(table.succeeded);
    EXPECT_EQ(text.console, "Longitude Column: 1\nLatitude Column: 2\nTopology Column: 3\n");
    EXPECT_EQ(table.console, "");
    ASSERT_EQ(text.points.size(), 12009u);
    ASSERT_EQ(table.points.size(), 12009u);
    EXPECT_EQ(text.orbits.size(), 55u);
    EXPECT_EQ(text.orbits, table.orbits);
    for (std::size_t i = 0; i < text.points.size(); ++i) {
        const molaPoint& a = text.points[i];
        const molaPoint& b = table.points[i];
        ASSERT_NEAR(a.x - 360.0, b.x, 1e-5) << i;
        ASSERT_NEAR(a.y, b.y, 1e-5) << i;
        ASSERT_NEAR(a.elevation, b.elevation, 0.006) << i;
        ASSERT_EQ(a.trackIndex, b.trackIndex) << i;
    }
}

TEST(realTrackFiles, boundedReadsKeepTheShotsForBothLongitudeConventions) {
    for (const std::string rasterName :
         {"derived/Mawrth_Vallis_mola_lonlat180_float32.tif", "derived/Mawrth_Vallis_mola_lonlat360_float32.tif"}) {
        for (const std::string& tracks : {pedrCsv, pedrDbf}) {
            alignmentModel model;
            if (!testing::fileExists(sharedFile(tracks)) || !rasterGeometry(sharedFile(rasterName), model))
                GTEST_SKIP() << "shared real data not present";
            const double margin = std::max(mapWidth(model.raster), mapHeight(model.raster)) / 2.0;
            std::vector<pointFilter> filters;
            consoleCapture capture;
            ASSERT_TRUE(model.readTracksInBox(sharedFile(tracks), filters, margin)) << rasterName << " " << tracks;
            EXPECT_EQ(model.molaPoints.size(), 12009u) << rasterName << " " << tracks;
            EXPECT_EQ(model.orbits.size(), 55u);
            const mapBox box = boxAround(model.raster, margin);
            for (const molaPoint& point : model.molaPoints) ASSERT_TRUE(box.contains(point.x, point.y));
        }
    }
}

}  // namespace
}  // namespace kalvex
