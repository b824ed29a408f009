#pragma once
// Helpers shared by the tests: a console that keeps nothing, scratch folders, small GeoTIFFs and running the
// kalvex executable.
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/alignmentModel.h"

namespace kalvex::testing {

// A console that keeps nothing, for models whose console text a test does not read.
std::ostream& discardedConsole();

// A fresh empty folder below the build folder, removed again by the destructor.
class scratchFolder {
public:
    explicit scratchFolder(const std::string& name);
    ~scratchFolder();
    scratchFolder(const scratchFolder&) = delete;
    scratchFolder& operator=(const scratchFolder&) = delete;
    const std::string& path() const { return folder; }
    std::string file(const std::string& name) const { return folder + "/" + name; }

private:
    std::string folder;
};

// Numbers as text with ten significant digits, each followed by a space, so that NaN matches NaN.
std::string textOf(const std::vector<double>& values);

void writeTextFile(const std::string& path, const std::string& text);
std::string readTextFile(const std::string& path);
bool fileExists(const std::string& path);

struct geoTiffLayout {
    int width = 5;
    int height = 4;
    std::array<double, 6> transform{100.0, 1.0, 0.0, 200.0, 0.0, -1.0};
    std::vector<float> cells;          // row-major; empty: cell (c, r) = c + 10 * r
    std::vector<std::string> options;  // of the GTiff driver; none: striped, one row per strip
    std::string cellType = "Float32";  // GDAL's name of the cells' type
    bool hasNoData = false;
    double noDataValue = 0.0;
    bool sparse = false;  // declare the cells without writing any
    double scale = 1.0;   // of the band's stored values
    double offset = 0.0;
    std::string driver = "GTiff";  // GDAL's name of the format
};
void writeGeoTiff(const std::string& path, const geoTiffLayout& layout);  // in the layout's format

// A size x size GeoTIFF of cells 1 apart, their centres from (100, 50) down and to the right, whose cells follow the
// plane z = 2c - r (z = 2X + Y - 250 in map units).
void writePlaneRaster(const std::string& path, int size);

// A raster held in memory, cell (c, r) = value(c, r), marked as read.
elevationRaster makeRaster(std::uint32_t width, std::uint32_t height, const geoTransform& transform,
                           const std::function<double(int, int)>& value);

// The state of a ready model of a north-up raster of 3 x 3 nodes from (100, 200) to (102, 198), read so, and one
// unmoved tie point.
runState tinyMapState();

struct commandResult {
    int status = -1;
    std::string standardOutput;
    std::string standardError;
};
// Runs a program with arguments (no shell) in a working folder.
commandResult runProgram(const std::vector<std::string>& arguments, const std::string& workingFolder = ".");
// Width and height from a PNG file's header, or zeros when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& path);

// Writes a generated scene into the folder with the generator's options.
commandResult makeSceneIn(const std::string& folder, const std::vector<std::string>& options);

std::string kalvexPath();      // build/kalvex
std::string makeScenePath();   // build/makeScene
std::string sourceDir();
std::string sharedDataDir();   // ../shared/realdata beside the project, may be missing
std::string testDataDir();     // tests/data
std::string testDataText(const std::string& name);  // the text of a file below tests/data

// Replays a transcript of kalvex runs in a folder and returns it as the runs
// give it now. A line "$ kalvex WORDS" is run there and followed by its
// console, "[exit N]" and the files it left beside those the folder held at
// first (PNG images with their size); a line "--- NAME" after it by the text
// of that file; lines beginning with "#" stay. The files a run left are
// removed before the next run.
std::string replayRuns(const std::string& transcript, const std::string& folder);

// Cases kept in a text file under tests/data. "== name" starts a case, "-- key: value"
// gives it a one-line field and "-- key" a field of the lines that follow, each with its
// line feed (blank lines at its end left out); lines starting with "# " are comments.
// Values take the escapes \n \r \t \\ and \xHH.
struct textCase {
    std::string name;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string operator[](const std::string& key) const;  // empty when the case has no such field
};
std::vector<textCase> readTextCases(const std::string& path);
inline void PrintTo(const textCase& test, std::ostream* stream) { *stream << test.name; }

}  // namespace kalvex::testing
