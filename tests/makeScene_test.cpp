// The sample-scene generator: its files must agree with each other and with
// the perturbations that truth.txt states, or every end-to-end check built on
// them would judge kalvex against a wrong answer.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/testSupport.h"

namespace {

using namespace kalvex::testing;

const char* const sceneFiles[] = {"dem.tif", "tracks.csv", "tracks.tab", "tracks.dbf", "ties.gpf", "truth.txt"};

commandResult runMakeScene(const std::vector<std::string>& options) {
    std::vector<std::string> arguments{makeScenePath()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return runProgram(arguments);
}

// ---- truth.txt ----

using truthTable = std::map<std::string, std::string>;

truthTable readTruth(const std::string& path) {
    truthTable truth;
    std::istringstream lines(readTextFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::size_t equals = line.find(" = ");
        if (equals == std::string::npos) {
            ADD_FAILURE() << "not a key = value line: " << line;
            continue;
        }
        truth[line.substr(0, equals)] = line.substr(equals + 3);
    }
    return truth;
}

std::vector<double> numbersOf(const std::string& text) {
    std::vector<double> values;
    std::istringstream words(text);
    double value = 0.0;
    while (words >> value) values.push_back(value);
    return values;
}

double numberOf(const truthTable& truth, const std::string& key) {
    auto found = truth.find(key);
    if (found == truth.end()) {
        ADD_FAILURE() << "truth.txt has no " << key;
        return std::nan("");
    }
    return std::strtod(found->second.c_str(), nullptr);
}

// ---- track tables ----

struct tableRow {
    std::vector<std::string> fields;
    double value(std::size_t column) const { return std::strtod(fields.at(column).c_str(), nullptr); }
};

struct table {
    std::vector<std::string> names;
    std::vector<tableRow> rows;
};

std::vector<std::string> splitFields(const std::string& line, char separator) {
    std::vector<std::string> fields;
    if (separator == ' ') {
        std::istringstream words(line);
        std::string word;
        while (words >> word) fields.push_back(word);
        return fields;
    }
    std::string field;
    std::istringstream parts(line);
    while (std::getline(parts, field, separator)) fields.push_back(field);
    return fields;
}

table readDelimited(const std::string& path, char separator) {
    table result;
    std::istringstream lines(readTextFile(path));
    std::string line;
    if (std::getline(lines, line)) result.names = splitFields(line, separator);
    while (std::getline(lines, line)) result.rows.push_back({splitFields(line, separator)});
    return result;
}

unsigned littleEndian(const std::string& bytes, std::size_t offset, int size) {
    unsigned value = 0;
    for (int byte = size - 1; byte >= 0; --byte) value = value * 256 + static_cast<unsigned char>(bytes.at(offset + byte));
    return value;
}

std::string trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first);
}

struct dbfLayout {
    unsigned records = 0;
    unsigned headerLength = 0;
    unsigned recordLength = 0;
    std::vector<std::string> names;
    std::vector<char> types;
    std::vector<unsigned> lengths;
    std::vector<unsigned> decimals;
};

dbfLayout readDbfLayout(const std::string& bytes) {
    dbfLayout layout;
    layout.records = littleEndian(bytes, 4, 4);
    layout.headerLength = littleEndian(bytes, 8, 2);
    layout.recordLength = littleEndian(bytes, 10, 2);
    for (std::size_t descriptor = 32; descriptor + 1 < layout.headerLength; descriptor += 32) {
        std::string name = bytes.substr(descriptor, 11);
        layout.names.push_back(name.substr(0, name.find('\0')));
        layout.types.push_back(bytes.at(descriptor + 11));
        layout.lengths.push_back(littleEndian(bytes, descriptor + 16, 1));
        layout.decimals.push_back(littleEndian(bytes, descriptor + 17, 1));
    }
    return layout;
}

table readDbf(const std::string& path) {
    std::string bytes = readTextFile(path);
    dbfLayout layout = readDbfLayout(bytes);
    table result;
    result.names = layout.names;
    std::size_t offset = layout.headerLength;
    for (unsigned record = 0; record < layout.records; ++record) {
        EXPECT_EQ(bytes.at(offset), ' ') << "record " << record;
        std::size_t field = offset + 1;
        tableRow row;
        for (unsigned length : layout.lengths) {
            row.fields.push_back(trimmed(bytes.substr(field, length)));
            field += length;
        }
        result.rows.push_back(row);
        offset += layout.recordLength;
    }
    return result;
}

// ---- dem.tif ----

struct demFile {
    int width = 0;
    int height = 0;
    int blockWidth = 0;
    int blockHeight = 0;
    GDALDataType type = GDT_Unknown;
    int bands = 0;
    std::array<double, 6> transform{};
    bool hasNoData = false;
    double noData = 0.0;
    double semiMajor = 0.0;
    bool projected = false;
    std::vector<float> cells;

    float cell(int column, int row) const { return cells[std::size_t(row) * std::size_t(width) + std::size_t(column)]; }

    // Bilinear value between the four surrounding nodes, NaN near a hole or
    // outside the grid.
    double bilinear(double x, double y) const {
        double column = (x - transform[0]) / transform[1];
        double row = (y - transform[3]) / transform[5];
        int left = int(std::floor(column));
        int top = int(std::floor(row));
        if (left < 0 || top < 0 || left + 1 >= width || top + 1 >= height) return std::nan("");
        double fx = column - left;
        double fy = row - top;
        double corners[4] = {cell(left, top), cell(left + 1, top), cell(left, top + 1), cell(left + 1, top + 1)};
        for (double corner : corners)
            if (hasNoData && corner == noData) return std::nan("");
        return (1 - fy) * ((1 - fx) * corners[0] + fx * corners[1]) + fy * ((1 - fx) * corners[2] + fx * corners[3]);
    }
};

struct datasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};

demFile readDem(const std::string& path) {
    GDALAllRegister();
    CPLSetErrorHandler(CPLQuietErrorHandler);
    demFile dem;
    std::unique_ptr<GDALDataset, datasetCloser> dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
    if (!dataset) {
        ADD_FAILURE() << "cannot open " << path;
        return dem;
    }
    dem.width = dataset->GetRasterXSize();
    dem.height = dataset->GetRasterYSize();
    dem.bands = dataset->GetRasterCount();
    dataset->GetGeoTransform(dem.transform.data());
    if (const OGRSpatialReference* reference = dataset->GetSpatialRef()) {
        dem.semiMajor = reference->GetSemiMajor();
        dem.projected = reference->IsProjected();
    }
    GDALRasterBand* band = dataset->GetRasterBand(1);
    band->GetBlockSize(&dem.blockWidth, &dem.blockHeight);
    dem.type = band->GetRasterDataType();
    int hasNoData = 0;
    dem.noData = band->GetNoDataValue(&hasNoData);
    dem.hasNoData = hasNoData != 0;
    dem.cells.resize(std::size_t(dem.width) * std::size_t(dem.height));
    EXPECT_EQ(band->RasterIO(GF_Read, 0, 0, dem.width, dem.height, dem.cells.data(), dem.width, dem.height,
                             GDT_Float32, 0, 0),
              CE_None);
    return dem;
}

// ---- ties.gpf ----

struct tieRecord {
    std::string id;
    double y = 0.0;
    double x = 0.0;
    double height = 0.0;
};

struct gpfFile {
    std::string title;
    std::string count;
    std::string header;
    std::vector<tieRecord> ties;
};

gpfFile readGpf(const std::string& path) {
    gpfFile gpf;
    std::istringstream text(readTextFile(path));
    std::getline(text, gpf.title);
    std::getline(text, gpf.count);
    std::getline(text, gpf.header);
    tieRecord tie;
    std::string stat, known, ignored;
    while (text >> tie.id >> stat >> known >> tie.y >> tie.x >> tie.height) {
        for (int value = 0; value < 6; ++value) text >> ignored;
        gpf.ties.push_back(tie);
    }
    return gpf;
}

// ---- geometry shared by the alignment checks ----

struct scenePoint {
    double x = 0.0;             // map units of the DEM
    double y = 0.0;
    double topography = 0.0;
    int orbit = 0;
    std::size_t row = 0;
};

// The exact conversion kalvex makes of southern points in its polar mode.
std::array<double, 2> southPolar(double lon, double lat) {
    const double pi = 3.141592653589793;
    double lonr = lon * pi / 180.0;
    double t = std::tan(lat * pi / 360.0 + pi / 4.0);
    return {std::sin(lonr) * t * 6752400.0, std::cos(lonr) * t * 6752400.0};
}

std::vector<scenePoint> readScenePoints(const std::string& folder, bool polar) {
    table csv = readDelimited(folder + "/tracks.csv", ',');
    std::vector<scenePoint> points;
    for (std::size_t row = 0; row < csv.rows.size(); ++row) {
        const tableRow& fields = csv.rows[row];
        scenePoint point;
        point.x = fields.value(0);
        point.y = fields.value(1);
        if (polar) {
            std::array<double, 2> metres = southPolar(point.x, point.y);
            point.x = metres[0];
            point.y = metres[1];
        }
        point.topography = fields.value(2);
        point.orbit = int(fields.value(3));
        point.row = row;
        points.push_back(point);
    }
    return points;
}

struct perturbation {
    double offset = 0.0;
    double tiltX = 0.0;
    double tiltY = 0.0;
    double centreX = 0.0;
    double centreY = 0.0;
    double at(double x, double y) const { return offset + tiltX * (x - centreX) + tiltY * (y - centreY); }
};

perturbation perturbationOf(const truthTable& truth) {
    return {numberOf(truth, "offset"), numberOf(truth, "tilt_x"), numberOf(truth, "tilt_y"),
            numberOf(truth, "tilt_centre_x"), numberOf(truth, "tilt_centre_y")};
}

struct errorSummary {
    double meanAbsolute = 0.0;
    double mean = 0.0;
    std::size_t count = 0;
};

// Point minus DEM, the DEM sampled after moving the point by (-dx, -dy) into
// the written frame and, when asked, with the tilt and offset taken off.
errorSummary compare(const std::vector<scenePoint>& points, const demFile& dem, double dx, double dy,
                     const perturbation* removed) {
    errorSummary summary;
    for (const scenePoint& point : points) {
        double x = point.x - dx;
        double y = point.y - dy;
        double model = dem.bilinear(x, y);
        if (std::isnan(model)) continue;
        if (removed != nullptr) model -= removed->at(x, y);
        double error = point.topography - model;
        summary.meanAbsolute += std::fabs(error);
        summary.mean += error;
        ++summary.count;
    }
    if (summary.count > 0) {
        summary.meanAbsolute /= double(summary.count);
        summary.mean /= double(summary.count);
    }
    return summary;
}

struct pointGroups {
    std::vector<scenePoint> good;
    std::map<int, std::vector<scenePoint>> badTracks;
    std::vector<scenePoint> outliers;
};

pointGroups groupPoints(const std::vector<scenePoint>& points, const truthTable& truth) {
    std::vector<double> badOrbits = numbersOf(truth.at("bad_tracks"));
    std::vector<double> outlierRows = numbersOf(truth.at("outlier_rows"));
    std::set<std::size_t> outliers(outlierRows.begin(), outlierRows.end());
    pointGroups groups;
    for (const scenePoint& point : points) {
        bool bad = false;
        for (double orbit : badOrbits) bad = bad || int(orbit) == point.orbit;
        if (bad) groups.badTracks[point.orbit].push_back(point);
        else if (outliers.count(point.row) > 0) groups.outliers.push_back(point);
        else groups.good.push_back(point);
    }
    return groups;
}

// The heart of every scene check: with the stated translation, tilt and offset
// undone the good points sit on the DEM within the noise; without the
// translation, or without anything undone, they clearly do not.
void expectTruthRealigns(const std::string& folder, bool polar) {
    truthTable truth = readTruth(folder + "/truth.txt");
    demFile dem = readDem(folder + "/dem.tif");
    pointGroups groups = groupPoints(readScenePoints(folder, polar), truth);
    perturbation tilt = perturbationOf(truth);
    double dx = numberOf(truth, "translation_x");
    double dy = numberOf(truth, "translation_y");
    double sigma = numberOf(truth, "noise_sigma");

    errorSummary aligned = compare(groups.good, dem, dx, dy, &tilt);
    errorSummary unshifted = compare(groups.good, dem, 0.0, 0.0, &tilt);
    errorSummary raw = compare(groups.good, dem, 0.0, 0.0, nullptr);
    ASSERT_GT(aligned.count, groups.good.size() * 9 / 10);
    // The mean absolute value of normal noise is 0.80 sigma.
    EXPECT_NEAR(aligned.meanAbsolute, 0.798 * sigma, 0.15 * sigma + 0.05);
    EXPECT_NEAR(aligned.mean, 0.0, 0.1);
    EXPECT_GT(unshifted.meanAbsolute, 2.0);
    EXPECT_GT(raw.meanAbsolute, 5.0);

    std::vector<double> badOrbits = numbersOf(truth.at("bad_tracks"));
    std::vector<double> badOffsets = numbersOf(truth.at("bad_track_offsets"));
    ASSERT_EQ(badOrbits.size(), badOffsets.size());
    for (std::size_t bad = 0; bad < badOrbits.size(); ++bad) {
        errorSummary track = compare(groups.badTracks[int(badOrbits[bad])], dem, dx, dy, &tilt);
        EXPECT_NEAR(track.mean, badOffsets[bad], 0.3) << "orbit " << badOrbits[bad];
    }
    std::vector<double> outlierOffsets = numbersOf(truth.at("outlier_offsets"));
    ASSERT_EQ(groups.outliers.size(), outlierOffsets.size());
    for (std::size_t outlier = 0; outlier < groups.outliers.size(); ++outlier) {
        errorSummary one = compare({groups.outliers[outlier]}, dem, dx, dy, &tilt);
        if (one.count == 1) {
            EXPECT_NEAR(one.mean, outlierOffsets[outlier], 5.0 * sigma + 1.0);
        }
    }
}

// ---- scenes shared by the tests ----

class makeSceneTest : public ::testing::Test {
protected:
    static std::unique_ptr<scratchFolder> lonLatScene;
    static std::unique_ptr<scratchFolder> polarScene;

    static void SetUpTestSuite() {
        lonLatScene = std::make_unique<scratchFolder>("makeScene_lonlat");
        polarScene = std::make_unique<scratchFolder>("makeScene_polar");
        commandResult lonLat = runMakeScene({"--out", lonLatScene->path()});
        commandResult polar = runMakeScene({"--polar", "--seed", "7", "--out", polarScene->path()});
        EXPECT_EQ(lonLat.status, 0) << lonLat.standardOutput;
        EXPECT_EQ(polar.status, 0) << polar.standardOutput;
        EXPECT_EQ(lonLat.standardError + polar.standardError, "");
    }

    static void TearDownTestSuite() {
        lonLatScene.reset();
        polarScene.reset();
    }
};

std::unique_ptr<scratchFolder> makeSceneTest::lonLatScene;
std::unique_ptr<scratchFolder> makeSceneTest::polarScene;

TEST_F(makeSceneTest, writesEveryFileAndStatesTheDefaults) {
    for (const char* name : sceneFiles) EXPECT_TRUE(fileExists(lonLatScene->file(name))) << name;
    truthTable truth = readTruth(lonLatScene->file("truth.txt"));
    EXPECT_EQ(truth["variant"], "lonlat");
    EXPECT_EQ(truth["seed"], "1");
    EXPECT_EQ(numberOf(truth, "width"), 400);
    EXPECT_EQ(numberOf(truth, "height"), 400);
    EXPECT_EQ(numberOf(truth, "tracks"), 12);
    EXPECT_EQ(numberOf(truth, "points"), 2000);
    EXPECT_EQ(numberOf(truth, "tie_points"), 8);
    EXPECT_EQ(numberOf(truth, "noise_sigma"), 0.5);
    EXPECT_EQ(numberOf(truth, "shift_columns"), 3);
    EXPECT_EQ(numberOf(truth, "shift_rows"), -2);
    EXPECT_EQ(numberOf(truth, "translation_columns"), -3);
    EXPECT_EQ(numberOf(truth, "translation_rows"), 2);
    EXPECT_NEAR(numberOf(truth, "translation_x"), -6e-4, 1e-15);
    EXPECT_NEAR(numberOf(truth, "translation_y"), -4e-4, 1e-15);
    EXPECT_EQ(numberOf(truth, "offset"), 8);
    EXPECT_NEAR(numberOf(truth, "tilt_per_column") * 399, 20.0, 1e-9);
    EXPECT_NEAR(numberOf(truth, "tilt_per_row") * 399, -12.0, 1e-9);
    std::size_t bad = numbersOf(truth["bad_tracks"]).size();
    EXPECT_TRUE(bad == 1 || bad == 2);
    EXPECT_EQ(numbersOf(truth["outlier_rows"]).size(), std::size_t(numberOf(truth, "outliers")));
    EXPECT_GE(numberOf(truth, "outliers"), 1);
}

TEST_F(makeSceneTest, demIsFloat32WithTheShiftedGeotransformAndDeclaredNoData) {
    demFile dem = readDem(lonLatScene->file("dem.tif"));
    truthTable truth = readTruth(lonLatScene->file("truth.txt"));
    EXPECT_EQ(dem.type, GDT_Float32);
    EXPECT_EQ(dem.bands, 1);
    EXPECT_EQ(dem.width, 400);
    EXPECT_EQ(dem.height, 400);
    EXPECT_EQ(dem.blockWidth, 256);
    EXPECT_EQ(dem.blockHeight, 256);
    // Cells hold the terrain of 137.40 E, 4.55 S onwards; the file claims
    // three columns east and two rows north of that.
    EXPECT_NEAR(dem.transform[0], 137.40 + 3 * 2e-4, 1e-12);
    EXPECT_NEAR(dem.transform[1], 2e-4, 1e-15);
    EXPECT_EQ(dem.transform[2], 0.0);
    EXPECT_NEAR(dem.transform[3], -4.55 + 2 * 2e-4, 1e-12);
    EXPECT_EQ(dem.transform[4], 0.0);
    EXPECT_NEAR(dem.transform[5], -2e-4, 1e-15);
    std::vector<double> stated = numbersOf(truth["geotransform"]);
    ASSERT_EQ(stated.size(), 6u);
    for (int index = 0; index < 6; ++index) EXPECT_NEAR(stated[index], dem.transform[index], 1e-12) << index;
    EXPECT_NEAR(dem.semiMajor, 3396190.0, 1e-6);
    EXPECT_FALSE(dem.projected);

    ASSERT_TRUE(dem.hasNoData);
    EXPECT_EQ(dem.noData, -32768.0);
    std::size_t holes = 0;
    float lowest = 1e30f, highest = -1e30f;
    for (float cell : dem.cells) {
        if (cell == -32768.0f) {
            ++holes;
            continue;
        }
        lowest = std::min(lowest, cell);
        highest = std::max(highest, cell);
    }
    EXPECT_EQ(holes, std::size_t(numberOf(truth, "nodata_cells")));
    EXPECT_GE(holes, 3u);
    EXPECT_LE(holes, 50u);
    EXPECT_GT(lowest, -3200.0f);
    EXPECT_LT(highest, -800.0f);
    EXPECT_GT(highest - lowest, 150.0f);
}

TEST_F(makeSceneTest, theThreeTrackTablesHoldTheSameRows) {
    table csv = readDelimited(lonLatScene->file("tracks.csv"), ',');
    table tab = readDelimited(lonLatScene->file("tracks.tab"), ' ');
    table dbf = readDbf(lonLatScene->file("tracks.dbf"));
    EXPECT_EQ(readTextFile(lonLatScene->file("tracks.csv")).substr(0, 31), "lon,lat,topography,orbit,range\n");
    EXPECT_EQ(tab.names, (std::vector<std::string>{"lon", "lat", "topography", "orbit", "range"}));
    EXPECT_EQ(dbf.names, (std::vector<std::string>{"LON", "LAT", "TOPOGRAPHY", "ORBIT", "RANGE"}));
    ASSERT_EQ(csv.rows.size(), 2000u);
    ASSERT_EQ(tab.rows.size(), csv.rows.size());
    ASSERT_EQ(dbf.rows.size(), csv.rows.size());
    std::set<int> orbits;
    for (std::size_t row = 0; row < csv.rows.size(); ++row) {
        ASSERT_EQ(csv.rows[row].fields.size(), 5u) << row;
        ASSERT_EQ(tab.rows[row].fields.size(), 5u) << row;
        for (std::size_t column = 0; column < 5; ++column) {
            EXPECT_NEAR(tab.rows[row].value(column), csv.rows[row].value(column), 1e-9) << row << "," << column;
            EXPECT_NEAR(dbf.rows[row].value(column), csv.rows[row].value(column), 1e-9) << row << "," << column;
        }
        orbits.insert(int(csv.rows[row].value(3)));
    }
    truthTable truth = readTruth(lonLatScene->file("truth.txt"));
    std::vector<double> stated = numbersOf(truth["orbits"]);
    EXPECT_EQ(orbits, std::set<int>(stated.begin(), stated.end()));
    EXPECT_EQ(orbits.size(), 12u);
    EXPECT_EQ(*orbits.begin(), 10001);
}

TEST_F(makeSceneTest, dbfHasTheDocumentedLayout) {
    std::string bytes = readTextFile(lonLatScene->file("tracks.dbf"));
    dbfLayout layout = readDbfLayout(bytes);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0x03);
    EXPECT_EQ(layout.records, 2000u);
    ASSERT_EQ(layout.names.size(), 5u);
    EXPECT_EQ(layout.headerLength, 32u + 32u * 5u + 1u);
    EXPECT_EQ(static_cast<unsigned char>(bytes.at(layout.headerLength - 1)), 0x0d);
    unsigned fieldTotal = 0;
    for (std::size_t field = 0; field < 5; ++field) {
        EXPECT_EQ(layout.types[field], 'N');
        fieldTotal += layout.lengths[field];
    }
    EXPECT_EQ(layout.recordLength, fieldTotal + 1);
    EXPECT_EQ(layout.lengths[3], 9u);
    EXPECT_EQ(layout.decimals[3], 0u);
    EXPECT_GE(layout.decimals[0], 12u);
    EXPECT_EQ(bytes.size(), std::size_t(layout.headerLength) + layout.records * layout.recordLength + 1);
    EXPECT_EQ(static_cast<unsigned char>(bytes.back()), 0x1a);
    // Numbers are right-aligned: the last byte of every field is a digit.
    std::size_t fieldEnd = layout.headerLength + 1;
    for (unsigned length : layout.lengths) {
        fieldEnd += length;
        EXPECT_NE(bytes.at(fieldEnd - 1), ' ');
    }
}

TEST_F(makeSceneTest, statedTranslationTiltAndOffsetRealignTheLonLatScene) {
    expectTruthRealigns(lonLatScene->path(), false);
}

TEST_F(makeSceneTest, polarTracksInvertBackIntoTheDemsMetres) {
    demFile dem = readDem(polarScene->file("dem.tif"));
    truthTable truth = readTruth(polarScene->file("truth.txt"));
    EXPECT_EQ(truth["variant"], "polar");
    EXPECT_EQ(dem.type, GDT_Float32);
    EXPECT_TRUE(dem.projected);
    EXPECT_EQ(dem.transform[1], 100.0);
    EXPECT_EQ(dem.transform[5], -100.0);
    double centreX = dem.transform[0] + 199.5 * 100.0;
    double centreY = dem.transform[3] - 199.5 * 100.0;
    EXPECT_NEAR(centreX, 150000.0, 1000.0);
    EXPECT_NEAR(centreY, 250000.0, 1000.0);
    EXPECT_NEAR(numberOf(truth, "translation_x"), -300.0, 1e-9);
    EXPECT_NEAR(numberOf(truth, "translation_y"), -200.0, 1e-9);

    std::vector<scenePoint> points = readScenePoints(polarScene->path(), true);
    ASSERT_EQ(points.size(), 2000u);
    for (const scenePoint& point : points) {
        double column = (point.x - dem.transform[0]) / 100.0;
        double row = (point.y - dem.transform[3]) / -100.0;
        ASSERT_GT(column, 1.0);
        ASSERT_LT(column, 398.0);
        ASSERT_GT(row, 1.0);
        ASSERT_LT(row, 398.0);
    }
    expectTruthRealigns(polarScene->path(), true);
}

TEST_F(makeSceneTest, tiePointsLieOnThePerturbedDem) {
    for (bool polar : {false, true}) {
        const scratchFolder& scene = polar ? *polarScene : *lonLatScene;
        gpfFile gpf = readGpf(scene.file("ties.gpf"));
        demFile dem = readDem(scene.file("dem.tif"));
        EXPECT_EQ(gpf.title, "GROUND POINT FILE");
        EXPECT_EQ(gpf.count, "8");
        EXPECT_EQ(gpf.header, "point_id,stat,known,lat_Y_North,long_X_East,ht,sig(3),res(3)");
        ASSERT_EQ(gpf.ties.size(), 8u);
        EXPECT_EQ(gpf.ties[0].id, "tp01");
        EXPECT_EQ(gpf.ties[7].id, "tp08");
        for (const tieRecord& tie : gpf.ties) {
            double surface = dem.bilinear(tie.x, tie.y);
            if (!std::isnan(surface)) {
                EXPECT_NEAR(tie.height, surface, 0.5) << tie.id << (polar ? " polar" : "");
            }
        }
    }
}

// ---- determinism and options, each with a scene of its own ----

TEST(makeSceneRuns, sameSeedGivesIdenticalFilesAndAnotherSeedDifferentOnes) {
    scratchFolder first("makeScene_seedA"), second("makeScene_seedB"), other("makeScene_seedC");
    std::vector<std::string> small{"--width", "120", "--height", "100", "--points", "500"};
    auto run = [&small](const std::string& seed, const std::string& folder) {
        std::vector<std::string> options = small;
        options.insert(options.end(), {"--seed", seed, "--out", folder});
        return runMakeScene(options).status;
    };
    ASSERT_EQ(run("42", first.path()), 0);
    ASSERT_EQ(run("42", second.path()), 0);
    ASSERT_EQ(run("43", other.path()), 0);
    for (const char* name : sceneFiles) {
        std::string bytes = readTextFile(first.file(name));
        EXPECT_FALSE(bytes.empty()) << name;
        EXPECT_TRUE(bytes == readTextFile(second.file(name))) << name;
        EXPECT_FALSE(bytes == readTextFile(other.file(name))) << name;
    }
}

TEST(makeSceneRuns, sizeCellShiftAndCountsAreHonoured) {
    scratchFolder scene("makeScene_options");
    commandResult result = runMakeScene({"--width", "150", "--height", "130", "--tracks", "5", "--points", "333",
                                         "--ties", "3", "--cell", "5e-4", "--shift", "-2", "4", "--noise", "1.5",
                                         "--seed", "9", "--out", scene.path() + "/nested"});
    ASSERT_EQ(result.status, 0) << result.standardOutput;
    EXPECT_EQ(result.standardError, "");
    std::string folder = scene.path() + "/nested";
    demFile dem = readDem(folder + "/dem.tif");
    truthTable truth = readTruth(folder + "/truth.txt");
    EXPECT_EQ(dem.width, 150);
    EXPECT_EQ(dem.height, 130);
    EXPECT_NEAR(dem.transform[0], 137.40 - 2 * 5e-4, 1e-12);
    EXPECT_NEAR(dem.transform[3], -4.55 - 4 * 5e-4, 1e-12);
    EXPECT_NEAR(numberOf(truth, "translation_x"), 2 * 5e-4, 1e-15);
    EXPECT_NEAR(numberOf(truth, "translation_y"), 4 * 5e-4, 1e-15);
    EXPECT_EQ(numberOf(truth, "translation_columns"), 2);
    EXPECT_EQ(numberOf(truth, "translation_rows"), -4);
    EXPECT_EQ(numbersOf(truth["orbits"]).size(), 5u);
    EXPECT_EQ(readDelimited(folder + "/tracks.csv", ',').rows.size(), 333u);
    EXPECT_EQ(readGpf(folder + "/ties.gpf").ties.size(), 3u);
    expectTruthRealigns(folder, false);
}

TEST(makeSceneRuns, badCommandLinesPrintOneUsageLineAndExitWithTwo) {
    scratchFolder scene("makeScene_bad");
    const std::vector<std::vector<std::string>> badLines{
        {"--bogus"},           {"--width"},           {"--width", "12x"},   {"--width", "-5"},
        {"--points", "0"},     {"--seed", "-1"},      {"--cell", "0"},      {"--cell", "abc"},
        {"--shift", "3"},      {"--tracks", "50", "--points", "10"},        {"--width", "12"},
        {"--polar", "--cell", "20000", "--width", "3000", "--height", "3000"},
        {"--cell", "0.5", "--width", "400"},
    };
    for (const std::vector<std::string>& line : badLines) {
        std::vector<std::string> options = line;
        options.insert(options.end(), {"--out", scene.path()});
        commandResult result = runMakeScene(options);
        std::string shown = line.front() + (line.size() > 1 ? " " + line[1] : "");
        EXPECT_EQ(result.status, 2) << shown;
        EXPECT_EQ(result.standardError, "") << shown;
        ASSERT_FALSE(result.standardOutput.empty()) << shown;
        EXPECT_EQ(result.standardOutput.find('\n'), result.standardOutput.size() - 1) << shown;
        EXPECT_NE(result.standardOutput.find("usage: makeScene"), std::string::npos) << shown;
        EXPECT_FALSE(fileExists(scene.file("dem.tif"))) << shown;
    }
}

TEST(makeSceneRuns, helpListsTheOptionsAndSucceeds) {
    commandResult result = runMakeScene({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.standardError, "");
    for (const char* option : {"--width", "--height", "--tracks", "--points", "--seed", "--out", "--cell", "--shift",
                               "--polar", "--help"})
        EXPECT_NE(result.standardOutput.find(option), std::string::npos) << option;
}

}  // namespace
