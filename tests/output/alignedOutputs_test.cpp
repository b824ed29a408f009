// The optional outputs of a run: the aligned GeoTIFF (-od), the per-shot
// error table (-oe) and the run summary (-os). Without the options a run must
// write exactly what it writes without this feature.
#include <gdal_priv.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/alignmentModel.h"
#include "app/runDriver.h"
#include "app/runText.h"
#include "output/alignedRaster.h"
#include "output/errorTable.h"
#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

struct rasterContent {
    std::array<double, 6> transform{};
    std::string projection;
    int hasNoData = 0;
    double noData = 0.0;
    std::vector<float> cells;
};

rasterContent readRasterFile(const std::string& path) {
    GDALAllRegister();
    rasterContent content;
    const std::unique_ptr<GDALDataset, decltype(&GDALClose)> dataset(
        static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)), &GDALClose);
    if (!dataset) return content;
    dataset->GetGeoTransform(content.transform.data());
    content.projection = dataset->GetProjectionRef();
    GDALRasterBand* band = dataset->GetRasterBand(1);
    content.noData = band->GetNoDataValue(&content.hasNoData);
    const int width = band->GetXSize(), height = band->GetYSize();
    content.cells.resize(std::size_t(width) * std::size_t(height));
    if (band->RasterIO(GF_Read, 0, 0, width, height, content.cells.data(), width, height, GDT_Float32, 0, 0) != CE_None)
        content.cells.clear();
    return content;
}

double numberAfter(const std::string& text, const std::string& label, std::size_t from = 0) {
    const std::size_t at = text.find(label, from);
    return at == std::string::npos ? std::nan("") : std::stod(text.substr(at + label.size()));
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The sum of the translations the stages printed along one axis, "x" or "y".
double printedTranslation(const std::string& console, const std::string& axis) {
    double moved = 0.0;
    const std::string label = axis + "-translation: ";
    for (std::size_t at = console.find(label); at != std::string::npos; at = console.find(label, at + 1))
        moved += numberAfter(console, label, at);
    return moved;
}

const std::string edgeWarning = "Warning: The best translation of the first stage lies on the edge of its range, the "
                                "raster may be off by more than the range (-p widens it)";

std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        rows.emplace_back(1);
        for (const char character : line) {
            if (character == ',') rows.back().emplace_back();
            else rows.back().back() += character;
        }
    }
    return rows;
}

// A raster off by six cells, more than the first translation range of two
// cells, aligned in two stages with outliers removed from the first stage on,
// once plain and once with the three outputs.
class MovedScene : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = std::make_unique<scratchFolder>("movedscene");
        ASSERT_EQ(makeSceneIn(folder->file("plain"), {"--width", "100", "--height", "100", "--tracks", "6", "--points",
                                                      "400", "--shift", "6", "0", "--clean", "--seed", "2"})
                      .status,
                  0);
        std::filesystem::copy(folder->file("plain"), folder->file("extra"));
        const std::vector<std::string> run{kalvexPath(), "dem.tif", "tracks.csv", "ties.gpf",
                                           "-l", "-s", "2", "-p", "0.0004"};
        plainRun = runProgram(run, folder->file("plain"));
        std::vector<std::string> extra = run;
        extra.insert(extra.end(), {"-od", "-oe", "-os"});
        extraRun = runProgram(extra, folder->file("extra"));
        console = extraRun.standardOutput;
        finalStatistics = console.find("Count: ", console.find("Final XYZ Coordinates"));
    }
    static void TearDownTestSuite() { folder.reset(); }
    static std::string file(const std::string& name) { return readTextFile(folder->file("extra/" + name)); }

    static inline std::unique_ptr<scratchFolder> folder;
    static inline commandResult plainRun, extraRun;
    static inline std::string console;
    static inline std::size_t finalStatistics = 0;
};

TEST_F(MovedScene, TheOptionsLeaveEveryOtherOutputAsItWas) {
    ASSERT_EQ(plainRun.status, 0);
    ASSERT_EQ(extraRun.status, 0);
    EXPECT_EQ(extraRun.standardOutput, plainRun.standardOutput);
    EXPECT_EQ(extraRun.standardError, "");
    for (const char* name : {"dem_Error_Map.gnu", "dem_Coord_Map.gnu", "dem_Weightings_Map.gnu", "dem_report.txt"})
        EXPECT_EQ(file(name), readTextFile(folder->file(std::string("plain/") + name))) << name;
    for (const char* name : {"dem_aligned.tif", "dem_errors.csv", "dem_summary.json"})
        EXPECT_FALSE(fileExists(folder->file(std::string("plain/") + name))) << name;
}

// The range only shrinks from stage to stage, by 1.75, so an offset beyond the
// first range is never reached: said after the first stage and again, first
// of the reasons to doubt the run, after the final statistics.
TEST_F(MovedScene, AFirstTranslationOnTheEdgeOfItsRangeIsWarnedAboutTwice) {
    EXPECT_NE(console.find("x-translation: -0.0002285714\n", console.find("Stage: 2\n")), std::string::npos);
    const std::string warning = edgeWarning + "\n";
    EXPECT_EQ(countOf(console, warning), 2u);
    const std::size_t firstStage = console.find("\n", console.find("Stage 1 RMS: ")) + 1;
    EXPECT_EQ(console.substr(firstStage, warning.size()), warning);
    const std::size_t reasons = console.find("\n\n", finalStatistics) + 2;
    EXPECT_EQ(console.substr(reasons, warning.size()), warning);
}

TEST_F(MovedScene, TheSummaryTellsWhatTheConsoleShowed) {
    const nlohmann::json summary = nlohmann::json::parse(file("dem_summary.json"));
    EXPECT_EQ(summary["points"]["read"], 400);
    EXPECT_EQ(double(summary["points"]["withModelElevationAtStart"]), numberAfter(console, "Count: "));
    EXPECT_EQ(double(summary["points"]["withModelElevationAtEnd"]), numberAfter(console, "Count: ", finalStatistics));
    EXPECT_EQ(double(summary["points"]["removed"]), double(countOf(console, " was removed.\n")));
    // The console prints seven significant digits.
    const auto expectPrinted = [](double value, double text) { EXPECT_NEAR(value, text, 1e-6 * std::fabs(text)); };
    expectPrinted(summary["rms"]["initialWeighted"], numberAfter(console, "Initial RMS: "));
    expectPrinted(summary["rms"]["finalWeighted"], numberAfter(console, "Final RMS: "));
    const double deviation = numberAfter(console, "Standard Deviation: ", finalStatistics);
    expectPrinted(summary["rms"]["finalStandardDeviation"], deviation);
    const double mean = numberAfter(console, "Mean: ", finalStatistics);
    expectPrinted(summary["rms"]["finalUnweighted"], std::hypot(deviation, mean));
    // Off by more than its range and not settled in two stages, the run is doubtful: one warning per reason.
    EXPECT_EQ(summary["verdict"], "doubtful");
    const nlohmann::json& reasons = summary["reasons"];
    ASSERT_GE(reasons.size(), 3u);
    EXPECT_EQ(reasons[0], "offsetBeyondRange");
    EXPECT_EQ(reasons[1], "notSettled");
    EXPECT_EQ(reasons[2], "betterPositionElsewhere");  // the robust probe finds where it should have gone
    const nlohmann::json& warnings = summary["warnings"];
    ASSERT_EQ(warnings.size(), reasons.size() + 1);
    EXPECT_EQ(warnings[0], edgeWarning);
    EXPECT_EQ(warnings[1], edgeWarning);
    // The scene is off by six columns, of which the stages took back what the summary says.
    const std::string better = "Warning: A robust search of the same shots finds a clearly better position ";
    ASSERT_EQ(std::string(warnings[3]).rfind(better, 0), 0u);
    EXPECT_NEAR(std::stod(std::string(warnings[3]).substr(better.size())),
                6.0 - std::fabs(double(summary["translation"]["cells"][0])), 0.1);
    EXPECT_GT(double(summary["standardError"]["cells"][0]), 0.0);
    EXPECT_EQ(summary["standardError"]["rotationDegrees"], nullptr);  // -l: no turn searched
    EXPECT_EQ(summary["errors"], nlohmann::json::array());
    // Cells of 0.0002 degrees, rows running south.
    EXPECT_NEAR(summary["translation"]["cells"][0], printedTranslation(console, "x") / 0.0002, 1e-6);
    EXPECT_NEAR(summary["translation"]["cells"][1], printedTranslation(console, "y") / -0.0002, 1e-6);
    // Metres on the raster's own sphere (+R=3396190), shrunk east-west by the latitude of the pivot.
    const nlohmann::json& motion = summary["translation"];
    const double metresPerDegree = 3396190.0 * 3.141592653589793 / 180.0;
    const double latitude = double(summary["rotation"]["pivot"][1]) * 3.141592653589793 / 180.0;
    EXPECT_NEAR(double(motion["metres"][1]), double(motion["mapUnits"][1]) * metresPerDegree, 1e-6);
    EXPECT_NEAR(double(motion["metres"][0]), double(motion["mapUnits"][0]) * metresPerDegree * std::cos(latitude), 1e-6);
    EXPECT_EQ(summary["stages"]["count"], 2);
    EXPECT_EQ(summary["outputs"].size(), 9u);  // three scripts, their images, report, table, raster
    EXPECT_EQ(summary["exitStatus"], 0);
}

// The final statistics as the console prints them after the tie point tables.
std::string statisticsText(const std::vector<double>& errors) {
    std::vector<errorRecord> records;
    for (const double error : errors) records.push_back(errorRecord{0, 0.0, 0.0, error});
    std::ostringstream console;
    console << std::setprecision(7);
    printStatistics(console, records.size(), computeErrorStatistics(records));
    return console.str();
}

// A row for every shot read; the final errors of the shots still held are
// those the final statistics were computed from, and the aligned raster is
// the model they were measured on: a run on it starts from them.
TEST_F(MovedScene, TheErrorTableHoldsEveryShotAndTheAlignedRasterTheFinalModel) {
    const std::vector<std::vector<std::string>> rows = csvRows(file("dem_errors.csv"));
    ASSERT_EQ(rows.size(), 401u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"orbit", "x", "y", "elevation", "initial_error", "final_error",
                                                 "weight", "removed"}));
    ASSERT_EQ(runProgram({kalvexPath(), "dem_aligned.tif", "tracks.csv", "-oe"}, folder->file("extra")).status, 0);
    const std::vector<std::vector<std::string>> again = csvRows(file("dem_aligned_errors.csv"));
    ASSERT_EQ(again.size(), rows.size());
    std::vector<double> finalErrors;
    std::size_t removed = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 8u) << i;
        removed += rows[i][7] == "1" ? 1 : 0;
        if (rows[i][7] == "0") {
            EXPECT_EQ(rows[i][5], again[i][4]) << i;
        }
        if (!rows[i][5].empty()) finalErrors.push_back(std::stod(rows[i][5]));
    }
    EXPECT_EQ(removed, countOf(console, " was removed.\n"));
    EXPECT_EQ(console.substr(finalStatistics, console.find(edgeWarning, finalStatistics) - finalStatistics),
              statisticsText(finalErrors));
    EXPECT_EQ(readRasterFile(folder->file("extra/dem_aligned.tif")).projection,
              readRasterFile(folder->file("extra/dem.tif")).projection);
}

// A shot beside the raster gets a model elevation only once the raster has
// moved under it; one that the move leaves behind loses its model elevation.
TEST(ErrorTable, FinalErrorsAreThoseOfTheFinalErrorListForEveryShotRead) {
    runState scene;
    scene.raster = makeRaster(12, 12, {0.0, 1.0, 0.0, 12.0, 0.0, -1.0}, [](int c, int r) { return 3.0 * c - r; });
    scene.orbits = {7};
    scene.trackWeights = {0.5};
    scene.molaPoints = {{0, 5.2, 6.1, 20.0}, {0, -1.6, 6.3, 4.0}, {0, 7.7, 5.4, 30.0}, {0, 9.9, 4.2, 25.0}};
    scene.notReady = false;
    const shotErrorTable table = initialShotErrors(scene.raster, scene.molaPoints);
    scene.shotNumbers = {0, 1, 2, 3};
    alignmentModel model(kalvex::testing::discardedConsole(), scene);
    model.removePoints({2});  // an outlier
    model.moveBy(-3.0, 0.0);
    const runState& state = model.state();
    std::ostringstream text;
    writeErrorTable(text, table,
                    {state.raster, state.molaPoints, state.shotNumbers, state.removedPoints, state.trackWeights,
                     state.orbits},
                    true);
    EXPECT_EQ(text.str(), readTextFile(testDataDir() + "/expected/errorTable.csv"));
    std::vector<double> listErrors, writtenErrors;
    for (const errorRecord& record : model.currentErrorList()) listErrors.push_back(record.error);
    std::istringstream rows(text.str());
    for (std::string row; std::getline(rows, row);) {
        std::string cell;
        std::istringstream cells(row);
        for (int column = 0; column <= 5; ++column) std::getline(cells, cell, ',');
        if (!cell.empty() && cell != "final_error") writtenErrors.push_back(std::stod(cell));
    }
    EXPECT_EQ(writtenErrors, listErrors);
}

TEST(AlignedRaster, CellsAndGeotransformAreTheModelsAndNoDataIsDeclared) {
    scratchFolder folder("alignedraster");
    geoTiffLayout layout;
    layout.width = 300;  // more than one tile across
    layout.height = 7;
    layout.hasNoData = true;
    layout.noDataValue = -9999.0;
    writeGeoTiff(folder.file("dem.tif"), layout);
    alignmentModel model(kalvex::testing::discardedConsole());
    ASSERT_TRUE(model.readRaster(folder.file("dem.tif"), -32767.0));
    elevationRaster raster = model.state().raster;
    raster.cell(4, 2) = std::nanf("");
    raster.cell(299, 6) = 1234.5f;
    raster.transform = {10.0, 0.5, 0.01, 20.0, -0.02, -0.5};
    ASSERT_TRUE(writeAlignedRaster(raster, folder.file("dem_aligned.tif")));
    const rasterContent written = readRasterFile(folder.file("dem_aligned.tif"));
    // GDAL's georeference gives the corner of the first cell, half a cell before the centre the model holds.
    const geoTransform writtenCentres = geoTransform{written.transform}.withOriginAt(0.5, 0.5);
    EXPECT_EQ(textOf({writtenCentres.coefficients.begin(), writtenCentres.coefficients.end()}),
              textOf({10.0, 0.5, 0.01, 20.0, -0.02, -0.5}));
    EXPECT_TRUE(written.hasNoData);
    EXPECT_EQ(written.noData, -9999.0);
    std::vector<float> expected = raster.cells;
    expected[2 * 300 + 4] = -9999.0f;
    EXPECT_EQ(written.cells, expected);
    EXPECT_FALSE(writeAlignedRaster(raster, folder.file("missing/folder/dem_aligned.tif")));
    const elevationRaster oneRow = makeRaster(3, 1, {10.0, 1.0, 0.0, 20.0, 0.0, -1.0}, [](int c, int) { return c; });
    ASSERT_TRUE(writeAlignedRaster(oneRow, folder.file("row_aligned.tif")));
    EXPECT_EQ(readRasterFile(folder.file("row_aligned.tif")).cells, oneRow.cells);
}

// Turns that cancel out leave rotation terms of the size of the rounding of
// the map coordinates; the file is written north up then, while a real turn,
// however small, keeps its terms.
TEST(AlignedRaster, RotationTermsOfRoundingSizeAreWrittenAsZero) {
    scratchFolder folder("alignedturn");
    const struct {
        double origin, cell, term;
        bool kept;
    } cases[] = {{137.4, 2e-4, 2.84e-14, false}, {137.4, 1e-5, 5.68e-14, false}, {137.4, 1e-5, 1.7e-9, true},
                 {-1.2e6, 100.0, 3e-9, false}, {-1.2e6, 100.0, 0.017, true}};
    for (const auto& example : cases) {
        const geoTransform turned{example.origin, example.cell, example.term, -4.5, -example.term, -example.cell};
        elevationRaster raster = makeRaster(150, 150, turned, [](int c, int r) { return c - r; });
        raster.valuesAtCorners = true;  // the georeference is written as it is held
        ASSERT_TRUE(writeAlignedRaster(raster, folder.file("dem_aligned.tif")));
        geoTransform expected = turned;
        if (!example.kept) expected[2] = expected[4] = 0.0;
        EXPECT_EQ(readRasterFile(folder.file("dem_aligned.tif")).transform, expected.coefficients)
            << example.cell << " " << example.term;
    }
}

}  // namespace
}  // namespace kalvex::testing
