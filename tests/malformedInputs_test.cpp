// End-to-end runs of kalvex on broken, hostile and absurd inputs. Each case
// names the message and the exit status it expects; every run must end
// quickly, print nothing on standard error and leave its inputs as they were.
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

// A 5 x 5 raster at x 100..104, y 50..46 whose cells follow z = 2c - r, two
// tracks inside it and two tie points: small enough that every run takes a
// fraction of a second.
const char* const goodTracks =
    "lon,lat,topo,orbit\n"
    "101.2,48.7,4.1,7\n"
    "102.5,47.5,0.5,7\n"
    "101.5,47.5,2,8\n"
    "102.2,48.2,1,8\n";

const char* const goodTies =
    "3\n"
    "point_id,stat,lat_Y_North,long_X_East,ht\n"
    "A 1 48.5 101.5 3\n"
    "B 1 47.6 102.4 2\n"
    "C 1 48.1 102.1 1\n";

std::string trackRow(const std::string& lon, const std::string& lat, const std::string& topo,
                     const std::string& orbit) {
    return lon + "," + lat + "," + topo + "," + orbit + "\n";
}

class malformedInputs : public ::testing::Test {
protected:
    malformedInputs() : folder("malformed") {
        geoTiffSpec spec;
        spec.width = 5;
        spec.height = 5;
        spec.transform = {100.0, 1.0, 0.0, 50.0, 0.0, -1.0};
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 5; ++c) spec.cells.push_back(float(2 * c - r));
        writeGeoTiff(folder.file("dem.tif"), spec);
        writeTextFile(folder.file("tracks.csv"), goodTracks);
        writeTextFile(folder.file("ties.gpf"), goodTies);
    }

    std::string write(const std::string& name, const std::string& bytes) const {
        writeTextFile(folder.file(name), bytes);
        return name;
    }

    // Runs kalvex in the scene's folder; every run, whatever its outcome,
    // keeps standard error empty and leaves every file it was given as it was.
    commandResult run(const std::vector<std::string>& arguments) const {
        std::map<std::string, std::string> before;
        for (const std::string& argument : arguments)
            if (std::filesystem::is_regular_file(folder.file(argument)))
                before[argument] = readTextFile(folder.file(argument));
        std::vector<std::string> command{kalvexPath()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const commandResult result = runProgram(command, folder.path());
        EXPECT_EQ(result.standardError, "");
        for (const auto& [name, bytes] : before)
            EXPECT_TRUE(readTextFile(folder.file(name)) == bytes) << name << " was changed by the run";
        return result;
    }

    scratchFolder folder;
};

bool hasLine(const std::string& console, const std::string& line) {
    return ("\n" + console).find("\n" + line + "\n") != std::string::npos;
}

std::string lastLine(const std::string& console) {
    if (console.empty()) return "";
    const std::size_t end = console.back() == '\n' ? console.size() - 1 : console.size();
    const std::size_t start = console.rfind('\n', end == 0 ? 0 : end - 1);
    return console.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
}

// The same bytes on every run: a linear congruential sequence.
std::string garbage(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// A raster of any type, band count and georeference, for the refusals.
void writeRaster(const std::string& path, GDALDataType type, int bands, bool georeferenced) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) throw std::runtime_error("no GTiff driver");
    GDALDataset* dataset = driver->Create(path.c_str(), 5, 5, bands, type, nullptr);
    if (dataset == nullptr) throw std::runtime_error("cannot create " + path);
    if (georeferenced) {
        double transform[6] = {100.0, 1.0, 0.0, 50.0, 0.0, -1.0};
        dataset->SetGeoTransform(transform);
    }
    std::vector<double> cells(25);
    for (int band = 1; band <= bands; ++band) {
        for (int i = 0; i < 25; ++i) cells[std::size_t(i)] = band == 1 ? 2 * (i % 5) - i / 5 : 9999.0;
        if (dataset->GetRasterBand(band)->RasterIO(GF_Write, 0, 0, 5, 5, cells.data(), 5, 5, GDT_Float64, 0, 0) !=
            CE_None)
            throw std::runtime_error("cannot write " + path);
    }
    GDALClose(dataset);
}

// A dBASE III table of numeric fields; the header length and the field
// lengths can be made to lie.
struct dbfTable {
    std::vector<std::pair<std::string, int>> fields;  // name, length
    std::vector<std::vector<std::string>> records;
    int headerLengthOverride = -1;
    bool endMarker = true;

    std::string bytes() const {
        const int headerLength = 32 + 32 * int(fields.size()) + 1;
        int recordLength = 1;
        for (const auto& field : fields) recordLength += field.second;
        std::string out(32, '\0');
        out[0] = 3;
        const int storedLength = headerLengthOverride >= 0 ? headerLengthOverride : headerLength;
        out[4] = char(records.size() & 0xff);
        out[8] = char(storedLength & 0xff);
        out[9] = char((storedLength >> 8) & 0xff);
        out[10] = char(recordLength & 0xff);
        out[11] = char((recordLength >> 8) & 0xff);
        for (const auto& field : fields) {
            std::string descriptor(32, '\0');
            descriptor.replace(0, std::min<std::size_t>(field.first.size(), 11), field.first.substr(0, 11));
            descriptor[11] = 'N';
            descriptor[16] = char(field.second & 0xff);
            out += descriptor;
        }
        out += '\r';
        for (const auto& record : records) {
            out += ' ';
            for (std::size_t i = 0; i < fields.size(); ++i) {
                std::string value = i < record.size() ? record[i] : "";
                const std::size_t length = std::size_t(fields[i].second);
                if (value.size() > length) value.resize(length);
                out += std::string(length - value.size(), ' ') + value;
            }
        }
        if (endMarker) out += '\x1a';
        return out;
    }
};

dbfTable trackTable() {
    dbfTable table;
    table.fields = {{"LON", 12}, {"LAT", 12}, {"TOPO", 12}, {"ORBIT", 12}};
    table.records = {{"101.2", "48.7", "4.1", "7"}, {"102.5", "47.5", "0.5", "7"}};
    return table;
}

// ------------------------------------------------------------ empty files

TEST_F(malformedInputs, emptyRasterIsNotAGeoTiff) {
    write("empty.tif", "");
    const commandResult result = run({"empty.tif", "tracks.csv"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.standardOutput, "Not a valid tif file\nError: Geotiff Read Unsuccessful\n");
}

TEST_F(malformedInputs, emptyTrackTablesHaveNoColumns) {
    for (const std::string name : {"empty.csv", "empty.tab"}) {
        write(name, "");
        const commandResult result = run({"dem.tif", name});
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_TRUE(hasLine(result.standardOutput, "Error: Could not find a column with the keyword \"lon\"")) << name;
        EXPECT_EQ(lastLine(result.standardOutput), "Error: Mola Tracks Read Unsuccessful") << name;
    }
    write("empty.dbf", "");
    const commandResult result = run({"dem.tif", "empty.dbf"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.standardOutput,
              "Error: The .dbf header is damaged: the file is too short to hold a header\n"
              "Error: Mola Tracks Read Unsuccessful\n");
}

TEST_F(malformedInputs, emptyTieFilesFailTheTieRead) {
    write("empty.gpf", "");
    const commandResult gpf = run({"dem.tif", "tracks.csv", "empty.gpf", "-s", "1"});
    EXPECT_EQ(gpf.status, 1);
    EXPECT_TRUE(hasLine(gpf.standardOutput, "Could not find a comma separated header"));
    EXPECT_EQ(lastLine(gpf.standardOutput), "Tie Coordinate Read Unsuccessful");

    write("empty.rep", "");
    const commandResult rep = run({"dem.tif", "tracks.csv", "empty.rep", "-s", "1"});
    EXPECT_EQ(rep.status, 1);
    EXPECT_TRUE(hasLine(rep.standardOutput, "GROUND POINT PARAMETERS could not be found"));
    EXPECT_EQ(lastLine(rep.standardOutput), "Tie Coordinate Read Unsuccessful");
}

// ---------------------------------------------------------- binary garbage

TEST_F(malformedInputs, binaryGarbageUnderEveryEnding) {
    const std::string bytes = garbage(4096, 17);
    const commandResult tif = run({write("garbage.tif", bytes), "tracks.csv"});
    EXPECT_EQ(tif.status, 1);
    EXPECT_EQ(tif.standardOutput, "Not a valid tif file\nError: Geotiff Read Unsuccessful\n");

    for (const std::string name : {"garbage.csv", "garbage.tab", "garbage.dbf"}) {
        const commandResult tracks = run({"dem.tif", write(name, bytes)});
        EXPECT_EQ(tracks.status, 1) << name;
        EXPECT_EQ(lastLine(tracks.standardOutput), "Error: Mola Tracks Read Unsuccessful") << name;
    }
    for (const std::string name : {"garbage.gpf", "garbage.rep"}) {
        const commandResult ties = run({"dem.tif", "tracks.csv", write(name, bytes), "-s", "1"});
        EXPECT_EQ(ties.status, 1) << name;
        EXPECT_EQ(lastLine(ties.standardOutput), "Tie Coordinate Read Unsuccessful") << name;
    }
}

// ------------------------------------------------------------------ rasters

TEST_F(malformedInputs, truncatedGeoTiffIsRefused) {
    const std::string whole = readTextFile(folder.file("dem.tif"));
    for (const std::size_t size : {std::size_t(8), std::size_t(200), whole.size() / 2, whole.size() - 10}) {
        const commandResult result = run({write("cut.tif", whole.substr(0, size)), "tracks.csv"});
        EXPECT_EQ(result.status, 1) << size;
        EXPECT_EQ(lastLine(result.standardOutput), "Error: Geotiff Read Unsuccessful") << size;
        EXPECT_TRUE(hasLine(result.standardOutput, "Not a valid tif file") ||
                    hasLine(result.standardOutput, "Error: Could not read the cells of the .tif"))
            << size << ": " << result.standardOutput;
    }
}

TEST_F(malformedInputs, rastersOfOtherTypesAreRefused) {
    for (const GDALDataType type : {GDT_Int16, GDT_Float64, GDT_Byte}) {
        writeRaster(folder.file("typed.tif"), type, 1, true);
        const commandResult result = run({"typed.tif", "tracks.csv"});
        EXPECT_EQ(result.status, 1) << GDALGetDataTypeName(type);
        EXPECT_EQ(result.standardOutput,
                  "Raster of unknown type, must be GDT_Float32\nError: Geotiff Read Unsuccessful\n");
    }
}

TEST_F(malformedInputs, multiBandRasterIsReadFromItsFirstBand) {
    writeRaster(folder.file("bands.tif"), GDT_Float32, 3, true);
    const commandResult result = run({"bands.tif", "tracks.csv"});
    EXPECT_EQ(result.status, 0) << result.standardOutput;
    const commandResult single = run({"dem.tif", "tracks.csv"});
    EXPECT_EQ(result.standardOutput, single.standardOutput);
}

TEST_F(malformedInputs, rasterWithoutGeoreferenceMissesTheTracks) {
    writeRaster(folder.file("plain.tif"), GDT_Float32, 1, false);
    const commandResult result = run({"plain.tif", "tracks.csv"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(hasLine(result.standardOutput, "Warning: The Top Left corner of the raster is at (0,0)."));
    EXPECT_EQ(lastLine(result.standardOutput), "Error: Mola Tracks Read Unsuccessful");
}

// ------------------------------------------------------------ long lines

TEST_F(malformedInputs, linesOfMegabytesAreReadWhole) {
    const std::string huge(4 << 20, '9');
    const std::string csv = std::string("lon,lat,topo,orbit,note_") + std::string(1 << 20, 'x') + "\n" +
                            "101.2,48.7,4.1,7," + huge + "\n" + "102.5,47.5,0.5,7\n" + huge + "\n";
    const commandResult tracks = run({"dem.tif", write("long.csv", csv)});
    EXPECT_EQ(tracks.status, 0) << lastLine(tracks.standardOutput);
    EXPECT_TRUE(hasLine(tracks.standardOutput, "Count: 2"));

    std::string tab = csv;
    for (char& character : tab)
        if (character == ',') character = ' ';
    const commandResult tabTracks = run({"dem.tif", write("long.tab", tab)});
    EXPECT_EQ(tabTracks.status, 0);
    EXPECT_TRUE(hasLine(tabTracks.standardOutput, "Count: 2"));

    const commandResult ties =
        run({"dem.tif", "tracks.csv", write("long.gpf", std::string(3 << 20, 'G') + "\n" + goodTies), "-s", "1"});
    EXPECT_EQ(ties.status, 0);
    EXPECT_TRUE(hasLine(ties.standardOutput, "Final XYZ Coordinates"));

    const commandResult report = run(
        {"dem.tif", "tracks.csv", write("long.rep", std::string(3 << 20, 'G') + "\n" + huge + "\n"), "-s", "1"});
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.standardOutput.substr(report.standardOutput.size() - 76),
              "GROUND POINT PARAMETERS could not be found\nTie Coordinate Read Unsuccessful\n");
}

// ---------------------------------------------- nan, inf and huge numbers

TEST_F(malformedInputs, unusableNumbersInTheKeyColumnsOfACsvDropTheirRows) {
    const std::string csv = std::string("lon,lat,topo,orbit\n") + trackRow("nan", "48.7", "4.1", "7") +
                            trackRow("101.2", "inf", "4.1", "7") + trackRow("101.2", "48.7", "1e300", "7") +
                            trackRow("-1e300", "48.7", "4.1", "7") + trackRow("101.2", "48.7", "4.1", "99999999999") +
                            trackRow("102.5", "47.5", "0.5", "7");
    const commandResult result = run({"dem.tif", write("numbers.csv", csv)});
    EXPECT_EQ(result.status, 0);
    const std::string& out = result.standardOutput;
    EXPECT_TRUE(hasLine(out, "Warning: Couldn't convert the Longitude Value nan in row 2 and column 1"));
    EXPECT_TRUE(hasLine(out, "Error: Couldn't convert the Latitude Value inf in row 3 and column 2"));
    EXPECT_TRUE(hasLine(out, "Error: Couldn't convert the Topology Value 1e300 in row 4 and column 3"));
    EXPECT_TRUE(hasLine(out, "Warning: Couldn't convert the Longitude Value -1e300 in row 5 and column 1"));
    EXPECT_TRUE(hasLine(out, "Error: Couldn't convert the Orbit Value in row 6 and column 4"));
    for (const char* row : {"2", "3", "4", "5"})
        EXPECT_TRUE(hasLine(out, std::string("Warning: Couldnt find either the latitude, longitude, or topology value "
                                             "in row ") + row));
    // The row with the unreadable orbit keeps its point on orbit 0.
    EXPECT_TRUE(hasLine(out, "Count: 2"));
    EXPECT_TRUE(hasLine(out, "Maximum: 3"));
}

TEST_F(malformedInputs, unusableNumbersInATabTableDropTheirRows) {
    const std::string tab = "lon lat topo orbit\nnan 48.7 4.1 7\n101.2 -inf 4.1 7\n101.2 48.7 1e300 7\n"
                            "101.2 48.7 4.1 7\n102.5 47.5 0.5 7\n";
    const commandResult result = run({"dem.tif", write("numbers.tab", tab), "-dm"});
    EXPECT_EQ(result.status, 0);
    const std::string& out = result.standardOutput;
    EXPECT_TRUE(hasLine(out, "Error: Couldn't convert the Longitude Value in row 2 and column 1"));
    EXPECT_TRUE(hasLine(out, "Error: Couldn't convert the Latitude Value in row 3 and column 2"));
    EXPECT_TRUE(hasLine(out, "Error: Couldn't convert the Topology Value in row 4 and column 3"));
    EXPECT_TRUE(hasLine(out, "Count: 2"));
}

TEST_F(malformedInputs, unusableNumbersInADbfTableAreReportedAndTrimmed) {
    dbfTable table = trackTable();
    table.records.insert(table.records.begin(), {{"nan", "48.7", "4.1", "7"},
                                                 {"101.2", "inf", "4.1", "7"},
                                                 {"101.2", "48.7", "1e300", "7"},
                                                 {"101.2", "48.7", "4.1", "99999999999"}});
    const commandResult result = run({"dem.tif", write("numbers.dbf", table.bytes()), "-dm"});
    EXPECT_EQ(result.status, 0);
    const std::string& out = result.standardOutput;
    EXPECT_TRUE(hasLine(out, "Warning: Couldn't convert the Longitude Value in row 1 and column 1"));
    EXPECT_TRUE(hasLine(out, "Warning: Couldn't convert the Latitude Value in row 2 and column 2"));
    EXPECT_TRUE(hasLine(out, "Warning: Couldn't convert the Topography Value in row 3 and column 3"));
    EXPECT_TRUE(hasLine(out, "Warning: Couldn't convert the orbit value in row 4 and column 4"));
    EXPECT_TRUE(hasLine(out, "Number of Trimmed Coordinates: 3"));
    EXPECT_TRUE(hasLine(out, "Count: 3"));
}

TEST_F(malformedInputs, unusableNumbersInAGroundPointFileDropTheirPoints) {
    const std::string gpf = "point_id,stat,lat_Y_North,long_X_East,ht\n"
                            "N 1 nan 101.5 3\nI 1 48.5 inf 3\nH 1 48.5 101.5 1e300\n"
                            "A 1 48.5 101.5 3\nB 1 47.6 102.4 2\n";
    const commandResult result = run({"dem.tif", "tracks.csv", write("numbers.gpf", gpf), "-s", "1"});
    EXPECT_EQ(result.status, 0);
    // A dropped point gives its number to the next one.
    const std::string dropped = "Warning: Couldnt find either the latitude, longitude, or topology value for point 1\n";
    std::size_t count = 0;
    for (std::size_t at = result.standardOutput.find(dropped); at != std::string::npos;
         at = result.standardOutput.find(dropped, at + 1))
        ++count;
    EXPECT_EQ(count, 3u) << result.standardOutput;
    EXPECT_EQ(result.standardOutput.find("nan"), std::string::npos);
    EXPECT_EQ(result.standardOutput.find("inf"), std::string::npos);
}

// A report section with a reference line of 60 characters and blocks whose
// first line is as long.
std::string reportStart() {
    return "TRIANGULATION REPORT\n\n   GROUND POINT PARAMETERS\n\n\n  POINT   COORDINATE   VALUE\n" +
           std::string(60, '-') + "\n";
}

std::string reportBlock(const std::string& id, const std::string& lon, const std::string& lat,
                        const std::string& height) {
    std::string first = id + "  (TIE)  X LON DEG = " + lon;
    first.resize(60, ' ');
    return first + "\n         Y LAT DEG = " + lat + "  0.50\n         Z HT  M   = " + height + "  0.20\n\n";
}

TEST_F(malformedInputs, unusableNumbersInAReportFailTheTieRead) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {reportBlock("P1", "nan", "48.5", "3"), "Error: Couldn't convert the Longitude Value for point P1 in the .rep file"},
        {reportBlock("P1", "101.5", "inf", "3"), "Error: Couldn't convert the Latitude Value for point P1 in the .rep file"},
        {reportBlock("P1", "101.5", "48.5", "1e300"),
         "Error: Couldn't convert the Elevation Value for point P1 in the .rep file"},
        {reportBlock("P1", "101.5", "1:2:1e300", "3"),
         "Error: Couldn't convert the Latitude Value for point P1 in the .rep file"},
    };
    for (const auto& [block, message] : cases) {
        const commandResult result =
            run({"dem.tif", "tracks.csv", write("numbers.rep", reportStart() + block), "-s", "1"});
        EXPECT_EQ(result.status, 1) << message;
        EXPECT_TRUE(hasLine(result.standardOutput, message)) << result.standardOutput;
        EXPECT_EQ(lastLine(result.standardOutput), "Tie Coordinate Read Unsuccessful");
    }
    const commandResult good = run({"dem.tif", "tracks.csv",
                                    write("good.rep", reportStart() + reportBlock("P1", "101:30:00", "48.5", "3") +
                                                          reportBlock("P2", "102.4", "47:36:00", "2")),
                                    "-s", "1"});
    EXPECT_EQ(good.status, 0) << good.standardOutput;
}

// ------------------------------------------------------------ dBASE headers

TEST_F(malformedInputs, dbfHeaderThatLiesAboutItsLength) {
    dbfTable table = trackTable();
    table.headerLengthOverride = 60000;
    const commandResult tooLong = run({"dem.tif", write("long.dbf", table.bytes())});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.standardOutput,
              "Error: The .dbf header is damaged: its length of 60000 bytes runs past the end of the file\n"
              "Error: Mola Tracks Read Unsuccessful\n");

    table.headerLengthOverride = 10;
    const commandResult tooShort = run({"dem.tif", write("short.dbf", table.bytes())});
    EXPECT_EQ(tooShort.status, 1);
    EXPECT_EQ(tooShort.standardOutput,
              "Error: The .dbf header is damaged: its length of 10 bytes is too short for a table header\n"
              "Error: Mola Tracks Read Unsuccessful\n");

    // A length that ends inside the last descriptor cuts it in half.
    table.headerLengthOverride = 32 + 32 * 3 + 16;
    const commandResult cut = run({"dem.tif", write("cut.dbf", table.bytes())});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(hasLine(cut.standardOutput,
                        "Error: The .dbf header is damaged: field descriptor 4 runs past the end of the header"))
        << cut.standardOutput;
}

TEST_F(malformedInputs, dbfFieldLengthsPastTheEndGiveNoRecord) {
    dbfTable table = trackTable();
    std::string bytes = table.bytes();
    bytes[32 + 3 * 32 + 16] = char(255);  // the orbit field claims 255 bytes
    const commandResult result = run({"dem.tif", write("fields.dbf", bytes), "-dm"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(hasLine(result.standardOutput, "Total Number of Coordinates: 0"));
    EXPECT_EQ(lastLine(result.standardOutput), "Error: Mola Tracks Read Unsuccessful");
}

// ------------------------------------------------------- tie file structure

TEST_F(malformedInputs, groundPointFileWithNegativeCounts) {
    const commandResult negative =
        run({"dem.tif", "tracks.csv", write("negative.gpf", "point_id,lon,lat,ht,err(-9)\n1 2 3 4\n"), "-s", "1"});
    EXPECT_EQ(negative.status, 1);
    EXPECT_TRUE(hasLine(negative.standardOutput,
                        "Error: The value counts in the .gpf header give -5 values per point, there must be between "
                        "1 and 1000000"));
    EXPECT_EQ(lastLine(negative.standardOutput), "Tie Coordinate Read Unsuccessful");

    const commandResult outside =
        run({"dem.tif", "tracks.csv", write("outside.gpf", "err(-3),point_id,lon,lat,ht\n1 2 3 4\n"), "-s", "1"});
    EXPECT_EQ(outside.status, 1);
    EXPECT_TRUE(hasLine(outside.standardOutput,
                        "Error: The value counts in the .gpf header place a keyword column outside the 1 values of "
                        "a point"));

    const commandResult huge = run(
        {"dem.tif", "tracks.csv", write("huge.gpf", "point_id,lon,lat,ht,err(2147483647)\n1 2 3 4\n"), "-s", "1"});
    EXPECT_EQ(huge.status, 1);
    EXPECT_EQ(lastLine(huge.standardOutput), "Tie Coordinate Read Unsuccessful");
}

TEST_F(malformedInputs, reportWithBrokenBlocks) {
    const std::string good = reportBlock("P1", "101.5", "48.5", "3");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {good + reportBlock("P2", "12:30", "48", "2"),
         "Error: Couldn't convert the Longitude Value for point P2 in the .rep file"},
        {good + reportBlock("P2", "101", "1:2:3:4", "2"),
         "Error: Couldn't convert the Latitude Value for point P2 in the .rep file"},
        {good + reportBlock("P2", "101", "48", "3:00:00"),
         "Error: Couldn't convert the Elevation Value for point P2 in the .rep file"},
        {good + good.substr(0, 61), "Error: Couldn't convert the Latitude Value for point P1 in the .rep file"},
    };
    for (const auto& [blocks, message] : cases) {
        const commandResult result =
            run({"dem.tif", "tracks.csv", write("broken.rep", reportStart() + blocks), "-s", "1"});
        EXPECT_EQ(result.status, 1) << message;
        EXPECT_TRUE(hasLine(result.standardOutput, message)) << result.standardOutput;
        EXPECT_EQ(lastLine(result.standardOutput), "Tie Coordinate Read Unsuccessful");
    }
    // A block line of another length ends the section: one point, a good run.
    const commandResult shortened =
        run({"dem.tif", "tracks.csv", write("ended.rep", reportStart() + good + "P2 (TIE) X LON DEG = 1\n"), "-s", "1"});
    EXPECT_EQ(shortened.status, 0);
}

// ------------------------------------------------------------- file names

TEST_F(malformedInputs, namesWithNonAsciiAndQuoteCharactersKeepTheirOutputs) {
    const std::string subfolder = "d\xc3\xa9m 'q' \"x\"";
    std::filesystem::create_directories(folder.file(subfolder));
    const std::string raster = subfolder + "/it's \"\xc3\xa9t\xc3\xa9\".tif";
    std::filesystem::copy_file(folder.file("dem.tif"), folder.file(raster));
    const std::string tracks = subfolder + "/tr\xc3\xa4" "cks 'a'.csv";
    const std::string ties = subfolder + "/t\"ies\".gpf";
    std::filesystem::copy_file(folder.file("tracks.csv"), folder.file(tracks));
    std::filesystem::copy_file(folder.file("ties.gpf"), folder.file(ties));

    const commandResult result = run({raster, tracks, ties, "-s", "1"});
    EXPECT_EQ(result.status, 0) << result.standardOutput;
    const std::string base = folder.file(subfolder + "/it's \"\xc3\xa9t\xc3\xa9\"");
    for (const char* suffix : {"_Error_Map", "_Coord_Map", "_Weightings_Map"}) {
        EXPECT_TRUE(fileExists(base + suffix + ".gnu")) << suffix;
        EXPECT_NE(pngSize(base + suffix + ".png").first, 0u) << suffix;
    }
    EXPECT_TRUE(fileExists(base + "_report.txt"));
}

// ------------------------------------------------------- impossible output

TEST_F(malformedInputs, anOutputThatCannotBeCreatedEndsWithStatusOne) {
    std::filesystem::create_directories(folder.file("dem_Error_Map.gnu"));
    const commandResult errorMap = run({"dem.tif", "tracks.csv"});
    EXPECT_EQ(errorMap.status, 1);
    EXPECT_TRUE(hasLine(errorMap.standardOutput, "Warning: Could not create the output file dem_Error_Map.gnu"));
    std::filesystem::remove(folder.file("dem_Error_Map.gnu"));

    std::filesystem::create_directories(folder.file("dem_report.txt"));
    const commandResult report = run({"dem.tif", "tracks.csv", "ties.gpf", "-s", "1"});
    EXPECT_EQ(report.status, 1);
    EXPECT_TRUE(hasLine(report.standardOutput, "Warning: Could not create the output file dem_report.txt"));
    EXPECT_TRUE(fileExists(folder.file("dem_Coord_Map.gnu")));
    EXPECT_TRUE(fileExists(folder.file("dem_Error_Map.gnu")));
}

// -------------------------------------------------------- absurd options

TEST_F(malformedInputs, absurdOptionValuesAreRefusedOrHarmless) {
    const commandResult stages = run({"dem.tif", "tracks.csv", "ties.gpf", "-s", "2147483648", "-c", "1e300"});
    EXPECT_EQ(stages.status, 0);
    EXPECT_TRUE(hasLine(stages.standardOutput, "Was unable to parse an integer after -s, using default "));

    const commandResult noStep = run({"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-d", "0"});
    EXPECT_EQ(noStep.status, 0);
    EXPECT_TRUE(hasLine(noStep.standardOutput, "x-translation: 0"));

    const commandResult wide = run({"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-p", "1e308"});
    EXPECT_EQ(wide.status, 0);
    EXPECT_TRUE(hasLine(wide.standardOutput, "x-translation: 0"));

    const commandResult notANumber = run({"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-sfp", "nan"});
    EXPECT_EQ(notANumber.status, 0);
    EXPECT_TRUE(hasLine(notANumber.standardOutput,
                        "Was unable to parse a floating point number after -sfp, using default "));
    EXPECT_TRUE(fileExists(folder.file("dem_Weightings_Map.gnu")));

    const commandResult others = run({"dem.tif", "tracks.csv", "-s", "-2147483648", "-p", "inf", "-tl", "nan", "1",
                                      "-sfs", "99999999999", "-as", "a*b", "-of"});
    EXPECT_EQ(others.status, 0);
    EXPECT_TRUE(hasLine(others.standardOutput, "Was unable to parse an integer after -s, using default "));
    EXPECT_TRUE(hasLine(others.standardOutput, "Was unable to parse a floating point number after -p, using default"));
    EXPECT_TRUE(hasLine(others.standardOutput,
                        "Warning: Could not parse the replacement top left coordinate, should be of the format -tl "
                        "%d %d"));
    EXPECT_TRUE(hasLine(others.standardOutput, "Was unable to parse an integer after -sfs, using default "));
    EXPECT_TRUE(fileExists(folder.file("dem_Error_Map.gnu")));
}

// --------------------------------------------------------- inputs untouched

TEST_F(malformedInputs, aFullRunWritesNothingIntoItsInputs) {
    write("tracks.tab", "lon lat topo orbit\n101.2 48.7 4.1 7\n102.5 47.5 0.5 7\n101.5 47.5 2 8\n");
    write("tracks.dbf", trackTable().bytes());
    write("ties.rep", reportStart() + reportBlock("P1", "101.5", "48.5", "3"));
    for (const std::string tracks : {"tracks.csv", "tracks.tab", "tracks.dbf"})
        for (const std::string ties : {"ties.gpf", "ties.rep"}) {
            const commandResult result = run({"dem.tif", tracks, ties, "-s", "2", "-qf", "-oe", "-od"});
            EXPECT_EQ(result.status, 0) << tracks << " " << ties << "\n" << result.standardOutput;
        }
}

TEST_F(malformedInputs, anOutputNamedLikeAnInputLeavesTheInputAsItWas) {
    write("dem_errors.csv", goodTracks);
    const commandResult table = run({"dem.tif", "dem_errors.csv", "-oe"});
    EXPECT_EQ(table.status, 1);
    EXPECT_TRUE(hasLine(table.standardOutput,
                        "Warning: The output file dem_errors.csv is an input of this run, it is left as it was"));
    EXPECT_EQ(readTextFile(folder.file("dem_errors.csv")), goodTracks);
    EXPECT_TRUE(fileExists(folder.file("dem_Error_Map.gnu")));

    // Another name for the raster itself, where the aligned raster would go.
    std::filesystem::create_hard_link(folder.file("dem.tif"), folder.file("dem_aligned.tif"));
    const std::string raster = readTextFile(folder.file("dem.tif"));
    const commandResult aligned = run({"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-od"});
    EXPECT_EQ(aligned.status, 1);
    EXPECT_TRUE(hasLine(aligned.standardOutput,
                        "Warning: The output file dem_aligned.tif is an input of this run, it is left as it was"));
    EXPECT_EQ(readTextFile(folder.file("dem.tif")), raster);
}

}  // namespace
}  // namespace kalvex::testing
