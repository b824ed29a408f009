// The optional outputs of a run: the aligned GeoTIFF (-od), the per-shot
// error table (-oe) and the run summary (-os). Without the options a run must write exactly what it
// writes without this feature.
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

#include "app/runDriver.h"
#include "model/alignmentModel.h"
#include "output/alignedRaster.h"
#include "output/errorTable.h"
#include "tests/support/testSupport.h"

namespace kalvex::testing {
namespace {

struct datasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using datasetHandle = std::unique_ptr<GDALDataset, datasetCloser>;

struct rasterContent {
    std::array<double, 6> transform{};
    std::string projection;
    int hasNoData = 0;
    double noData = 0.0;
    int width = 0;
    int height = 0;
    std::vector<float> cells;
};

rasterContent readRaster(const std::string& path) {
    GDALAllRegister();
    rasterContent content;
    datasetHandle dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
    if (!dataset) return content;
    dataset->GetGeoTransform(content.transform.data());
    content.projection = dataset->GetProjectionRef();
    GDALRasterBand* band = dataset->GetRasterBand(1);
    content.noData = band->GetNoDataValue(&content.hasNoData);
    content.width = band->GetXSize();
    content.height = band->GetYSize();
    content.cells.resize(std::size_t(content.width) * std::size_t(content.height));
    if (band->RasterIO(GF_Read, 0, 0, content.width, content.height, content.cells.data(), content.width,
                       content.height, GDT_Float32, 0, 0) != CE_None)
        content.cells.clear();
    return content;
}

double numberAfter(const std::string& text, const std::string& label, std::size_t from = 0) {
    const std::size_t at = text.find(label, from);
    return at == std::string::npos ? std::nan("") : std::stod(text.substr(at + label.size()));
}

std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, ',')) fields.push_back(field);
        if (!line.empty() && line.back() == ',') fields.emplace_back();
        rows.push_back(fields);
    }
    return rows;
}

// The sums of the translations the stages printed, x and y.
std::array<double, 2> printedTranslation(const std::string& console) {
    const std::size_t finalTable = console.find("Final XYZ Coordinates");
    std::array<double, 2> moved{0.0, 0.0};
    for (const std::string& label : {std::string("x-translation: "), std::string("y-translation: ")}) {
        for (std::size_t at = console.find(label); at != std::string::npos && at < finalTable;
             at = console.find(label, at + 1))
            moved[label[0] == 'x' ? 0 : 1] += numberAfter(console, label, at);
    }
    return moved;
}

class AlignedOutputs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = std::make_unique<scratchFolder>("alignedoutputs");
        ASSERT_EQ(makeSceneIn(folder->path(), {"--width", "150", "--height", "150", "--tracks", "8", "--points",
                                                "1200", "--seed", "11"})
                      .status,
                  0);
        for (const char* copy : {"plain", "extra"}) {
            std::filesystem::create_directories(folder->file(copy));
            for (const char* name : {"dem.tif", "tracks.csv", "ties.gpf"})
                std::filesystem::copy_file(folder->file(name), folder->file(std::string(copy) + "/" + name));
        }
        const std::vector<std::string> options{"dem.tif", "tracks.csv", "ties.gpf", "-l", "-s", "3", "-sfs", "1",
                                               "-of", "99999"};
        std::vector<std::string> plain{kalvexPath()};
        plain.insert(plain.end(), options.begin(), options.end());
        std::vector<std::string> extra = plain;
        extra.push_back("-od");
        extra.push_back("-oe");
        extra.push_back("-os");
        plainRun = runProgram(plain, folder->file("plain"));
        extraRun = runProgram(extra, folder->file("extra"));
    }
    static void TearDownTestSuite() { folder.reset(); }

    static std::unique_ptr<scratchFolder> folder;
    static commandResult plainRun;
    static commandResult extraRun;
};

std::unique_ptr<scratchFolder> AlignedOutputs::folder;
commandResult AlignedOutputs::plainRun;
commandResult AlignedOutputs::extraRun;

TEST_F(AlignedOutputs, OtherOutputsAreUnchangedByTheOptions) {
    ASSERT_EQ(plainRun.status, 0);
    ASSERT_EQ(extraRun.status, 0);
    EXPECT_EQ(extraRun.standardOutput, plainRun.standardOutput);
    EXPECT_EQ(extraRun.standardError, "");
    for (const char* name : {"dem_Error_Map.gnu", "dem_Coord_Map.gnu", "dem_Weightings_Map.gnu", "dem_report.txt"})
        EXPECT_EQ(readTextFile(folder->file(std::string("extra/") + name)),
                  readTextFile(folder->file(std::string("plain/") + name)))
            << name;
    EXPECT_FALSE(fileExists(folder->file("plain/dem_aligned.tif")));
    EXPECT_FALSE(fileExists(folder->file("plain/dem_errors.csv")));
    EXPECT_FALSE(fileExists(folder->file("plain/dem_summary.json")));
}

TEST_F(AlignedOutputs, AlignedRasterCarriesTheFinalGeoreferenceAndTheFittedCells) {
    const rasterContent input = readRaster(folder->file("dem.tif"));
    const rasterContent aligned = readRaster(folder->file("extra/dem_aligned.tif"));
    ASSERT_EQ(aligned.width, input.width);
    ASSERT_EQ(aligned.height, input.height);
    EXPECT_EQ(aligned.projection, input.projection);
    EXPECT_TRUE(aligned.hasNoData);
    EXPECT_EQ(aligned.noData, input.noData);

    // The raster moved by exactly the translation that moved the tie points.
    const std::array<double, 2> moved = printedTranslation(extraRun.standardOutput);
    EXPECT_NEAR(aligned.transform[0] - input.transform[0], moved[0], 1e-9);
    EXPECT_NEAR(aligned.transform[3] - input.transform[3], moved[1], 1e-9);
    for (int coefficient : {1, 2, 4, 5}) EXPECT_EQ(aligned.transform[coefficient], input.transform[coefficient]);

    // The cells changed by planes only, so the change is the same from every
    // cell to its right neighbour; no-data stays no-data.
    ASSERT_FALSE(aligned.cells.empty());
    double stepX = std::nan("");
    int noDataCells = 0;
    for (int r = 0; r < input.height; ++r)
        for (int c = 0; c + 1 < input.width; ++c) {
            const std::size_t at = std::size_t(r) * input.width + c;
            if (input.cells[at] == float(input.noData)) {
                EXPECT_EQ(aligned.cells[at], float(aligned.noData));
                ++noDataCells;
                continue;
            }
            if (input.cells[at + 1] == float(input.noData)) continue;
            const double step = (aligned.cells[at + 1] - input.cells[at + 1]) - (aligned.cells[at] - input.cells[at]);
            if (std::isnan(stepX)) stepX = step;
            EXPECT_NEAR(step, stepX, 2e-3);
        }
    EXPECT_GT(noDataCells, 0);
}

TEST_F(AlignedOutputs, SummaryTellsWhatTheConsoleShowed) {
    const std::string& console = extraRun.standardOutput;
    const nlohmann::json summary = nlohmann::json::parse(readTextFile(folder->file("extra/dem_summary.json")));
    const std::size_t finalStatistics = console.find("Count: ", console.find("Final XYZ Coordinates"));
    EXPECT_EQ(summary["points"]["read"], 1200);
    EXPECT_EQ(double(summary["points"]["withModelElevationAtStart"]), numberAfter(console, "Count: "));
    EXPECT_EQ(double(summary["points"]["withModelElevationAtEnd"]), numberAfter(console, "Count: ", finalStatistics));
    // The console prints seven significant digits.
    const auto expectPrinted = [](double value, double text) { EXPECT_NEAR(value, text, 1e-6 * std::fabs(text)); };
    const double deviation = numberAfter(console, "Standard Deviation: ", finalStatistics);
    expectPrinted(summary["rms"]["initialWeighted"], numberAfter(console, "Initial RMS: "));
    expectPrinted(summary["rms"]["finalWeighted"], numberAfter(console, "Final RMS: "));
    expectPrinted(summary["rms"]["finalStandardDeviation"], deviation);
    const double mean = numberAfter(console, "Mean: ", finalStatistics);
    expectPrinted(summary["rms"]["finalUnweighted"], std::hypot(deviation, mean));

    std::vector<std::string> warnings;
    std::istringstream lines(console);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Warning", 0) == 0) warnings.push_back(line);
    EXPECT_EQ(warnings.size(), 1u);
    EXPECT_EQ(summary["warnings"], warnings);
    EXPECT_EQ(summary["errors"], nlohmann::json::array());

    const std::array<double, 2> moved = printedTranslation(console);
    EXPECT_NEAR(summary["translation"]["cells"][0], moved[0] / 0.0002, 1e-6);
    EXPECT_NEAR(summary["translation"]["cells"][1], moved[1] / -0.0002, 1e-6);
    EXPECT_EQ(summary["stages"]["count"], 3);
    EXPECT_EQ(summary["outputs"].size(), 9u);  // three scripts, their images, report, table, raster
    EXPECT_EQ(summary["exitStatus"], 0);
}

// The final statistics printed from the table's own final errors, with the
// console's precision after the tie point tables.
std::string statisticsText(const std::vector<double>& errors) {
    std::vector<errorRecord> records;
    for (double error : errors) records.push_back(errorRecord{0, 0.0, 0.0, error});
    consoleCapture console;
    std::cout << std::setprecision(7);
    printStatistics(records.size(), computeErrorStatistics(records));
    return console.text();
}

TEST_F(AlignedOutputs, ErrorTableHoldsEveryShotWithItsErrorsBeforeAndAfter) {
    const std::vector<std::vector<std::string>> rows = csvRows(readTextFile(folder->file("extra/dem_errors.csv")));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), (std::vector<std::string>{"orbit", "x", "y", "elevation", "initial_error", "final_error",
                                                      "weight", "removed"}));
    const std::string& console = extraRun.standardOutput;
    EXPECT_EQ(double(rows.size() - 1), numberAfter(console, "Count: "));

    double initialSum = 0.0;
    std::vector<double> finalErrors;
    int removedCount = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 8u) << i;
        initialSum += std::stod(rows[i][4]);
        if (rows[i][7] == "1") {
            ++removedCount;
            EXPECT_EQ(rows[i][5], "");
        } else if (!rows[i][5].empty()) {
            finalErrors.push_back(std::stod(rows[i][5]));
        }
        const double weight = std::stod(rows[i][6]);
        EXPECT_GE(weight, 0.0);
        EXPECT_LE(weight, 1.0);
    }
    EXPECT_NEAR(initialSum / double(rows.size() - 1), numberAfter(console, "Mean: "), 1e-3);
    const std::size_t finalStatistics = console.find("Count: ", console.find("Final XYZ Coordinates"));
    EXPECT_EQ(console.substr(finalStatistics), statisticsText(finalErrors));

    std::size_t removedLines = 0;
    for (std::size_t at = console.find(" was removed.\n"); at != std::string::npos;
         at = console.find(" was removed.\n", at + 1))
        ++removedLines;
    EXPECT_GT(removedCount, 0);
    EXPECT_EQ(std::size_t(removedCount), removedLines);
}

// A shot beside the raster gets a model elevation only once the raster has
// moved under it; one that the move leaves behind loses its model elevation.
TEST(ErrorTable, FinalErrorsAreThoseOfTheFinalErrorListForEveryShotRead) {
    alignmentModel model;
    model.raster = makeRaster(12, 12, {0.0, 1.0, 0.0, 12.0, 0.0, -1.0}, [](int c, int r) { return 3.0 * c - r; });
    model.orbits = {7};
    model.trackWeights = {1.0};
    model.molaPoints = {{0, 5.2, 6.1, 20.0}, {0, -1.6, 6.3, 4.0}, {0, 7.7, 5.4, 30.0}, {0, 9.9, 4.2, 25.0}};
    model.notReady = false;
    shotErrorTable table = initialShotErrors(model);
    model.molaPoints.erase(model.molaPoints.begin() + 2);  // an outlier
    model.raster.transform[0] -= 3.0;
    finishShotErrors(table, model);

    ASSERT_EQ(table.shots.size(), 4u);
    EXPECT_TRUE(std::isnan(table.shots[1].initialError));
    EXPECT_FALSE(std::isnan(table.shots[3].initialError));
    EXPECT_TRUE(std::isnan(table.shots[3].finalError));
    EXPECT_TRUE(table.shots[2].removed);
    std::vector<double> tableErrors;
    for (const shotError& shot : table.shots)
        if (!std::isnan(shot.finalError)) tableErrors.push_back(shot.finalError);
    std::vector<double> listErrors;
    for (const errorRecord& record : model.currentErrorList()) listErrors.push_back(record.error);
    EXPECT_EQ(tableErrors, listErrors);
    EXPECT_EQ(tableErrors.size(), 2u);
}

TEST(ErrorTableOnly, ErrorMapModeWritesInitialErrorsWithEmptyFinalColumns) {
    scratchFolder folder("errortableonly");
    ASSERT_EQ(makeSceneIn(folder.path(), {"--width", "80", "--height", "80", "--tracks", "4", "--points", "200",
                                          "--seed", "2"})
                  .status,
              0);
    const commandResult run = runProgram({kalvexPath(), "dem.tif", "tracks.tab", "-oe"}, folder.path());
    ASSERT_EQ(run.status, 0);
    const std::vector<std::vector<std::string>> rows = csvRows(readTextFile(folder.file("dem_errors.csv")));
    // Some shots of this scene lie beside no-data cells: rows with no initial error.
    ASSERT_EQ(rows.size() - 1, 200u);
    double withInitialError = 0.0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 8u);
        withInitialError += rows[i][4].empty() ? 0.0 : 1.0;
        EXPECT_EQ(rows[i][5], "");
        EXPECT_EQ(rows[i][6], "");
        EXPECT_EQ(rows[i][7], "0");
    }
    EXPECT_EQ(withInitialError, numberAfter(run.standardOutput, "Count: "));
}

TEST(AlignedRaster, CellsAndGeotransformAreTheModelsAndNoDataIsDeclared) {
    scratchFolder folder("alignedraster");
    geoTiffLayout layout;
    layout.width = 300;  // more than one tile across
    layout.height = 7;
    layout.hasNoData = true;
    layout.noDataValue = -9999.0;
    writeGeoTiff(folder.file("dem.tif"), layout);
    alignmentModel model;
    ASSERT_TRUE(model.readRaster(folder.file("dem.tif"), -32767.0));
    model.raster.cell(4, 2) = std::nanf("");
    model.raster.cell(299, 6) = 1234.5f;
    model.raster.transform = {10.0, 0.5, 0.01, 20.0, -0.02, -0.5};
    ASSERT_TRUE(writeAlignedRaster(model.raster, folder.file("dem_aligned.tif")));

    const rasterContent written = readRaster(folder.file("dem_aligned.tif"));
    EXPECT_EQ(written.transform, model.raster.transform);
    ASSERT_EQ(written.cells.size(), model.raster.cells.size());
    EXPECT_TRUE(written.hasNoData);
    EXPECT_EQ(written.noData, -9999.0);
    for (std::size_t i = 0; i < written.cells.size(); ++i) {
        if (std::isnan(model.raster.cells[i]))
            EXPECT_EQ(written.cells[i], -9999.0f);
        else
            EXPECT_EQ(written.cells[i], model.raster.cells[i]) << i;
    }
    EXPECT_FALSE(writeAlignedRaster(model.raster, folder.file("missing/folder/dem_aligned.tif")));
    const elevationRaster oneRow = makeRaster(3, 1, {10.0, 1.0, 0.0, 20.0, 0.0, -1.0}, [](int c, int) { return c; });
    ASSERT_TRUE(writeAlignedRaster(oneRow, folder.file("row_aligned.tif")));
    EXPECT_EQ(readRaster(folder.file("row_aligned.tif")).cells, oneRow.cells);
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
        const elevationRaster raster = makeRaster(150, 150, turned, [](int c, int r) { return c - r; });
        ASSERT_TRUE(writeAlignedRaster(raster, folder.file("dem_aligned.tif")));
        geoTransform expected = turned;
        if (!example.kept) expected[2] = expected[4] = 0.0;
        EXPECT_EQ(readRaster(folder.file("dem_aligned.tif")).transform, expected) << example.cell << " " << example.term;
    }
}

}  // namespace
}  // namespace kalvex::testing
