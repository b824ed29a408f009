#include "tools/sceneOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kalvex::scene {

namespace {

// Whole-word conversions: "12x", "" and out-of-range values are refused
// rather than read as a prefix, because a typo should not silently become
// a different scene.
bool readInteger(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

bool readSeed(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    value = parsed;
    return true;
}

bool readReal(const std::string& text, double low, double high, double& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

bool readPositiveReal(const std::string& text, double& value) {
    return readReal(text, 0.0, std::numeric_limits<double>::max(), value);
}

class optionScanner {
public:
    explicit optionScanner(const std::vector<std::string>& arguments) : words(arguments) {}

    parseResult scan() {
        while (next < words.size() && result.outcome == parseOutcome::run) scanOne(words[next++]);
        if (result.outcome == parseOutcome::run) checkCounts();
        return result;
    }

private:
    const std::vector<std::string>& words;
    std::size_t next = 0;
    parseResult result;

    void fail(const std::string& problem) {
        result.outcome = parseOutcome::bad;
        result.problem = problem;
    }

    bool takeValue(const std::string& option, std::string& value) {
        if (next >= words.size()) {
            fail(option + " needs a value");
            return false;
        }
        value = words[next++];
        return true;
    }

    void scanInteger(const std::string& option, long long low, long long high, int& target) {
        std::string text;
        long long value = 0;
        if (!takeValue(option, text)) return;
        if (!readInteger(text, low, high, value)) {
            fail("bad value for " + option + ": " + text);
            return;
        }
        target = int(value);
    }

    void scanReal(const std::string& option, double low, double high, double& target) {
        std::string text;
        if (takeValue(option, text) && !readReal(text, low, high, target)) fail("bad value for " + option + ": " + text);
    }

    // Comma-separated columns, one per track.
    void scanColumns(const std::string& option, std::vector<double>& columns) {
        std::string text;
        if (!takeValue(option, text)) return;
        columns.clear();
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = text.find(',', start);
            double column = 0.0;
            if (!readReal(text.substr(start, comma - start), -100000.0, 200000.0, column)) {
                fail("bad value for " + option + ": " + text);
                return;
            }
            columns.push_back(column);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }

    void scanOne(const std::string& word) {
        sceneOptions& options = result.options;
        std::string text;
        if (word == "--help" || word == "-h") {
            result.outcome = parseOutcome::help;
        } else if (word == "--width") {
            scanInteger(word, 1, 100000, options.width);
        } else if (word == "--height") {
            scanInteger(word, 1, 100000, options.height);
        } else if (word == "--tracks") {
            scanInteger(word, 1, 1000000, options.tracks);
        } else if (word == "--points") {
            scanInteger(word, 1, 10000000, options.points);
        } else if (word == "--ties") {
            scanInteger(word, 0, 999, options.ties);
        } else if (word == "--shift") {
            scanInteger(word, -1000, 1000, options.shiftColumns);
            if (result.outcome == parseOutcome::run) scanInteger(word, -1000, 1000, options.shiftRows);
        } else if (word == "--seed") {
            if (takeValue(word, text) && !readSeed(text, options.seed)) fail("bad value for --seed: " + text);
        } else if (word == "--cell") {
            if (takeValue(word, text) && (!readPositiveReal(text, options.cell) || options.cell <= 0.0))
                fail("bad value for --cell: " + text);
        } else if (word == "--noise") {
            if (takeValue(word, text) && (!readPositiveReal(text, options.noiseSigma) || options.noiseSigma > 1000.0))
                fail("bad value for --noise: " + text);
        } else if (word == "--rotation") {
            scanReal(word, -5.0, 5.0, options.rotation);
        } else if (word == "--overhang") {
            scanReal(word, 0.0, 10.0, options.overhang);
        } else if (word == "--wiggle") {
            scanReal(word, 0.0, 1000.0, options.wiggle);
        } else if (word == "--relief") {
            scanReal(word, 0.0, 10.0, options.relief);
        } else if (word == "--track-columns") {
            scanColumns(word, options.trackColumns);
        } else if (word == "--nodata-block") {
            for (int& value : options.noDataBlock)
                if (result.outcome == parseOutcome::run) scanInteger(word, 0, 100000, value);
        } else if (word == "--tilt") {
            scanReal(word, -1000.0, 1000.0, options.tilt);
        } else if (word == "--bad-tracks") {
            scanInteger(word, 0, 1000000, options.badTracks);
        } else if (word == "--bad-offset") {
            scanReal(word, -1000.0, 1000.0, options.badOffset);
        } else if (word == "--out") {
            if (takeValue(word, text)) {
                if (text.empty()) fail("--out needs a folder name");
                options.outFolder = text;
            }
        } else if (word == "--polar") {
            options.polar = true;
        } else if (word == "--eqc") {
            options.equirectangular = true;
        } else if (word == "--radius") {
            scanReal(word, 1000.0, 1e8, options.radius);
        } else if (word == "--clean") {
            options.clean = true;
        } else if (word == "--true-georeference") {
            options.trueGeoreference = true;
        } else if (word == "--deflate") {
            options.deflate = true;
        } else {
            fail("unknown option: " + word);
        }
    }

    void checkCounts() {
        sceneOptions& options = result.options;
        if (!options.trackColumns.empty()) options.tracks = int(options.trackColumns.size());
        if (options.tracks > options.points) fail("--tracks must not exceed --points");
        else if (options.polar && options.equirectangular) fail("--polar and --eqc exclude each other");
        else if (double(options.width) * double(options.height) > 400000000.0) fail("scene too large (at most 400 million cells)");
    }
};

}  // namespace

parseResult parseSceneOptions(const std::vector<std::string>& arguments) {
    return optionScanner(arguments).scan();
}

std::string usageLine() {
    return "usage: makeScene [--width N] [--height N] [--tracks N] [--points N] [--ties N] [--seed N] "
           "[--cell SIZE] [--shift COLUMNS ROWS] [--noise SIGMA] [--clean] [--polar] [--eqc] [--radius METRES] "
           "[--rotation DEGREES] [--tilt METRES] [--bad-tracks N] [--bad-offset METRES] [--overhang HEIGHTS] "
           "[--track-columns C1,C2,...] [--nodata-block COLUMN ROW WIDTH HEIGHT] [--relief SHARE] [--wiggle CELLS] "
           "[--true-georeference] [--deflate] [--out DIR] [--help]";
}

std::vector<std::string> helpLines() {
    return {
        usageLine(),
        "Writes a sample scene for kalvex: dem.tif, tracks.csv, tracks.tab, tracks.dbf, ties.gpf and truth.txt.",
        "  --width N, --height N   DEM size in cells (default 400 x 400)",
        "  --tracks N              number of altimeter tracks (default 12)",
        "  --points N              altimeter points over all tracks (default 2000)",
        "  --ties N                tie points in ties.gpf (default 8)",
        "  --seed N                random seed; the same seed gives the same files (default 1)",
        "  --cell SIZE             cell size in map units (default 0.0002 degrees, 100 metres with --polar,",
        "                          12 metres with --eqc)",
        "  --shift COLUMNS ROWS    georeference error of the DEM in cells (default 3 -2)",
        "  --noise SIGMA           altimeter noise in metres (default 0.5)",
        "  --clean                 no bad tracks and no gross outliers",
        "  --polar                 south polar stereographic DEM in metres; tracks stay in degrees",
        "  --eqc                   equirectangular DEM in metres at the place of the degree scene",
        "  --radius METRES         sphere of a --polar or --eqc DEM (default 3376200 with --polar, the",
        "                          sphere kalvex's -pr assumes without a spatial reference; 3396190 with --eqc)",
        "  --rotation DEGREES      the cells truly lie turned counter-clockwise about the DEM's centre",
        "                          against the written georeference (-5 to 5, default 0)",
        "  --tilt METRES           tilt added from the west to the east edge; 0.6 of it from south to",
        "                          north (default 20)",
        "  --bad-tracks N          bad tracks (default 2 with 8 tracks or more, 1 with 3 or more)",
        "  --bad-offset METRES     offset of the first bad track; the second gets -6/5 of it (default 25)",
        "  --overhang HEIGHTS      the tracks run on this many raster heights beyond the north and",
        "                          south edges (default 0: they stay inside the margins)",
        "  --track-columns C1,C2   true columns of the tracks at the middle row, one per track; they",
        "                          may lie beyond the edges (default: spread evenly inside the margins)",
        "  --nodata-block C R W H  a block of W x H no-data cells from column C and row R",
        "  --relief SHARE          share of the hills, craters and undulations kept (default 1; 0 is",
        "                          flat ground, a tilted plane that fixes no translation)",
        "  --wiggle CELLS          the tracks meander this many cells each way across their line",
        "  --true-georeference     dem.tif with its true georeference: what a perfect alignment leaves",
        "  --deflate               dem.tif compressed with DEFLATE (its tiles compressed on every core)",
        "  --out DIR               output folder, made when missing (default .)",
        "  --help                  this text",
    };
}

}  // namespace kalvex::scene
