#pragma once
// What the user asked for on the command line.
#include <cstdint>
#include <string>
#include <vector>

namespace kalvex::scene {

struct sceneOptions {
    int width = 400;            // cells
    int height = 400;
    int tracks = 12;
    int points = 2000;          // over all tracks
    int ties = 8;
    std::uint64_t seed = 1;
    std::string outFolder = ".";
    double cell = 0.0;          // 0: the variant's own default
    int shiftColumns = 3;       // how far the written georeference is moved, in cells
    int shiftRows = -2;
    double noiseSigma = 0.5;    // metres
    bool polar = false;
    bool equirectangular = false;  // equirectangular metres instead of degrees
    double radius = 0.0;        // of the sphere of a projected scene; 0: the variant's own
    bool clean = false;         // no bad tracks and no gross outliers
    double rotation = 0.0;      // degrees the cells truly lie turned against the written georeference
    double tilt = 20.0;         // metres added from the west edge to the east edge (0.6 of it south to north)
    int badTracks = -1;         // -1: two with 8 tracks or more, one with 3 or more, else none
    double badOffset = 25.0;    // metres on the first bad track; the second gets -6/5 of it
    bool trueGeoreference = false;  // dem.tif with its true georeference, as a perfect alignment leaves it
    bool deflate = false;           // dem.tif compressed, as large rasters are usually stored
    double overhang = 0.0;      // raster heights the tracks run on beyond its north and south edges
    std::vector<double> trackColumns;  // true columns of the tracks at the middle row; empty: spread evenly
    int noDataBlock[4] = {0, 0, 0, 0};  // first column, first row, width, height of a block of no-data cells
    double relief = 1.0;        // share of the hills, craters and undulations kept; 0: flat ground
    double wiggle = 0.0;        // cells the tracks meander across their line
};

enum class parseOutcome { run, help, bad };

struct parseResult {
    parseOutcome outcome = parseOutcome::run;
    sceneOptions options;
    std::string problem;        // what was wrong, for a bad command line
};

// arguments excludes the program name.
parseResult parseSceneOptions(const std::vector<std::string>& arguments);

std::string usageLine();
std::vector<std::string> helpLines();

}  // namespace kalvex::scene
