// End-to-end runs of kalvex on broken, hostile and absurd inputs. Every run
// keeps standard error empty and leaves the files it was given as they were.
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

// Two tracks and three tie points on the 5 x 5 plane raster at x 100..104, y 50..46.
const std::string goodTracks =
    "lon,lat,topo,orbit\n101.2,48.7,4.1,7\n102.5,47.5,0.5,7\n101.5,47.5,2,8\n102.2,48.2,1,8\n";
const std::string goodTies =
    "3\npoint_id,stat,lat_Y_North,long_X_East,ht\nA 1 48.5 101.5 3\nB 1 47.6 102.4 2\nC 1 48.1 102.1 1\n";
const std::string notATiff = "Not a valid tif file\nError: Geotiff Read Unsuccessful\n";
const std::string columns = "Longitude Column: 1\nLatitude Column: 2\nTopology Column: 3\n";
const std::string statistics =
    "Original Statistics: \nCount: 4\nMinimum: -2\nMaximum: 3\nMean: 0.225\nStandard Deviation: 2.09806\n\n";

// The plane raster with two more bands holding 9999.
void writeThreeBands(const std::string& path) {
    GDALAllRegister();
    GDALDataset* dataset =
        GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), 5, 5, 3, GDT_Float32, nullptr);
    double transform[6] = {99.5, 1.0, 0.0, 50.5, 0.0, -1.0};
    dataset->SetGeoTransform(transform);
    std::vector<float> cells(75, 9999.0f);
    for (int i = 0; i < 25; ++i) cells[std::size_t(i)] = float(2 * (i % 5) - i / 5);
    EXPECT_EQ(dataset->RasterIO(GF_Write, 0, 0, 5, 5, cells.data(), 5, 5, GDT_Float32, 3, nullptr, 0, 0, 0), CE_None);
    GDALClose(dataset);
}

// The same bytes on every run: a linear congruential sequence.
std::string garbage() {
    std::string bytes(4096, '\0');
    std::uint32_t seed = 17;
    for (char& byte : bytes) byte = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    return bytes;
}

class malformedInputs : public ::testing::Test {
protected:
    malformedInputs() {
        writePlaneRaster(folder.file("dem.tif"), 5);
        write("tracks.csv", goodTracks);
        write("ties.gpf", goodTies);
    }
    std::string write(const std::string& name, const std::string& bytes) const {
        writeTextFile(folder.file(name), bytes);
        return name;
    }
    // Expects the status and the whole output, or with no line feed at the end of
    // expected, each of its lines among the output's.
    void check(const std::vector<std::string>& arguments, int status, const std::string& expected) const {
        std::map<std::string, std::string> before;
        for (const std::string& argument : arguments)
            if (std::filesystem::is_regular_file(folder.file(argument)))
                before[argument] = readTextFile(folder.file(argument));
        std::vector<std::string> command{kalvexPath()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const commandResult result = runProgram(command, folder.path());
        const std::string& out = result.standardOutput;
        EXPECT_EQ(result.status, status) << arguments[0] << " " << arguments[1] << ": " << out;
        EXPECT_EQ(result.standardError, "");
        for (const auto& [name, bytes] : before)
            EXPECT_TRUE(readTextFile(folder.file(name)) == bytes) << name << " was changed by the run";
        if (expected.back() == '\n') {
            EXPECT_EQ(out, expected);
            return;
        }
        std::istringstream lines(expected);
        for (std::string line; std::getline(lines, line);)
            EXPECT_NE(("\n" + out).find("\n" + line + "\n"), std::string::npos) << line << " not in:\n" << out;
    }

    scratchFolder folder{"malformed"};
};

TEST_F(malformedInputs, brokenRastersEndTheRunWithTheirMessage) {
    check({write("garbage.tif", garbage()), "tracks.csv"}, 1, notATiff);
    const std::string whole = readTextFile(folder.file("dem.tif"));
    check({write("cut.tif", whole.substr(0, whole.size() / 2)), "tracks.csv"}, 1, "Error: Geotiff Read Unsuccessful");
    geoTiffLayout complexCells;
    complexCells.cellType = "CInt16";
    writeGeoTiff(folder.file("complex.tif"), complexCells);
    check({"complex.tif", "tracks.csv"}, 1,
          "Raster of unknown type, must be GDT_Float32\nError: Geotiff Read Unsuccessful\n");
    writeThreeBands(folder.file("bands.tif"));
    check({"bands.tif", "tracks.csv"}, 0,
          "Warning: The .tif holds 3 bands, the elevations are read from band 1\n" + columns + statistics);
    geoTiffLayout plain;  // GDAL's transform for a raster without georeference
    plain.transform = {0, 1, 0, 0, 0, 1};
    writeGeoTiff(folder.file("plain.tif"), plain);
    check({"plain.tif", "tracks.csv"}, 1,
          "Warning: The Top Left corner of the raster is at (0,0).\nError: Mola Tracks Read Unsuccessful");
}

TEST_F(malformedInputs, brokenTablesAndTieFilesEndTheRunWithTheirMessage) {
    for (const std::string ending : {".csv", ".tab", ".dbf"})
        check({"dem.tif", write("garbage" + ending, garbage())}, 1, "Error: Mola Tracks Read Unsuccessful");
    for (const std::string ending : {".gpf", ".rep"})
        check({"dem.tif", "tracks.csv", write("garbage" + ending, garbage()), "-s", "1"}, 1,
              "Tie Coordinate Read Unsuccessful");
}

TEST_F(malformedInputs, linesOfMegabytesAreReadWhole) {
    const std::string tracks =
        "note,lon,lat,topo,orbit\n" + std::string(3 << 20, 'n') + ",101.2,48.7,4.1,7\n,102.5,47.5,0.5,7\n";
    check({"dem.tif", write("long.csv", tracks), write("long.gpf", std::string(3 << 20, 'G') + "\n" + goodTies), "-s",
           "1"}, 0, "Count: 2\nFinal XYZ Coordinates");
}

TEST_F(malformedInputs, namesWithNonAsciiAndQuoteCharactersKeepTheirOutputs) {
    const std::string subfolder = "d\xc3\xa9m 'q' \"x\"";
    std::filesystem::create_directories(folder.file(subfolder));
    const std::string raster = subfolder + "/it's \"\xc3\xa9t\xc3\xa9\".tif";
    std::filesystem::copy_file(folder.file("dem.tif"), folder.file(raster));
    check({raster, write(subfolder + "/tr\xc3\xa4" "cks 'a'.csv", goodTracks),
           write(subfolder + "/t\"ies\".gpf", goodTies), "-s", "1"},
          0, "Final XYZ Coordinates");
    const std::string base = folder.file(subfolder + "/it's \"\xc3\xa9t\xc3\xa9\"");
    for (const char* suffix : {"_Error_Map", "_Coord_Map", "_Weightings_Map"})
        EXPECT_NE(pngSize(base + suffix + ".png").first, 0u) << suffix;
    EXPECT_TRUE(fileExists(base + "_report.txt"));
}

// A byte of another encoding in a field that a warning echoes, a value refused by an option, one shot and a tie
// file without a point: the summary holds every warning line of the console, the byte replaced.
TEST_F(malformedInputs, theSummaryHoldsEveryWarningLineWhateverItsBytes) {
    check({"dem.tif", write("one.csv", "lon,lat,topo,orbit\n101.2,48.7,4.1,7\n\x96" "4.61,48.7,4.1,7\n"),
           write("none.gpf", "point_id,lon,lat,ht\n"), "-c", "x", "-s", "1", "-p", "0", "-os"},
          0, "Final XYZ Coordinates");
    const nlohmann::json summary = nlohmann::json::parse(readTextFile(folder.file("dem_summary.json")));
    const std::string oneShot =
        "There is only one or fewer valid mola point in the raster region, not performing linear fit";
    EXPECT_EQ(summary["warnings"],
              nlohmann::json::array({"Was unable to parse a floating point number after -c, using default ",
                                     "Warning: Couldn't convert the Longitude Value \xEF\xBF\xBD"
                                     "4.61 in row 3 and column 1",
                                     "Warning: Couldnt find either the latitude, longitude, or topology value in row 3",
                                     "Warning: none.gpf holds no tie point, the run moves no tie coordinates", oneShot,
                                     oneShot,
                                     "Warning: The stages did not settle within 1 stage, the alignment may not be "
                                     "finished (-s allows more)",
                                     "Warning: Only 1 shot counts at the end, too few to hold the alignment"}));
}

TEST_F(malformedInputs, anOutputThatCannotBeCreatedEndsWithStatusOne) {
    std::filesystem::create_directories(folder.file("dem_Error_Map.gnu"));
    check({"dem.tif", "tracks.csv"}, 1, "Warning: Could not create the output file dem_Error_Map.gnu");
    std::filesystem::remove(folder.file("dem_Error_Map.gnu"));
    std::filesystem::create_directories(folder.file("dem_report.txt"));
    check({"dem.tif", "tracks.csv", "ties.gpf", "-s", "1"}, 1,
          "Warning: Could not create the output file dem_report.txt");
    EXPECT_TRUE(fileExists(folder.file("dem_Coord_Map.gnu")));
}

TEST_F(malformedInputs, absurdOptionValuesAreRefusedOrHarmless) {
    check({"dem.tif", "tracks.csv", "-s", "-2147483648", "-p", "inf", "-tl", "nan", "1", "-sfs", "99999999999", "-as",
           "a*b", "-of"},
          0,
          "Was unable to parse an integer after -s, using default \nWas unable to parse a floating point number after "
          "-p, using default\nWarning: Could not parse the replacement top left coordinate, should be of the format "
          "-tl %d %d\nWas unable to parse an integer after -sfs, using default \n\nWarning:The string specified after "
          "-as contains a '*' which will create an invalid filename, will be using the default instead\n" +
              columns + statistics);
    const std::string cores = std::to_string(std::thread::hardware_concurrency());
    check({"dem.tif", "tracks.csv", "ties.gpf", "-s", "2147483648", "-c", "1e300", "-d", "0", "-p", "1e308", "-sfp",
           "nan", "-j", "100000"},
          0,
          "Was unable to parse an integer after -s, using default \nWas unable to parse a floating point number after "
          "-sfp, using default \nWarning: -j 100000 asks for more threads than the " + cores + " cores, using " +
              cores + "\nWas unable to parse a floating point number after -d, using default\nx-translation: 0");
    check({"dem.tif", "tracks.csv", "-tl", "1e308", "1e308"}, 1,
          columns + "Error: The 4 shots were read, but none lies in the raster's box as -tl moved it\n"
                    "Error: Mola Tracks Read Unsuccessful\n");
}

TEST_F(malformedInputs, runsWriteNothingIntoTheirInputsEvenWhenAnOutputIsNamedLikeOne) {
    check({"dem.tif", write("tracks.tab", "lon lat topo orbit\n101.2 48.7 4.1 7\n102.5 47.5 0.5 7\n101.5 47.5 2 8\n"),
           "ties.gpf", "-s", "2", "-qf", "-oe", "-od"}, 0, "Final XYZ Coordinates");
    const std::string leftAsItWas = " is an input of this run, it is left as it was";
    check({"dem.tif", write("dem_errors.csv", goodTracks), "-oe"}, 1,
          "Warning: The output file dem_errors.csv" + leftAsItWas);
    std::filesystem::remove(folder.file("dem_aligned.tif"));  // left by the first run
    std::filesystem::create_hard_link(folder.file("dem.tif"), folder.file("dem_aligned.tif"));
    check({"dem.tif", "tracks.csv", "ties.gpf", "-s", "1", "-od"}, 1,
          "Warning: The output file dem_aligned.tif" + leftAsItWas);
}

}  // namespace
}  // namespace kalvex::testing
