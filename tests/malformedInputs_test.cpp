// End-to-end runs of kalvex on broken, hostile and absurd inputs. Each case names the message and the
// exit status it expects; every run must end quickly, print nothing on standard error and leave its
// inputs as they were.
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

// A 5 x 5 raster at x 100..104, y 50..46 whose cells follow z = 2c - r, two tracks inside it and
// three tie points: small enough that every run takes a fraction of a second.
const char* const goodTracks =
    "lon,lat,topo,orbit\n101.2,48.7,4.1,7\n102.5,47.5,0.5,7\n101.5,47.5,2,8\n102.2,48.2,1,8\n";
const char* const goodTies =
    "3\npoint_id,stat,lat_Y_North,long_X_East,ht\nA 1 48.5 101.5 3\nB 1 47.6 102.4 2\nC 1 48.1 102.1 1\n";
const std::string tracksFailed = "Error: Mola Tracks Read Unsuccessful";
const std::string tiesFailed = "Tie Coordinate Read Unsuccessful";
const std::string notATiff = "Not a valid tif file\nError: Geotiff Read Unsuccessful\n";

bool hasLine(const std::string& console, const std::string& line) {
    return ("\n" + console).find("\n" + line + "\n") != std::string::npos;
}

std::string lastLine(std::string console) {
    if (!console.empty() && console.back() == '\n') console.pop_back();
    return console.substr(console.rfind('\n') == std::string::npos ? 0 : console.rfind('\n') + 1);
}

// The same bytes on every run: a linear congruential sequence.
std::string garbage(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    return bytes;
}

// A raster of any type, band count and georeference, for the refusals.
void writeRaster(const std::string& path, GDALDataType type, int bands, bool georeferenced) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDataset* dataset = driver == nullptr ? nullptr : driver->Create(path.c_str(), 5, 5, bands, type, nullptr);
    if (dataset == nullptr) throw std::runtime_error("cannot create " + path);
    double transform[6] = {100.0, 1.0, 0.0, 50.0, 0.0, -1.0};
    if (georeferenced) dataset->SetGeoTransform(transform);
    std::vector<double> cells(25);
    for (int band = 1; band <= bands; ++band) {
        for (int i = 0; i < 25; ++i) cells[std::size_t(i)] = band == 1 ? 2 * (i % 5) - i / 5 : 9999.0;
        if (dataset->GetRasterBand(band)->RasterIO(GF_Write, 0, 0, 5, 5, cells.data(), 5, 5, GDT_Float64, 0, 0) !=
            CE_None)
            throw std::runtime_error("cannot write " + path);
    }
    GDALClose(dataset);
}

// A dBASE III table of numeric fields LON, LAT, TOPO, ORBIT (12 bytes each) whose header length can lie.
std::string dbfTable(const std::vector<std::vector<std::string>>& records, int headerLength = 32 + 32 * 4 + 1) {
    std::string out(32, '\0');
    out[0] = 3;
    out[4] = char(records.size() & 0xff);
    out[8] = char(headerLength & 0xff);
    out[9] = char((headerLength >> 8) & 0xff);
    out[10] = char(1 + 4 * 12);
    for (const char* name : {"LON", "LAT", "TOPO", "ORBIT"}) {
        std::string descriptor(32, '\0');
        descriptor.replace(0, std::string(name).size(), name);
        descriptor[11] = 'N';
        descriptor[16] = 12;
        out += descriptor;
    }
    out += '\r';
    for (const auto& record : records) {
        out += ' ';
        for (const std::string& value : record) out += std::string(12 - value.size(), ' ') + value;
    }
    return out + '\x1a';
}

const std::vector<std::vector<std::string>> goodRecords = {{"101.2", "48.7", "4.1", "7"},
                                                           {"102.5", "47.5", "0.5", "7"}};

// A report section with a reference line of 60 characters and blocks whose first line is as long.
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

class malformedInputs : public ::testing::Test {
protected:
    malformedInputs() : folder("malformed") {
        writePlaneRaster(folder.file("dem.tif"), 5);
        writeTextFile(folder.file("tracks.csv"), goodTracks);
        writeTextFile(folder.file("ties.gpf"), goodTies);
    }

    std::string write(const std::string& name, const std::string& bytes) const {
        writeTextFile(folder.file(name), bytes);
        return name;
    }

    // Runs kalvex in the scene's folder; every run, whatever its outcome, keeps standard error
    // empty and leaves every file it was given as it was.
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

    // One run: its status, lines that must appear, and the last line (or, ending in a line
    // break, the whole output).
    struct expectation {
        std::vector<std::string> arguments;
        int status;
        std::vector<std::string> lines;
        std::string ending;
    };
    void check(const std::vector<expectation>& cases) const {
        for (const expectation& expected : cases) {
            std::string name;
            for (const std::string& argument : expected.arguments) name += argument.substr(0, 40) + " ";
            SCOPED_TRACE(name);
            const commandResult result = run(expected.arguments);
            const std::string& out = result.standardOutput;
            EXPECT_EQ(result.status, expected.status) << out.substr(0, 2000);
            for (const std::string& line : expected.lines) EXPECT_TRUE(hasLine(out, line)) << line;
            if (!expected.ending.empty() && expected.ending.back() == '\n') {
                EXPECT_EQ(out, expected.ending);
            } else if (!expected.ending.empty()) {
                EXPECT_EQ(lastLine(out), expected.ending);
            }
        }
    }
    expectation tracks(const std::string& name, const std::string& bytes, std::vector<std::string> lines,
                       const std::string& ending = tracksFailed, int status = 1, bool debug = false) const {
        std::vector<std::string> arguments{"dem.tif", write(name, bytes)};
        if (debug) arguments.push_back("-dm");
        return {arguments, status, std::move(lines), ending};
    }
    expectation ties(const std::string& name, const std::string& bytes, std::vector<std::string> lines,
                     const std::string& ending = tiesFailed, int status = 1) const {
        return {{"dem.tif", "tracks.csv", write(name, bytes), "-s", "1"}, status, std::move(lines), ending};
    }

    scratchFolder folder;
};

TEST_F(malformedInputs, emptyGarbageAndTruncatedFilesAreRefusedUnderEveryEnding) {
    const std::string bytes = garbage(4096, 17);
    const std::string lonMissing = "Error: Could not find a column with the keyword \"lon\"";
    const std::string tooShort = "Error: The .dbf header is damaged: the file is too short to hold a header\n";
    check({
        {{write("empty.tif", ""), "tracks.csv"}, 1, {}, notATiff},
        {{write("garbage.tif", bytes), "tracks.csv"}, 1, {}, notATiff},
        tracks("empty.csv", "", {lonMissing}),
        tracks("empty.tab", "", {lonMissing}),
        {{"dem.tif", write("empty.dbf", "")}, 1, {}, tooShort + tracksFailed + "\n"},
        tracks("garbage.csv", bytes, {}),
        tracks("garbage.tab", bytes, {}),
        tracks("garbage.dbf", bytes, {}),
        ties("empty.gpf", "", {"Could not find a comma separated header"}),
        ties("empty.rep", "", {"GROUND POINT PARAMETERS could not be found"}),
        ties("garbage.gpf", bytes, {}),
        ties("garbage.rep", bytes, {}),
    });
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

TEST_F(malformedInputs, rastersOfOtherTypesBandsOrWithoutGeoreference) {
    for (const GDALDataType type : {GDT_Int16, GDT_Float64, GDT_Byte}) {
        writeRaster(folder.file("typed.tif"), type, 1, true);
        const commandResult result = run({"typed.tif", "tracks.csv"});
        EXPECT_EQ(result.status, 1) << GDALGetDataTypeName(type);
        EXPECT_EQ(result.standardOutput,
                  "Raster of unknown type, must be GDT_Float32\nError: Geotiff Read Unsuccessful\n");
    }
    writeRaster(folder.file("bands.tif"), GDT_Float32, 3, true);  // read from its first band
    const commandResult bands = run({"bands.tif", "tracks.csv"});
    EXPECT_EQ(bands.status, 0) << bands.standardOutput;
    EXPECT_EQ(bands.standardOutput, run({"dem.tif", "tracks.csv"}).standardOutput);
    writeRaster(folder.file("plain.tif"), GDT_Float32, 1, false);
    check({{{"plain.tif", "tracks.csv"}, 1, {"Warning: The Top Left corner of the raster is at (0,0)."},
            tracksFailed}});
}

TEST_F(malformedInputs, linesOfMegabytesAreReadWhole) {
    const std::string huge(4 << 20, '9');
    const std::string csv = "lon,lat,topo,orbit,note_" + std::string(1 << 20, 'x') + "\n101.2,48.7,4.1,7," + huge +
                            "\n102.5,47.5,0.5,7\n" + huge + "\n";
    std::string tab = csv;
    for (char& character : tab)
        if (character == ',') character = ' ';
    const std::string longLine = std::string(3 << 20, 'G') + "\n";
    const commandResult report = run({"dem.tif", "tracks.csv", write("long.rep", longLine + huge + "\n"), "-s", "1"});
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.standardOutput.substr(report.standardOutput.size() - 76),
              "GROUND POINT PARAMETERS could not be found\nTie Coordinate Read Unsuccessful\n");
    check({
        {{"dem.tif", write("long.csv", csv)}, 0, {"Count: 2"}, ""},
        {{"dem.tif", write("long.tab", tab)}, 0, {"Count: 2"}, ""},
        ties("long.gpf", longLine + goodTies, {"Final XYZ Coordinates"}, "", 0),
    });
}

TEST_F(malformedInputs, unusableNumbersAreRefusedByEveryReader) {
    const std::string dropped = "Warning: Couldnt find either the latitude, longitude, or topology value in row ";
    const std::string dbfWarning = "Warning: Couldn't convert the ";
    const std::string repError = "Error: Couldn't convert the ";
    check({
        tracks("numbers.csv",
               "lon,lat,topo,orbit\nnan,48.7,4.1,7\n101.2,inf,4.1,7\n101.2,48.7,1e300,7\n-1e300,48.7,4.1,7\n"
               "101.2,48.7,4.1,99999999999\n102.5,47.5,0.5,7\n",
               {"Warning: Couldn't convert the Longitude Value nan in row 2 and column 1",
                "Error: Couldn't convert the Latitude Value inf in row 3 and column 2",
                "Error: Couldn't convert the Topology Value 1e300 in row 4 and column 3",
                "Warning: Couldn't convert the Longitude Value -1e300 in row 5 and column 1",
                "Error: Couldn't convert the Orbit Value in row 6 and column 4", dropped + "2", dropped + "3",
                dropped + "4", dropped + "5",
                // The row with the unreadable orbit keeps its point on orbit 0.
                "Count: 2", "Maximum: 3"},
               "", 0),
        tracks("numbers.tab",
               "lon lat topo orbit\nnan 48.7 4.1 7\n101.2 -inf 4.1 7\n101.2 48.7 1e300 7\n101.2 48.7 4.1 7\n"
               "102.5 47.5 0.5 7\n",
               {"Error: Couldn't convert the Longitude Value in row 2 and column 1",
                "Error: Couldn't convert the Latitude Value in row 3 and column 2",
                "Error: Couldn't convert the Topology Value in row 4 and column 3", "Count: 2"},
               "", 0, true),
        tracks("numbers.dbf",
               dbfTable({{"nan", "48.7", "4.1", "7"}, {"101.2", "inf", "4.1", "7"}, {"101.2", "48.7", "1e300", "7"},
                         {"101.2", "48.7", "4.1", "99999999999"}, goodRecords[0], goodRecords[1]}),
               {dbfWarning + "Longitude Value in row 1 and column 1",
                dbfWarning + "Latitude Value in row 2 and column 2",
                dbfWarning + "Topography Value in row 3 and column 3",
                dbfWarning + "orbit value in row 4 and column 4",
                "Number of Trimmed Coordinates: 3", "Count: 3"},
               "", 0, true),
        ties("nan.rep", reportStart() + reportBlock("P1", "nan", "48.5", "3"),
             {repError + "Longitude Value for point P1 in the .rep file"}),
        ties("inf.rep", reportStart() + reportBlock("P1", "101.5", "inf", "3"),
             {repError + "Latitude Value for point P1 in the .rep file"}),
        ties("huge.rep", reportStart() + reportBlock("P1", "101.5", "48.5", "1e300"),
             {repError + "Elevation Value for point P1 in the .rep file"}),
        ties("seconds.rep", reportStart() + reportBlock("P1", "101.5", "1:2:1e300", "3"),
             {repError + "Latitude Value for point P1 in the .rep file"}),
        ties("good.rep",
             reportStart() + reportBlock("P1", "101:30:00", "48.5", "3") + reportBlock("P2", "102.4", "47:36:00", "2"),
             {}, "", 0),
    });
    const commandResult gpf = run({"dem.tif", "tracks.csv",
                                   write("numbers.gpf", "point_id,stat,lat_Y_North,long_X_East,ht\nN 1 nan 101.5 3\n"
                                                        "I 1 48.5 inf 3\nH 1 48.5 101.5 1e300\nA 1 48.5 101.5 3\n"
                                                        "B 1 47.6 102.4 2\n"),
                                   "-s", "1"});
    EXPECT_EQ(gpf.status, 0);
    // A dropped point gives its number to the next one.
    const std::string droppedPoint =
        "Warning: Couldnt find either the latitude, longitude, or topology value for point 1\n";
    std::size_t count = 0;
    for (std::size_t at = gpf.standardOutput.find(droppedPoint); at != std::string::npos;
         at = gpf.standardOutput.find(droppedPoint, at + 1))
        ++count;
    EXPECT_EQ(count, 3u) << gpf.standardOutput;
    EXPECT_EQ(gpf.standardOutput.find("nan"), std::string::npos);
    EXPECT_EQ(gpf.standardOutput.find("inf"), std::string::npos);
}

TEST_F(malformedInputs, damagedTableAndTieFileStructures) {
    const std::string damaged = "Error: The .dbf header is damaged: ";
    std::string longFields = dbfTable(goodRecords);
    longFields[32 + 3 * 32 + 16] = char(255);  // the orbit field claims 255 bytes
    const std::string good = reportBlock("P1", "101.5", "48.5", "3");
    check({
        {{"dem.tif", write("long.dbf", dbfTable(goodRecords, 60000))}, 1, {},
         damaged + "its length of 60000 bytes runs past the end of the file\n" + tracksFailed + "\n"},
        // A length that ends inside the last descriptor cuts it in half.
        tracks("cut.dbf", dbfTable(goodRecords, 32 + 32 * 3 + 16),
               {damaged + "field descriptor 4 runs past the end of the header"}),
        tracks("fields.dbf", longFields, {"Total Number of Coordinates: 0"}, tracksFailed, 1, true),
        ties("negative.gpf", "point_id,lon,lat,ht,err(-9)\n1 2 3 4\n",
             {"Error: The value counts in the .gpf header give -5 values per point, there must be between 1 and "
              "1000000"}),
        ties("huge.gpf", "point_id,lon,lat,ht,err(2147483647)\n1 2 3 4\n", {}),
        ties("broken.rep", reportStart() + good + good.substr(0, 61),
             {"Error: Couldn't convert the Latitude Value for point P1 in the .rep file"}),
        // A block line of another length ends the section: one point, a good run.
        ties("ended.rep", reportStart() + good + "P2 (TIE) X LON DEG = 1\n", {}, "", 0),
    });
}

TEST_F(malformedInputs, namesWithNonAsciiAndQuoteCharactersKeepTheirOutputs) {
    const std::string subfolder = "d\xc3\xa9m 'q' \"x\"";
    std::filesystem::create_directories(folder.file(subfolder));
    const std::string raster = subfolder + "/it's \"\xc3\xa9t\xc3\xa9\".tif";
    const std::string tracks = subfolder + "/tr\xc3\xa4" "cks 'a'.csv";
    const std::string ties = subfolder + "/t\"ies\".gpf";
    std::filesystem::copy_file(folder.file("dem.tif"), folder.file(raster));
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

TEST_F(malformedInputs, anOutputThatCannotBeCreatedEndsWithStatusOne) {
    std::filesystem::create_directories(folder.file("dem_Error_Map.gnu"));
    check({{{"dem.tif", "tracks.csv"}, 1, {"Warning: Could not create the output file dem_Error_Map.gnu"}, ""}});
    std::filesystem::remove(folder.file("dem_Error_Map.gnu"));
    std::filesystem::create_directories(folder.file("dem_report.txt"));
    check({{{"dem.tif", "tracks.csv", "ties.gpf", "-s", "1"}, 1,
            {"Warning: Could not create the output file dem_report.txt"}, ""}});
    EXPECT_TRUE(fileExists(folder.file("dem_Coord_Map.gnu")));
    EXPECT_TRUE(fileExists(folder.file("dem_Error_Map.gnu")));
}

TEST_F(malformedInputs, absurdOptionValuesAreRefusedOrHarmless) {
    const std::string noInteger = "Was unable to parse an integer after ";
    const std::string noFloat = "Was unable to parse a floating point number after ";
    check({
        {{"dem.tif", "tracks.csv", "ties.gpf", "-s", "2147483648", "-c", "1e300"}, 0,
         {noInteger + "-s, using default "}, ""},
        {{"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-d", "0"}, 0, {"x-translation: 0"}, ""},
        {{"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-p", "1e308"}, 0, {"x-translation: 0"}, ""},
        {{"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-sfp", "nan"}, 0, {noFloat + "-sfp, using default "}, ""},
        {{"dem.tif", "tracks.csv", "-s", "-2147483648", "-p", "inf", "-tl", "nan", "1", "-sfs", "99999999999", "-as",
          "a*b", "-of"},
         0,
         {noInteger + "-s, using default ", noFloat + "-p, using default",
          "Warning: Could not parse the replacement top left coordinate, should be of the format -tl %d %d",
          noInteger + "-sfs, using default "},
         ""},
    });
    EXPECT_TRUE(fileExists(folder.file("dem_Weightings_Map.gnu")));
    EXPECT_TRUE(fileExists(folder.file("dem_Error_Map.gnu")));
}

TEST_F(malformedInputs, runsWriteNothingIntoTheirInputsEvenWhenAnOutputIsNamedLikeOne) {
    write("tracks.tab", "lon lat topo orbit\n101.2 48.7 4.1 7\n102.5 47.5 0.5 7\n101.5 47.5 2 8\n");
    write("tracks.dbf", dbfTable(goodRecords));
    write("ties.rep", reportStart() + reportBlock("P1", "101.5", "48.5", "3"));
    for (const std::string tracks : {"tracks.csv", "tracks.tab", "tracks.dbf"})
        for (const std::string ties : {"ties.gpf", "ties.rep"})
            check({{{"dem.tif", tracks, ties, "-s", "2", "-qf", "-oe", "-od"}, 0, {}, ""}});

    write("dem_errors.csv", goodTracks);
    const std::string leftAsItWas = " is an input of this run, it is left as it was";
    check({{{"dem.tif", "dem_errors.csv", "-oe"}, 1, {"Warning: The output file dem_errors.csv" + leftAsItWas}, ""}});
    EXPECT_EQ(readTextFile(folder.file("dem_errors.csv")), goodTracks);
    EXPECT_TRUE(fileExists(folder.file("dem_Error_Map.gnu")));
    // Another name for the raster itself, where the aligned raster would go.
    std::filesystem::remove(folder.file("dem_aligned.tif"));  // left by the full runs above
    std::filesystem::create_hard_link(folder.file("dem.tif"), folder.file("dem_aligned.tif"));
    const std::string raster = readTextFile(folder.file("dem.tif"));
    check({{{"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-od"}, 1,
            {"Warning: The output file dem_aligned.tif" + leftAsItWas}, ""}});
    EXPECT_EQ(readTextFile(folder.file("dem.tif")), raster);
}

}  // namespace
}  // namespace kalvex::testing
