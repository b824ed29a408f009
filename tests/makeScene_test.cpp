// The sample-scene generator: its files must agree with each other and with
// the perturbations that truth.txt states.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "readers/fileReader.h"
#include "tests/support/testSupport.h"

namespace {

using namespace kalvex::testing;

const char* const sceneFiles[] = {"dem.tif", "tracks.csv", "tracks.tab", "tracks.dbf", "ties.gpf", "truth.txt"};

commandResult runMakeScene(std::vector<std::string> options) {
    options.insert(options.begin(), makeScenePath());
    return runProgram(options);
}

std::vector<double> numbersOf(const std::string& text) {
    std::vector<double> values;
    std::istringstream words(text);
    for (double value = 0.0; words >> value;) values.push_back(value);
    return values;
}

struct truthTable : std::map<std::string, std::string> {
    explicit truthTable(const std::string& path) {
        std::istringstream lines(readTextFile(path));
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] == '#') continue;
            std::size_t equals = line.find(" = ");
            if (equals == std::string::npos) ADD_FAILURE() << "not a key = value line: " << line;
            else (*this)[line.substr(0, equals)] = line.substr(equals + 3);
        }
    }
    double number(const std::string& key) const {
        EXPECT_TRUE(count(key)) << key;
        return count(key) ? std::stod(at(key)) : std::nan("");
    }
};

// The points of a track table as kalvex reads them (orbit numbers in trackIndex); reading warns of nothing.
std::vector<kalvex::molaPoint> readTracks(const std::string& path) {
    std::unique_ptr<kalvex::molaReader> reader = kalvex::makeTrackReader(path);
    consoleCapture console;
    EXPECT_TRUE(reader && reader->read()) << path;
    EXPECT_EQ(console.text().find("arning"), std::string::npos) << console.text();
    EXPECT_EQ(console.text().find("rror"), std::string::npos) << console.text();
    std::vector<kalvex::molaPoint> points = reader->getPoints();
    for (kalvex::molaPoint& point : points) point.trackIndex = reader->orbits.at(std::size_t(point.trackIndex));
    return points;
}

struct demFile {
    int width = 0, height = 0, hasNoData = 0;
    GDALDataType type = GDT_Unknown;
    std::array<double, 6> transform{};
    double noData = 0.0, semiMajor = 0.0;
    bool projected = false;
    std::vector<float> cells;

    // Bilinear value between the four surrounding nodes, NaN near a hole or outside the grid.
    double bilinear(double x, double y) const {
        double column = (x - transform[0]) / transform[1], row = (y - transform[3]) / transform[5];
        int left = int(std::floor(column)), top = int(std::floor(row));
        if (left < 0 || top < 0 || left + 1 >= width || top + 1 >= height) return std::nan("");
        double fx = column - left, fy = row - top, value = 0.0;
        for (int corner = 0; corner < 4; ++corner) {
            float cell = cells[std::size_t(top + corner / 2) * std::size_t(width) + std::size_t(left + corner % 2)];
            if (cell == noData) return std::nan("");
            value += (corner % 2 ? fx : 1 - fx) * (corner / 2 ? fy : 1 - fy) * cell;
        }
        return value;
    }
};

demFile readDem(const std::string& path) {
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);
    demFile dem;
    std::unique_ptr<GDALDataset, decltype(&GDALClose)> dataset(
        static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)), &GDALClose);
    if (!dataset) {
        ADD_FAILURE() << "cannot open " << path;
        return dem;
    }
    dem.width = dataset->GetRasterXSize();
    dem.height = dataset->GetRasterYSize();
    EXPECT_EQ(dataset->GetRasterCount(), 1);
    dataset->GetGeoTransform(dem.transform.data());
    if (const OGRSpatialReference* reference = dataset->GetSpatialRef()) {
        dem.semiMajor = reference->GetSemiMajor();
        dem.projected = reference->IsProjected();
    }
    GDALRasterBand* band = dataset->GetRasterBand(1);
    dem.type = band->GetRasterDataType();
    dem.noData = band->GetNoDataValue(&dem.hasNoData);
    dem.cells.resize(std::size_t(dem.width) * std::size_t(dem.height));
    EXPECT_EQ(band->RasterIO(GF_Read, 0, 0, dem.width, dem.height, dem.cells.data(), dem.width, dem.height,
                             GDT_Float32, 0, 0), CE_None);
    return dem;
}

// Mean absolute and mean of point minus DEM, and how many points met the DEM:
// the DEM sampled after moving the point by (-dx, -dy) and, when asked, with
// the stated tilt and offset taken off. Polar points go through kalvex's own
// southern conversion first.
std::array<double, 3> compare(const std::vector<kalvex::molaPoint>& points, const demFile& dem,
                              const truthTable& truth, bool polar, double dx, double dy, bool untilt) {
    double meanAbsolute = 0.0, mean = 0.0, count = 0.0;
    for (const kalvex::molaPoint& point : points) {
        double x = point.x, y = point.y;
        if (polar) {
            const double pi = 3.141592653589793, t = std::tan(point.y * pi / 360.0 + pi / 4.0);
            x = std::sin(point.x * pi / 180.0) * t * 6752400.0 - dx;
            y = std::cos(point.x * pi / 180.0) * t * 6752400.0 - dy;
        } else {
            x -= dx, y -= dy;
        }
        double model = dem.bilinear(x, y);
        if (std::isnan(model)) continue;
        if (untilt)
            model -= truth.number("offset") + truth.number("tilt_x") * (x - truth.number("tilt_centre_x")) +
                     truth.number("tilt_y") * (y - truth.number("tilt_centre_y"));
        meanAbsolute += std::fabs(point.elevation - model);
        mean += point.elevation - model;
        ++count;
    }
    return {meanAbsolute / count, mean / count, count};
}

// With the stated translation, tilt and offset undone the good points sit on
// the DEM within the noise; without the translation they clearly do not. Bad
// tracks and outliers sit off by their stated offsets, ties on the DEM.
void expectTruthRealigns(const std::string& folder, bool polar) {
    SCOPED_TRACE(folder);
    truthTable truth(folder + "/truth.txt");
    demFile dem = readDem(folder + "/dem.tif");
    std::vector<kalvex::molaPoint> points = readTracks(folder + "/tracks.csv");
    double dx = truth.number("translation_x"), dy = truth.number("translation_y"), sigma = truth.number("noise_sigma");
    std::vector<double> badOrbits = numbersOf(truth["bad_tracks"]), badOffsets = numbersOf(truth["bad_track_offsets"]);
    std::vector<double> outlierRows = numbersOf(truth["outlier_rows"]), outlierOffsets = numbersOf(truth["outlier_offsets"]);
    ASSERT_EQ(badOrbits.size(), badOffsets.size());
    ASSERT_EQ(outlierRows.size(), outlierOffsets.size());
    ASSERT_GE(outlierRows.size(), 1u);
    std::map<double, std::vector<kalvex::molaPoint>> badTracks;
    std::map<double, double> outliers;
    for (std::size_t index = 0; index < outlierRows.size(); ++index) outliers[outlierRows[index]] = outlierOffsets[index];
    std::vector<kalvex::molaPoint> good;
    for (std::size_t row = 0; row < points.size(); ++row) {
        if (std::count(badOrbits.begin(), badOrbits.end(), double(points[row].trackIndex)) > 0) {
            badTracks[points[row].trackIndex].push_back(points[row]);
        } else if (outliers.count(double(row)) > 0) {
            auto one = compare({points[row]}, dem, truth, polar, dx, dy, true);
            if (one[2] == 1) {
                EXPECT_NEAR(one[1], outliers[double(row)], 5.0 * sigma + 1.0) << "outlier row " << row;
            }
        } else {
            good.push_back(points[row]);
        }
    }
    auto aligned = compare(good, dem, truth, polar, dx, dy, true);
    ASSERT_GT(aligned[2], double(good.size() * 9 / 10));
    EXPECT_NEAR(aligned[0], 0.798 * sigma, 0.15 * sigma + 0.05);  // mean |normal noise| = 0.80 sigma
    EXPECT_NEAR(aligned[1], 0.0, 0.1);
    EXPECT_GT(compare(good, dem, truth, polar, 0.0, 0.0, true)[0], 2.0);
    EXPECT_GT(compare(good, dem, truth, polar, 0.0, 0.0, false)[0], 5.0);
    for (std::size_t bad = 0; bad < badOrbits.size(); ++bad)
        EXPECT_NEAR(compare(badTracks[badOrbits[bad]], dem, truth, polar, dx, dy, true)[1], badOffsets[bad], 0.3)
            << "orbit " << badOrbits[bad];

    std::unique_ptr<kalvex::tiePointReader> ties = kalvex::makeTiePointReader(folder + "/ties.gpf");
    ASSERT_TRUE(ties && ties->read());
    EXPECT_EQ(double(ties->points.size()), truth.number("tie_points"));
    for (const kalvex::tiePoint& tie : ties->points) {
        if (!std::isnan(dem.bilinear(tie.x, tie.y))) {
            EXPECT_NEAR(tie.elevation, dem.bilinear(tie.x, tie.y), 0.5) << ties->pointIds.at(std::size_t(tie.idIndex));
        }
    }
}

class makeSceneTest : public ::testing::Test {
protected:
    static inline std::unique_ptr<scratchFolder> lonLat, polar;
    static void SetUpTestSuite() {
        lonLat = std::make_unique<scratchFolder>("makeScene_lonlat");
        polar = std::make_unique<scratchFolder>("makeScene_polar");
        commandResult first = runMakeScene({"--out", lonLat->path()});
        commandResult second = runMakeScene({"--polar", "--seed", "7", "--out", polar->path()});
        EXPECT_EQ(first.status + second.status, 0) << first.standardOutput << second.standardOutput;
        EXPECT_EQ(first.standardError + second.standardError, "");
    }
    static void TearDownTestSuite() { lonLat.reset(), polar.reset(); }
};

TEST_F(makeSceneTest, lonLatDemIsFloat32WithTheShiftedGeotransformAndDeclaredNoData) {
    demFile dem = readDem(lonLat->file("dem.tif"));
    truthTable truth(lonLat->file("truth.txt"));
    EXPECT_EQ(truth["variant"] + " " + truth["seed"], "lonlat 1");
    EXPECT_EQ(dem.type, GDT_Float32);
    EXPECT_EQ(dem.width * 1000 + dem.height, 400400);
    // Cells hold the terrain of 137.40 E, 4.55 S onwards; the file claims three columns east and two rows north.
    const std::array<double, 6> expected{137.40 + 3 * 2e-4, 2e-4, 0.0, -4.55 + 2 * 2e-4, 0.0, -2e-4};
    std::vector<double> stated = numbersOf(truth["geotransform"]);
    ASSERT_EQ(stated.size(), 6u);
    for (int index = 0; index < 6; ++index) {
        EXPECT_NEAR(dem.transform[index], expected[index], 1e-12) << index;
        EXPECT_NEAR(stated[index], dem.transform[index], 1e-12) << index;
    }
    EXPECT_NEAR(truth.number("translation_x"), -6e-4, 1e-15);
    EXPECT_NEAR(truth.number("translation_y"), -4e-4, 1e-15);
    EXPECT_NEAR(dem.semiMajor, 3396190.0, 1e-6);
    EXPECT_FALSE(dem.projected);
    ASSERT_TRUE(dem.hasNoData);
    EXPECT_EQ(dem.noData, -32768.0);
    std::size_t holes = std::count(dem.cells.begin(), dem.cells.end(), -32768.0f);
    EXPECT_EQ(holes, std::size_t(truth.number("nodata_cells")));
    EXPECT_GE(holes, 3u);
}

TEST_F(makeSceneTest, theThreeTrackTablesHoldTheSameRows) {
    EXPECT_EQ(readTextFile(lonLat->file("tracks.csv")).substr(0, 31), "lon,lat,topography,orbit,range\n");
    EXPECT_EQ(readTextFile(lonLat->file("tracks.tab")).substr(0, 31), "lon lat topography orbit range\n");
    std::string dbf = readTextFile(lonLat->file("tracks.dbf"));
    EXPECT_EQ(static_cast<unsigned char>(dbf.front()), 0x03);
    EXPECT_EQ(static_cast<unsigned char>(dbf.back()), 0x1a);
    std::vector<kalvex::molaPoint> csv = readTracks(lonLat->file("tracks.csv"));
    std::vector<kalvex::molaPoint> tab = readTracks(lonLat->file("tracks.tab"));
    std::vector<kalvex::molaPoint> dbase = readTracks(lonLat->file("tracks.dbf"));
    ASSERT_EQ(csv.size(), 2000u);
    ASSERT_EQ(tab.size(), csv.size());
    ASSERT_EQ(dbase.size(), csv.size());
    std::set<double> orbits;
    for (std::size_t row = 0; row < csv.size(); ++row) {
        for (const auto& other : {tab[row], dbase[row]}) {
            EXPECT_EQ(other.trackIndex, csv[row].trackIndex) << row;
            EXPECT_NEAR(other.x, csv[row].x, 1e-9) << row;
            EXPECT_NEAR(other.y, csv[row].y, 1e-9) << row;
            EXPECT_NEAR(other.elevation, csv[row].elevation, 1e-9) << row;
        }
        orbits.insert(csv[row].trackIndex);
    }
    std::vector<double> stated = numbersOf(truthTable(lonLat->file("truth.txt"))["orbits"]);
    EXPECT_EQ(orbits, std::set<double>(stated.begin(), stated.end()));
    EXPECT_EQ(orbits.size(), 12u);
}

TEST_F(makeSceneTest, statedTranslationTiltAndOffsetRealignTheLonLatScene) {
    expectTruthRealigns(lonLat->path(), false);
}

TEST_F(makeSceneTest, polarTracksInvertBackIntoTheDemsMetres) {
    demFile dem = readDem(polar->file("dem.tif"));
    truthTable truth(polar->file("truth.txt"));
    EXPECT_EQ(truth["variant"], "polar");
    EXPECT_TRUE(dem.projected);
    EXPECT_EQ(dem.transform[1], 100.0);
    EXPECT_EQ(dem.transform[5], -100.0);
    EXPECT_NEAR(dem.transform[0] + 199.5 * 100.0, 150000.0, 1000.0);
    EXPECT_NEAR(dem.transform[3] - 199.5 * 100.0, 250000.0, 1000.0);
    EXPECT_NEAR(truth.number("translation_x"), -300.0, 1e-9);
    EXPECT_NEAR(truth.number("translation_y"), -200.0, 1e-9);
    expectTruthRealigns(polar->path(), true);
}

TEST(makeSceneRuns, sameSeedGivesIdenticalFilesAndOptionsAreHonoured) {
    scratchFolder first("makeScene_seedA"), second("makeScene_seedB"), other("makeScene_seedC");
    const std::string folder = first.path() + "/nested";
    auto run = [](const std::string& seed, const std::string& out) {
        return runMakeScene({"--width", "150", "--height", "130", "--tracks", "5", "--points", "333", "--ties", "3",
                             "--cell", "5e-4", "--shift", "-2", "4", "--noise", "1.5", "--seed", seed, "--out", out});
    };
    commandResult result = run("42", folder);
    ASSERT_EQ(result.status, 0) << result.standardOutput;
    EXPECT_EQ(result.standardError, "");
    ASSERT_EQ(run("42", second.path()).status, 0);
    ASSERT_EQ(run("43", other.path()).status, 0);
    for (const char* name : sceneFiles) {
        std::string bytes = readTextFile(folder + "/" + name);
        EXPECT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(bytes == readTextFile(second.file(name))) << name;
        EXPECT_FALSE(bytes == readTextFile(other.file(name))) << name;
    }
    demFile dem = readDem(folder + "/dem.tif");
    truthTable truth(folder + "/truth.txt");
    EXPECT_EQ(dem.width * 1000 + dem.height, 150130);
    EXPECT_NEAR(dem.transform[0], 137.40 - 2 * 5e-4, 1e-12);
    EXPECT_NEAR(dem.transform[3], -4.55 - 4 * 5e-4, 1e-12);
    EXPECT_NEAR(truth.number("translation_x"), 2 * 5e-4, 1e-15);
    EXPECT_NEAR(truth.number("translation_y"), 4 * 5e-4, 1e-15);
    EXPECT_EQ(numbersOf(truth["orbits"]).size(), 5u);
    EXPECT_EQ(readTracks(folder + "/tracks.csv").size(), 333u);
    EXPECT_EQ(truth["tie_points"], "3");
    expectTruthRealigns(folder, false);
}

TEST(makeSceneRuns, badCommandLinesPrintOneUsageLineAndExitWithTwo) {
    scratchFolder scene("makeScene_bad");
    const std::vector<std::vector<std::string>> badLines{
        {"--bogus"}, {"--width"}, {"--width", "12x"}, {"--width", "-5"}, {"--points", "0"}, {"--seed", "-1"},
        {"--cell", "0"}, {"--cell", "abc"}, {"--shift", "3"}, {"--tracks", "50", "--points", "10"}, {"--width", "12"},
        {"--polar", "--cell", "20000", "--width", "3000", "--height", "3000"}, {"--cell", "0.5", "--width", "400"}};
    for (std::vector<std::string> line : badLines) {
        SCOPED_TRACE(line.front() + (line.size() > 1 ? " " + line[1] : ""));
        line.insert(line.end(), {"--out", scene.path()});
        commandResult result = runMakeScene(line);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.standardError, "");
        ASSERT_FALSE(result.standardOutput.empty());
        EXPECT_EQ(result.standardOutput.find('\n'), result.standardOutput.size() - 1);
        EXPECT_NE(result.standardOutput.find("usage: makeScene"), std::string::npos);
        EXPECT_FALSE(fileExists(scene.file("dem.tif")));
    }
    commandResult help = runMakeScene({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.standardError, "");
    for (const char* option : {"--width", "--tracks", "--points", "--seed", "--out", "--cell", "--shift", "--polar"})
        EXPECT_NE(help.standardOutput.find(option), std::string::npos) << option;
}

}  // namespace
