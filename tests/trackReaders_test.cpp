#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
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
using filterList = std::vector<pointFilter>;
using orbitList = std::vector<std::int32_t>;

struct trackRead {
    bool succeeded = false;
    std::string console;
    std::vector<molaPoint> points;
    orbitList orbits;
    filterList filters;
};

trackRead readTrackFile(const std::string& path, const filterList& filters = {}, bool verbose = false,
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

bool hasLine(const std::string& console, const std::string& line) {
    return ("\n" + console).find("\n" + line + "\n") != std::string::npos;
}

std::vector<double> xsOf(const std::vector<molaPoint>& points) {
    std::vector<double> xs;
    for (const molaPoint& point : points) xs.push_back(point.x);
    return xs;
}

// Every point as "x y elevation #track", exact to the last bit (shortest round trip).
std::string pointsOf(const std::vector<molaPoint>& points) {
    std::string text;
    for (const molaPoint& point : points) {
        for (double value : {point.x, point.y, point.elevation}) {
            char buffer[32];
            text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr).push_back(' ');
        }
        text += "#" + std::to_string(point.trackIndex) + (&point == &points.back() ? "" : " | ");
    }
    return text;
}

const std::string csvColumns = "Longitude Column: 1\nLatitude Column: 2\nTopology Column: 3\n";
const std::string noOrbit =
    "Warning: Couldnt't find a column with the keyword \"orbit\", orbit statistics will be incorrect\n";
const std::string noLongitude = noOrbit + "Error: Could not find a column with the keyword \"lon\"\n";
const std::string dropped = "Warning: Couldnt find either the latitude, longitude, or topology value in row ";
std::string tally(int trimmed, int total) {
    return "Number of Trimmed Coordinates: " + std::to_string(trimmed) + "\nTotal Number of Coordinates: " +
           std::to_string(total) + "\n";
}
std::string duplicate(const std::string& key, const std::string& kind, int column) {
    return "Warning: Found 2 or more occurances of " + key + " in the " + kind + " header, column " +
           std::to_string(column) + " will be used\n";
}

// A dBASE III table built byte by byte; values are right-aligned in their fields.
struct dbfColumn { std::string name; int length = 10; char type = 'N'; };
struct dbfRecord { std::vector<std::string> values; bool deleted = false; };

std::string littleEndian16(unsigned value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string dbfHeader(const std::vector<dbfColumn>& columns, std::size_t recordCount) {
    unsigned recordLength = 1;
    for (const dbfColumn& column : columns) recordLength += unsigned(column.length);
    std::string header(32, '\0');
    header[0] = 0x03;
    header[4] = static_cast<char>(recordCount & 0xFF);
    header.replace(8, 2, littleEndian16(unsigned(32 + 32 * columns.size() + 1)));
    header.replace(10, 2, littleEndian16(recordLength));
    for (const dbfColumn& column : columns) {
        std::string descriptor(32, '\0');
        descriptor.replace(0, std::min<std::size_t>(column.name.size(), 11), column.name.substr(0, 11));
        descriptor[11] = column.type;
        descriptor[16] = static_cast<char>(column.length);
        header += descriptor;
    }
    return header + '\x0D';
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

std::string dbfTable(const std::vector<dbfColumn>& columns, const std::vector<dbfRecord>& records) {
    return dbfHeader(columns, records.size()) + dbfRecords(columns, records) + "\x1A";
}

const std::vector<dbfColumn> plainColumns = {{"LON", 12}, {"LAT", 12}, {"TOPOGRAPHY", 12}, {"ORBIT", 8}};
const std::string plainLayout =
    "Begin Reading .dbf\nNumber of Bits in Header: 153\n1 : lon\n2 : lat\n3 : topography\n4 : orbit\n";

TEST(trackReaderFactory, picksTheReaderByTheCaseSensitiveEndingAndReadersRefuseOthers) {
    EXPECT_NE(dynamic_cast<csvReader*>(makeTrackReader("a/b.c/tracks.csv").get()), nullptr);
    EXPECT_NE(dynamic_cast<tabReader*>(makeTrackReader("tracks.tab").get()), nullptr);
    EXPECT_NE(dynamic_cast<dbfReader*>(makeTrackReader(".dbf").get()), nullptr);
    for (const char* name : {"tracks.CSV", "tracks.gpf", "csv", ""}) EXPECT_EQ(makeTrackReader(name), nullptr) << name;
    consoleCapture capture;
    EXPECT_FALSE(csvReader("tracks.txt").read());
    EXPECT_FALSE(tabReader("ab").read());
    EXPECT_FALSE(dbfReader("tracks.DBF").read());
    EXPECT_FALSE(csvReader("").read());
    EXPECT_EQ(capture.text(),
              "Can only read .csv file not .txt\nCan only read .tab file not ab\nCan only read .dbf file not .DBF\n");
}

class trackFiles : public ::testing::Test {
protected:
    scratchFolder folder{"trackReaders"};
    std::string write(const std::string& name, const std::string& text) {
        writeTextFile(folder.file(name), text);
        return folder.file(name);
    }
};

TEST_F(trackFiles, keywordsFindTheColumnsWhateverTheirCaseOrderOrRepetition) {
    const trackRead read = readTrackFile(write("t.csv", "Lat,Lon,Topography,Orbit\n24.5,10.25,-1200,7\n"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.console, "Longitude Column: 2\nLatitude Column: 1\nTopology Column: 3\n");
    EXPECT_EQ(pointsOf(read.points), "10.25 24.5 -1200 #0");
    EXPECT_EQ(read.orbits, orbitList{7});
    for (const std::string name : {"TOPO", "Elevation", "altitude_km"})
        EXPECT_EQ(readTrackFile(write("t.csv", "lon,lat," + name + "\n1,2,3\n")).points.size(), 1u) << name;

    const trackRead many = readTrackFile(
        write("t.csv", "lon,lat,topo,orbit,chn,sat_lon,elev,orbit2,chn2,sat_lat\n1,2,3,4,5,6,7,8,9,10\n"),
        {pointFilter(pointFilter::equalTo, "chn", 9.0)});
    ASSERT_TRUE(many.succeeded);
    EXPECT_EQ(many.console, duplicate("\"lon\"", "csv", 1) + duplicate("\"topo\", \"elev\" or \"altitude\"", "csv", 3) +
                                duplicate("\"orbit\"", "csv", 4) + duplicate("\"chn\"", "csv", 5) +
                                duplicate("\"lat\"", "csv", 2) + csvColumns);
    EXPECT_EQ(many.filters[0].column, 4);
    EXPECT_EQ(many.orbits, orbitList{4});

    // An areocentric latitude wins over a plain one wherever it stands; warnings name the header kind.
    const std::vector<dbfColumn> columns = {{"LON", 5}, {"LAT", 5}, {"ELEV", 5}, {"SAT_LON", 5}, {"AREOD_LAT", 5}};
    const std::vector<std::array<std::string, 3>> rows = {
        {"t.csv", "lon,lat,elev,areod_lat\n1,2,3,5\n", duplicate("\"lat\"", "csv", 4) + noOrbit},
        {"t.csv", "areod_lat,lon,lat,elev\n5,1,2,3\n", duplicate("\"lat\"", "csv", 1) + noOrbit},
        {"t.tab", "lon lat topo sat_lon\n1 5 3 4\n", duplicate("\"lon\"", "tab", 1) + noOrbit},
        {"t.dbf", dbfTable(columns, {{{"1", "2", "3", "4", "5"}}}),
         duplicate("\"lon\"", "dbf", 1) + duplicate("\"lat\"", "dbf", 5) + noOrbit},
    };
    for (const auto& [name, bytes, expected] : rows) {
        const trackRead read = readTrackFile(write(name, bytes));
        EXPECT_EQ(read.console.substr(0, expected.size()), expected) << bytes;
        EXPECT_EQ(pointsOf(read.points), "1 5 3 #0") << bytes;
    }
}

TEST_F(trackFiles, missingSharedOrAbsentColumnsFailWithTheirMessages) {
    EXPECT_EQ(readTrackFile(write("a.csv", "lat,topo\n"), {pointFilter(pointFilter::greaterThan, "offnad", 5.0),
                                                           pointFilter(pointFilter::equalTo, "orbit", 3.0)})
                  .console,
              "Warning: Could not find offnad\nWarning: Could not find orbit\n" + noLongitude);
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"lonlat,topo,orbit\n1,2,3\n", "Error: The same column included at least 2 of the keywords: \"topo\", \"lon\" "
                                       "or \"lat\", one column should only contain one of these keywords\n"},
        {"lon,topo,orbit\n", "Error: Could not find a column with the keyword \"lat\"\n"},
        {"lon,lat,orbit\n", "Error: Could not find a column with the keyword \"topo\", \"elev\" or \"altitude\"\n"},
        {"", noLongitude},
    };
    for (const auto& [text, expected] : rows) {
        const trackRead read = readTrackFile(write("t.csv", text));
        EXPECT_FALSE(read.succeeded) << text;
        EXPECT_EQ(read.console, expected) << text;
    }
    EXPECT_EQ(readTrackFile(write("empty.tab", "")).console, noLongitude);
}

TEST_F(trackFiles, csvFieldsConvertFromTheirLeadingNumberAndRefuseEmptyNonFiniteOrOutOfRangeValues) {
    const trackRead read = readTrackFile(
        write("t.csv", "lon,lat,topo,orbit\n10.5,,-1200,7\nabc,1,2,7\n1,2,nan,7\n1,2,inf,7\n1,2,3,a12\n"));
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.console,
              csvColumns + "Error: Couldn't convert the Latitude Value  in row 2 and column 2\n" + dropped + "2\n" +
                  "Warning: Couldn't convert the Longitude Value abc in row 3 and column 1\n" + dropped + "3\n" +
                  "Error: Couldn't convert the Topology Value nan in row 4 and column 3\n" + dropped + "4\n" +
                  "Error: Couldn't convert the Topology Value inf in row 5 and column 3\n" + dropped + "5\n" +
                  "Error: Couldn't convert the Orbit Value in row 6 and column 4\n");
    EXPECT_EQ(pointsOf(read.points), "1 2 3 #0");
    EXPECT_EQ(read.orbits, orbitList{0});

    const trackRead leading = readTrackFile(
        write("t.csv", "lon,lat,topo,orbit\n 45.25 ,\t-3.5e1,12.5 m,12a\n1,2,3,99999999999\n1,2,3,-2147483648\n"));
    EXPECT_EQ(pointsOf(leading.points), "45.25 -35 12.5 #0 | 1 2 3 #1 | 1 2 3 #2");
    EXPECT_EQ(leading.console, csvColumns + "Error: Couldn't convert the Orbit Value in row 3 and column 4\n");
    EXPECT_EQ(leading.orbits, (orbitList{12, 0, -2147483647 - 1}));
}

TEST_F(trackFiles, csvFilterStopsTheRowAtTheFirstTestThatHoldsAndSeesTheOrbit) {
    const trackRead read = readTrackFile(
        write("t.csv", "offnad,sol,lon,lat,topo,orbit\n9,0,bad,1,2,3\n1,50,1,1,2,3\nx,y,1,1,2,4\n1,5,1,1,2,5\n"
                       "1,50,1,1,2,6\n"),
        {pointFilter(pointFilter::greaterThan, "offnad", 5.0), pointFilter(pointFilter::equalTo, "offnad", 9.0),
         pointFilter(pointFilter::lessThan, "sol", 10.0), pointFilter(pointFilter::equalTo, "orbit", 6.0)},
        true);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.console, "Start Reading .csv\nLongitude Column: 3\nLatitude Column: 4\nTopology Column: 5\n"
                            "Warning: Couldn't convert the filter value offnad in row 4 and column 1\n"
                            "Warning: Couldn't convert the filter value offnad in row 4 and column 1\n"
                            "Warning: Couldn't convert the filter value sol in row 4 and column 2\n" +
                                tally(3, 2) + "Done Reading .csv\n");
    std::vector<int> removed;
    for (const pointFilter& filter : read.filters) removed.push_back(filter.removedCount);
    EXPECT_EQ(removed, (std::vector<int>{1, 0, 1, 1}));
    EXPECT_EQ(read.orbits, (orbitList{3, 4}));
}

TEST_F(trackFiles, lineEndsBlankRowsLongLinesAndSecondReads) {
    for (const std::string& path : {write("lf.csv", "lon,lat,topo,orbit\n1,2,3,4\n5,6,7,8\n"),
                                    write("crlf.csv", "lon,lat,topo,orbit\r\n1,2,3,4\r\n5,6,7,8\r\n"),
                                    write("unended.csv", "lon,lat,topo,orbit\r\n1,2,3,4\r\n5,6,7,8"),
                                    write("t.tab", "lon lat topo orbit\r\n1 2 3 4\r\n5\t6  7 8")}) {
        const trackRead read = readTrackFile(path);
        EXPECT_TRUE(read.succeeded) << path;
        EXPECT_EQ(read.orbits, (orbitList{4, 8})) << path;
        EXPECT_EQ(pointsOf(read.points), "1 2 3 #0 | 5 6 7 #1") << path;
        EXPECT_EQ(read.console.find("Couldnt find"), std::string::npos) << read.console;
    }
    // Blank rows are reported except after the final line end; without an orbit column all is track 0.
    const trackRead blank = readTrackFile(write("t.csv", "lon,lat,topo\n1,2,3\n\n4,5,6\n1,,3"));
    EXPECT_EQ(blank.console,
              noOrbit + csvColumns + "Warning: Couldn't convert the Longitude Value  in row 3 and column 1\n" +
                  dropped + "3\nError: Couldn't convert the Latitude Value  in row 5 and column 2\n" + dropped + "5\n");
    EXPECT_EQ(pointsOf(blank.points), "1 2 3 #0 | 4 5 6 #0");
    EXPECT_EQ(blank.orbits, orbitList{0});
    const trackRead wide = readTrackFile(write("t.csv", "note,lon,lat,topo\n" + std::string(300000, 'p') + ",1,2,3\n"));
    EXPECT_EQ(pointsOf(wide.points), "1 2 3 #0");

    csvReader reader(write("t.csv", "lon,lat,topo\n1,2,3\n"));
    consoleCapture capture;
    ASSERT_TRUE(reader.read());
    writeTextFile(reader.fileName, "lon,lat,topo\n1,2,3\n4,5,6\n");
    EXPECT_TRUE(reader.read());
    EXPECT_EQ(reader.getPoints().size(), 1u);
}

TEST_F(trackFiles, tabReportsFieldsOnlyInVerboseModeAndUnreadableKeysDoNotShiftLaterFields) {
    const std::string path = write("t.tab", "  lon\tlat   topo orbit\nabc 2 3 4\n1 x 3 4\n1 2 nan 4\n1 2\n1 2 3 q\n");
    const std::string badOrbit = "Error: Couldn't convert the Orbit Value in row 6 and column 4\n";
    EXPECT_EQ(readTrackFile(path).console,
              dropped + "2\n" + dropped + "3\n" + dropped + "4\n" + dropped + "5\n" + badOrbit);
    const trackRead verbose = readTrackFile(path, {}, true);
    EXPECT_EQ(verbose.console, csvColumns + "Error: Couldn't convert the Longitude Value in row 2 and column 1\n" +
                                   dropped + "2\nError: Couldn't convert the Latitude Value in row 3 and column 2\n" +
                                   dropped + "3\nError: Couldn't convert the Topology Value in row 4 and column 3\n" +
                                   dropped + "4\n" + dropped + "5\n" + badOrbit +
                                   tally(0, 1));
    EXPECT_EQ(verbose.orbits, orbitList{0});

    const trackRead shifted = readTrackFile(
        write("t.tab", "topo lon lat orbit chn\nn/a 10 20 7 1\n-1.5e+x 10 20 8 2\n-100 10 20 9 1\n"),
        {pointFilter(pointFilter::equalTo, "orbit", 7.0), pointFilter(pointFilter::greaterThan, "chn", 1.0)});
    ASSERT_TRUE(shifted.succeeded);
    EXPECT_EQ(shifted.console.find("Orbit Value"), std::string::npos) << shifted.console;
    EXPECT_EQ(shifted.filters[0].removedCount, 1);
    EXPECT_EQ(shifted.filters[1].removedCount, 1);
    EXPECT_EQ(pointsOf(shifted.points), "10 20 -100 #0");
    EXPECT_EQ(shifted.orbits, orbitList{9});
}

// Exports of the same table: quoted fields, a byte-order mark, a tab-separated
// row with an empty cell (not used, where the orbit would become the elevation).
TEST_F(trackFiles, quotedFieldsByteOrderMarksAndEmptyTabCells) {
    const struct {
        const char* name;
        std::string text;
        std::string console;
    } cases[] = {
        {"quoted.csv", "\"LON\",\"LAT\",\"TOPO\",\"ORBIT\"\n\"12\",\"15\",\"100\",\"7\"\n", csvColumns},
        {"comma.csv", "\"lon\",lat,\"topo \"\"m\"\"\",orbit,\"a, b\"\n12,\"15\",100,7, \"q,\"\n",
         "Longitude Column: 1\nLatitude Column: 2\nTopology Column: 3\n"},
        {"marked.csv", "\xEF\xBB\xBFlon,lat,topo,orbit\n12,15,100,7\n", csvColumns},
        {"marked.tab", "\xEF\xBB\xBF lon lat topo orbit\n12 15 100 7\n", ""},
        {"empty.tab", "lon\tlat\ttopo\torbit\trange\n12\t15\t\t7\t400000\n12\t15\t100\t7\t\t\n", dropped + "2\n"},
    };
    for (const auto& example : cases) {
        const trackRead read = readTrackFile(write(example.name, example.text));
        EXPECT_EQ(pointsOf(read.points), "12 15 100 #0") << example.name;
        EXPECT_EQ(read.orbits, orbitList{7}) << example.name;
        EXPECT_EQ(read.console, example.console) << example.name;
    }
}

TEST_F(trackFiles, aFileThatCannotBeOpenedIsNamed) {
    for (const char* name : {"missing.csv", "missing.tab", "missing.dbf", "missing.gpf", "missing.rep"}) {
        const std::string path = folder.file(name);
        consoleCapture capture;
        std::unique_ptr<fileReader> reader = makeTrackReader(path);
        if (!reader) reader = makeTiePointReader(path);
        ASSERT_TRUE(reader) << name;
        EXPECT_FALSE(reader->read()) << name;
        EXPECT_EQ(capture.text(), "Error: Could not open " + path + "\n");
    }
}

TEST_F(trackFiles, orbitsAreNumberedInTheOrderTheyFirstOccur) {
    const trackRead read =
        readTrackFile(write("t.csv", "lon,lat,topo,orbit\n1,1,1,700\n1,1,1,300\n1,,1,999\n1,1,1,700\n1,1,1,500\n"));
    EXPECT_EQ(read.orbits, (orbitList{700, 300, 500}));
    EXPECT_EQ(pointsOf(read.points), "1 1 1 #0 | 1 1 1 #1 | 1 1 1 #0 | 1 1 1 #2");
}

TEST_F(trackFiles, boundedReadWrapsOnceAndDropsPointsOutsideSilently) {
    const std::string path = write("t.csv", "lon,lat,topo,orbit\n350,10,1,1\n-10,190,1,2\n100,10,1,3\n-10,10,1,4\n");
    EXPECT_EQ(xsOf(readTrackFile(path).points), (std::vector<double>{350, -10, 100, -10}));
    const trackRead bounded = readTrackFile(path, {pointFilter(pointFilter::equalTo, "orbit", 4.0)}, true,
                                            std::make_pair(-20.0, 20.0), std::make_pair(-175.0, 20.0));
    EXPECT_EQ(pointsOf(bounded.points), "-10 10 1 #0 | -10 -170 1 #1");
    EXPECT_EQ(bounded.orbits, (orbitList{1, 2}));
    EXPECT_EQ(bounded.filters[0].removedCount, 1);
    EXPECT_TRUE(hasLine(bounded.console, "Number of Trimmed Coordinates: 1"));

    // A box of a 0..360 raster keeps its points; one the wrap already puts in the box stays
    // there; a box west of -180 takes the point one turn to the west.
    const std::string east = write("e.csv", "lon,lat,topo\n341.5,24,1\n-18.5,24,2\n200,24,3\n10,24,4\n");
    const std::vector<std::pair<std::pair<double, double>, std::vector<double>>> boxes = {
        {{340.0, 342.0}, {341.5, 341.5}},
        {{-200.0, 400.0}, {-18.5, -18.5, -160, 10}},
        {{-380.0, -370.0}, {-378.5, -378.5}}};
    for (const auto& [lonRange, xs] : boxes)
        EXPECT_EQ(xsOf(readTrackFile(east, {}, false, lonRange, std::make_pair(23.0, 25.0)).points), xs)
            << lonRange.first;
}

alignmentModel modelWithRaster(std::uint32_t width, std::uint32_t height, const geoTransform& transform) {
    alignmentModel model;
    model.raster.width = width;
    model.raster.height = height;
    model.raster.transform = transform;
    model.raster.loaded = true;
    return model;
}

TEST_F(trackFiles, modelReadsHandOverPointsOrbitsWeightsAndCountsOrFailWithoutPoints) {
    alignmentModel model = modelWithRaster(11, 11, {100.0, 1.0, 0.0, 50.0, 0.0, -1.0});
    model.debug = true;
    filterList filters{pointFilter(pointFilter::equalTo, "chn", 3.0), pointFilter(pointFilter::equalTo, "orbit", 99.0)};
    const std::string path = write(
        "t.csv", "lon,lat,topo,orbit,chn\n100,50,1,5,1\n111,39,1,6,1\n112.5,40,1,7,1\n105,45,1,8,3\n105,45,1,5,1\n");
    consoleCapture capture;
    ASSERT_TRUE(model.readTracksInBox(path, filters, 1.0));
    EXPECT_EQ(model.molaPoints.size(), 3u);
    EXPECT_EQ(model.orbits, (orbitList{5, 6}));
    EXPECT_EQ(model.trackWeights, (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(filters[0].removedCount, 1);
    EXPECT_EQ(filters[1].removedCount, 0);
    EXPECT_FALSE(model.notReady);
    EXPECT_TRUE(hasLine(capture.text(), "Number of Mola: 3"));
    EXPECT_TRUE(hasLine(capture.text(), "Start Reading .csv"));

    alignmentModel empty;
    empty.orbits = {1, 2};
    filters.clear();
    const std::size_t before = capture.text().size();
    EXPECT_FALSE(empty.readTracks(write("t.CSV", "lon,lat,topo\n1,2,3\n"), filters));
    EXPECT_FALSE(empty.readTracks(write("bad.csv", "lat,topo\n1,2\n"), filters));
    EXPECT_EQ(empty.orbits, (orbitList{1, 2}));
    EXPECT_FALSE(empty.readTracks(write("none.csv", "lon,lat,topo\n1,,3\n"), filters));
    EXPECT_TRUE(empty.orbits.empty());
    EXPECT_TRUE(empty.molaPoints.empty());
    EXPECT_TRUE(empty.notReady);
    ASSERT_TRUE(empty.readTracks(write("good.tab", "lon lat topo\n1 2 3\n"), filters));
    EXPECT_TRUE(empty.notReady);  // no raster yet
    EXPECT_EQ(capture.text().find("Number of Mola", before), std::string::npos);
}

TEST_F(trackFiles, boxOfARasterWhoseRowsRunNorthIsNotInverted) {
    alignmentModel model = modelWithRaster(3, 2, {0.0, 100.0, 0.0, 0.0, 0.0, 100.0});
    filterList filters;
    const std::string path = write("t.csv", "lon,lat,topo\n50,50,1\n150,99,2\n-10,120,3\n250,-5,4\n25,-15,5\n");
    consoleCapture capture;
    ASSERT_TRUE(model.readTracksInBox(path, filters, 0.0));
    EXPECT_EQ(xsOf(model.molaPoints), (std::vector<double>{50, 150}));
    alignmentModel westward = modelWithRaster(3, 2, {20.0, -10.0, 0.0, 0.0, 0.0, -10.0});
    ASSERT_TRUE(westward.readTracksInBox(path, filters, 10.0));
    EXPECT_EQ(xsOf(westward.molaPoints), (std::vector<double>{25}));
}

// A raster counting longitudes 0 to 360 over more than half a turn keeps each
// shot on the turn that lies on it, where a single wrap would leave it off.
TEST_F(trackFiles, shotsTakeTheTurnOfARasterSpanningMoreThanHalfATurn) {
    const std::string path = write("t.csv", "lon,lat,topo\n200,0,1\n250.25,0,2\n90,0,3\n-170,0,4\n");
    const struct {
        geoTransform transform;
        std::vector<double> xs;
    } rasters[] = {{{0.5, 1.0, 0.0, 80.0, 0.0, -1.0}, {200, 250.25, 90, 190}},
                   {{-179.5, 1.0, 0.0, 80.0, 0.0, -1.0}, {-160, -109.75, 90, -170}}};
    for (const auto& raster : rasters) {
        alignmentModel model = modelWithRaster(360, 161, raster.transform);
        filterList filters;
        consoleCapture capture;
        ASSERT_TRUE(model.readTracksInBox(path, filters, 180.0));
        EXPECT_EQ(xsOf(model.molaPoints), raster.xs) << raster.transform[0];
    }
}

TEST_F(trackFiles, dbfReadsUpperCaseNamesAndDropsDeletedAndIncompleteRecords) {
    const std::vector<dbfRecord> records = {{{"341.5", "24.25", "-3305.29", "10364"}},
                                            {{"-18", "24", "-3000", "10365"}}};
    const trackRead good = readTrackFile(write("t.dbf", dbfTable(plainColumns, records)), {}, true);
    ASSERT_TRUE(good.succeeded);
    EXPECT_EQ(good.console, plainLayout + tally(0, 2) + "Done Reading .dbf\n");
    EXPECT_EQ(pointsOf(good.points), "341.5 24.25 -3305.29 #0 | -18 24 -3000 #1");
    EXPECT_EQ(good.orbits, (orbitList{10364, 10365}));

    const trackRead read = readTrackFile(write("t.dbf", dbfTable(plainColumns, {{{"1", "2", "3", "4"}, true},
                                                                                 {{"1", "2", "", "5"}},
                                                                                 {{"x", "2", "3", "z"}},
                                                                                 {{"1", "2", "nan", "6"}},
                                                                                 {{"1", "2", "3", "7"}}})),
                                         {}, true);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.console, plainLayout +
                                "Warning: Couldn't convert the Topography Value in row 2 and column 3\n"
                                "Warning: Couldn't convert the Longitude Value in row 3 and column 1\n"
                                "Warning: Couldn't convert the orbit value in row 3 and column 4\n"
                                "Warning: Couldn't convert the Topography Value in row 4 and column 3\n" +
                                tally(4, 1) + "Done Reading .dbf\n");
    EXPECT_EQ(read.orbits, orbitList{7});
}

TEST_F(trackFiles, dbfSkipsLongCharacterFieldsAndTestsEveryFilter) {
    const std::vector<dbfColumn> columns = {{"UTC", 200, 'C'}, {"Longitude", 24}, {"Latitude", 24},
                                            {"Elev_m", 24},    {"CHN", 2},        {"Orbit", 9}};
    const trackRead read = readTrackFile(
        write("t.dbf", dbfTable(columns, {{{"1999-04-07T19:56:49.547", "-18.35", "25.02", "-3305.29", "3", "bad"}},
                                          {{"-5", "-18.36", "25.03", "-3306", "1", "10364"}},
                                          {{std::string(200, 'u'), "-18.37", "25.04", "-3307", "2", "10365"}}})),
        {pointFilter(pointFilter::equalTo, "chn", 3.0), pointFilter(pointFilter::greaterThan, "chn", 2.0),
         pointFilter(pointFilter::lessThan, "utc", 0.0)});
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.console, "Warning: Couldn't convert the orbit value in row 1 and column 6\n"
                            "Warning: Couldn't convert the Filter Value in row 3 and column 1\n");
    for (const pointFilter& filter : read.filters) EXPECT_EQ(filter.removedCount, 1) << filter.keyword;
    EXPECT_EQ(pointsOf(read.points), "-18.37 25.04 -3307 #0");
    EXPECT_EQ(read.orbits, orbitList{10365});
}

TEST_F(trackFiles, dbfEndMarkerTruncatedRecordPaddedHeaderAndEleventhNameByte) {
    const std::string header = dbfHeader(plainColumns, 2);
    const std::string body = header + dbfRecords(plainColumns, {{{"1", "2", "3", "4"}}, {{"5", "6", "7", "8"}}});
    // Descriptors end at the terminator even when zeros follow it inside the stated header length.
    std::string padded = body;
    padded.insert(header.size(), std::string(263, '\0'));
    padded.replace(8, 2, littleEndian16(unsigned(header.size() + 263)));
    std::string paddedLayout = plainLayout;
    paddedLayout.replace(paddedLayout.find("153"), 3, "416");
    const std::vector<std::pair<std::string, std::string>> rows = {
        {body + "\x1A", plainLayout}, {body, plainLayout}, {body + " 12345", plainLayout}, {padded, paddedLayout}};
    for (const auto& [bytes, layout] : rows) {
        const trackRead read = readTrackFile(write("t.dbf", bytes), {}, true);
        EXPECT_TRUE(read.succeeded);
        EXPECT_EQ(pointsOf(read.points), "1 2 3 #0 | 5 6 7 #1");
        EXPECT_EQ(read.console, layout + tally(0, 2) + "Done Reading .dbf\n");
    }
    const std::vector<dbfColumn> columns = {{"LONGITUDE_X", 5}, {"LATITUDE_YY", 5}, {"TOPO", 5}};
    const trackRead named = readTrackFile(write("t.dbf", dbfTable(columns, {{{"1", "2", "3"}}})), {}, true);
    EXPECT_TRUE(hasLine(named.console, "1 : longitude_x"));
    EXPECT_TRUE(hasLine(named.console, "2 : latitude_yy"));
    EXPECT_EQ(named.points.size(), 1u);
}

TEST_F(trackFiles, dbfDamagedHeadersFailWithOneClearLineAndArbitraryBytesDoNoHarm) {
    const auto withHeaderLength = [](unsigned length) {
        return dbfTable(plainColumns, {}).replace(8, 2, littleEndian16(length));
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "the file is too short to hold a header"},
        {std::string(12, '\x03'), "the file is too short to hold a header"},
        {withHeaderLength(20), "its length of 20 bytes is too short for a table header"},
        {withHeaderLength(65535), "its length of 65535 bytes runs past the end of the file"},
        {withHeaderLength(50), "field descriptor 1 runs past the end of the header"},
    };
    for (const auto& [bytes, message] : cases) {
        const trackRead read = readTrackFile(write("t.dbf", bytes));
        EXPECT_FALSE(read.succeeded);
        EXPECT_EQ(read.console, "Error: The .dbf header is damaged: " + message + "\n");
    }
    std::vector<dbfColumn> columns = plainColumns;  // fields longer than the file give no record
    columns.push_back({"NOTE", 255, 'C'});
    columns.push_back({"MORE", 255, 'C'});
    const std::string cut = dbfHeader(columns, 1) + dbfRecords(plainColumns, {{{"1", "2", "3", "4"}}});
    const trackRead longFields = readTrackFile(write("t.dbf", cut), {}, true);
    EXPECT_TRUE(longFields.succeeded);
    EXPECT_TRUE(longFields.points.empty());
    EXPECT_TRUE(hasLine(longFields.console, "Number of Trimmed Coordinates: 0"));

    const std::string sound = dbfTable(plainColumns, {{{"1", "2", "3", "4"}}, {{"5", "6", "7", "8"}}});
    std::uint32_t state = 12345u;
    const auto nextRandom = [&state]() { return (state = state * 1664525u + 1013904223u) >> 8; };
    for (int round = 0; round < 300; ++round) {
        std::string bytes = sound;
        for (int i = 1 + int(nextRandom() % 8); i > 0; --i)
            bytes[nextRandom() % bytes.size()] = static_cast<char>(nextRandom() & 0xFF);
        bytes.resize(nextRandom() % (bytes.size() + 1));
        const trackRead read =
            readTrackFile(write("t.dbf", bytes), {pointFilter(pointFilter::equalTo, "orbit", 4)}, true);
        for (const molaPoint& point : read.points) {
            EXPECT_TRUE(std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.elevation));
            EXPECT_GE(point.trackIndex, 0);
            EXPECT_LT(std::size_t(point.trackIndex), read.orbits.size());
        }
    }
}

std::string trackData(const std::string& name) { return testing::testDataDir() + "/tracks/" + name; }

TEST(realTrackFiles, mercuryShotsWithSatellitePositionColumns) {
    const std::string path = trackData("MLARDR_1N2N_95E96E_20170914T181150776_pts_csv.csv");
    const trackRead read = readTrackFile(path);
    ASSERT_TRUE(read.succeeded);
    EXPECT_EQ(read.console, duplicate("\"lon\"", "csv", 1) + duplicate("\"lat\"", "csv", 2) + noOrbit + csvColumns);
    ASSERT_EQ(read.points.size(), 9u);
    EXPECT_EQ(pointsOf({read.points[0]}), "95.35781 1.97582 1.3165 #0");
    EXPECT_EQ(read.orbits, orbitList{0});
    const trackRead filtered = readTrackFile(path, {pointFilter(pointFilter::greaterThan, "offnad", 0.2)});
    EXPECT_EQ(filtered.filters[0].column, 19);
    EXPECT_EQ(std::size_t(filtered.filters[0].removedCount) + filtered.points.size(), 9u);
}

TEST(realTrackFiles, tablesWithoutCoordinatesFailAfterTheirWarnings) {
    const trackRead people = readTrackFile(trackData("people.dbf"), {}, true);
    EXPECT_FALSE(people.succeeded);
    EXPECT_EQ(people.console,
              "Begin Reading .dbf\nNumber of Bits in Header: 89\n1 : name\n2 : birthdate\n" + noLongitude);
    const trackRead memo = readTrackFile(trackData("memotest.dbf"), {}, true);
    EXPECT_FALSE(memo.succeeded);
    EXPECT_EQ(memo.console,
              "Begin Reading .dbf\nNumber of Bits in Header: 384\n1 : name\n2 : birthdate\n3 : memo\n" + noLongitude);
    const trackRead stray = readTrackFile(trackData("corrupt_too_long.dbf"));
    EXPECT_FALSE(stray.succeeded);
    EXPECT_EQ(stray.console, noLongitude);
    const trackRead nulls = readTrackFile(
        trackData("NullTest.dbf"),
        {pointFilter(pointFilter::greaterThan, "my_int", 1.0), pointFilter(pointFilter::equalTo, "depth", 1.0)});
    EXPECT_FALSE(nulls.succeeded);
    EXPECT_EQ(nulls.console, "Warning: Could not find depth\n" + noLongitude);
    EXPECT_EQ(nulls.filters[0].column, 2);
}

TEST(realTrackFiles, blankAndOverflowNumericFieldsAreWarnedAbout) {
    // The real table with four fields renamed so that its records are read: a blank text field
    // as the orbit, two numeric fields holding * in two records as latitude and elevation.
    std::string bytes = testing::readTextFile(trackData("NullTest.dbf"));
    ASSERT_EQ(bytes.size(), 550u);
    bytes.replace(32, 3, "lon").replace(64, 7, "ORBIT_T").replace(96, 6, "LAT_IN").replace(128, 7, "TOPO_RE");
    scratchFolder folder("nullTest");
    writeTextFile(folder.file("t.dbf"), bytes);
    const trackRead read = readTrackFile(folder.file("t.dbf"), {}, true);
    ASSERT_TRUE(read.succeeded);
    const std::string orbit = "Warning: Couldn't convert the orbit value in row ";
    const std::string latitude = "Warning: Couldn't convert the Latitude Value in row ";
    const std::string topography = "Warning: Couldn't convert the Topography Value in row ";
    EXPECT_EQ(read.console, "Begin Reading .dbf\nNumber of Bits in Header: 185\n1 : lon\n2 : orbit_t\n3 : lat_in\n"
                            "4 : topo_re\n5 : my_date\n" +
                                orbit + "1 and column 2\n" + latitude + "1 and column 3\n" + topography +
                                "1 and column 4\n" + orbit + "2 and column 2\n" + orbit + "3 and column 2\n" +
                                latitude + "3 and column 3\n" + topography + "3 and column 4\n" +
                                tally(2, 1) + "Done Reading .dbf\n");
    EXPECT_EQ(pointsOf(read.points), "2 42 123.45 #0");
    EXPECT_EQ(read.orbits, orbitList{0});
}

std::string sharedFile(const std::string& name) { return testing::sharedDataDir() + "/" + name; }
const std::string pedrCsv = "socet_gxp_dev/MolaPEDR_24N25N_341E342E_20170817T105455046_pts_csv.csv";
const std::string pedrDbf = "socet_gxp_dev/MolaPEDR_24N25N_341E342E_Z.dbf";

TEST(realTrackFiles, shotTableAsTextAndAsDbaseGiveTheSamePoints) {
    if (!testing::fileExists(sharedFile(pedrCsv)) || !testing::fileExists(sharedFile(pedrDbf)))
        GTEST_SKIP() << "shared real data not present";
    const trackRead text = readTrackFile(sharedFile(pedrCsv));
    const trackRead table = readTrackFile(sharedFile(pedrDbf));
    ASSERT_TRUE(text.succeeded && table.succeeded);
    EXPECT_EQ(text.console, csvColumns);
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
    GDALAllRegister();
    for (const std::string raster : {"derived/Mawrth_Vallis_mola_lonlat180_float32.tif",
                                     "derived/Mawrth_Vallis_mola_lonlat360_float32.tif"}) {
        for (const std::string& tracks : {pedrCsv, pedrDbf}) {
            GDALDataset* dataset = static_cast<GDALDataset*>(GDALOpen(sharedFile(raster).c_str(), GA_ReadOnly));
            if (dataset == nullptr || !testing::fileExists(sharedFile(tracks))) {
                if (dataset != nullptr) GDALClose(dataset);
                GTEST_SKIP() << "shared real data not present";
            }
            geoTransform transform{};
            dataset->GetGeoTransform(transform.data());
            alignmentModel model = modelWithRaster(std::uint32_t(dataset->GetRasterXSize()),
                                                   std::uint32_t(dataset->GetRasterYSize()), transform);
            GDALClose(dataset);
            const double margin = std::max(mapWidth(model.raster), mapHeight(model.raster)) / 2.0;
            filterList filters;
            consoleCapture capture;
            ASSERT_TRUE(model.readTracksInBox(sharedFile(tracks), filters, margin)) << raster << " " << tracks;
            EXPECT_EQ(model.molaPoints.size(), 12009u) << raster << " " << tracks;
            EXPECT_EQ(model.orbits.size(), 55u);
            const mapBox box = boxAround(model.raster, margin);
            for (const molaPoint& point : model.molaPoints) ASSERT_TRUE(box.contains(point.x, point.y));
        }
    }
}

}  // namespace
}  // namespace kalvex
