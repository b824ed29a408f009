#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "model/alignmentModel.h"

namespace kalvex {
namespace {

alignmentModel modelWithTiePoints(const std::vector<tiePoint>& points) {
    alignmentModel model;
    model.raster.width = 3;
    model.raster.height = 3;
    model.raster.transform = {100, 1, 0, 200, 0, -1};
    for (const tiePoint& point : points) model.tiePointIds.push_back("p" + std::to_string(point.idIndex + 1));
    model.tiePoints = points;
    model.notReady = false;
    return model;
}

// Tie points after the first count of them have no identifier.
std::string tableOf(const std::vector<tiePoint>& points, bool degreesMinutesSeconds, std::size_t identified = 99) {
    alignmentModel model = modelWithTiePoints(points);
    model.tiePointIds.resize(std::min(identified, points.size()));
    std::ostringstream stream;
    model.writeTiePointTable(stream, "Title", degreesMinutesSeconds);
    return stream.str();
}

// The x and y columns of a one-point degrees:minutes:seconds table.
std::string coordinatesOf(double x, double y) {
    const std::string table = tableOf({{0, x, y, 0}}, true);
    const std::string row = table.substr(table.find("p1\t") + 3);
    return row.substr(0, row.rfind('\t'));
}

TEST(tiePointTable, rowsOfBothFormats) {
    const std::string header = "Title\n\npointID\tLongitude\tLatitude\tElevation\n";
    EXPECT_EQ(tableOf({{0, 12.5, -0.5, 100.25}, {1, 137.4, 3 + 7.0 / 60, -1234.56789}}, true),
              header + "p1\t12:30:0\t-0:30:0\t100.25\np2\t137:24:2.046363e-11\t3:07:1.065814e-13\t-1234.568\n\n");
    EXPECT_EQ(tableOf({{0, 5.5, -2.25, 7}, {1, -1234567.891, 3 + 7.0 / 60, -1234.56789}}, false),
              header + "p1\t5.5       \t-2.25\t7\np2\t-1234567.891\t3.116666667\t-1234.56789\n\n");
    // Identifiers outside the list are left empty.
    EXPECT_EQ(tableOf({{0, 1, 2, 3}, {5, 4, 5, 6}, {-1, 7, 8, 9}}, false, 1),
              header + "p1\t1         \t2\t3\n\t4         \t5\t6\n\t7         \t8\t9\n\n");
}

TEST(tiePointTable, degreesCarryTheSignAndValuesWithoutWholeDegreesAreWrittenAsTheyAre) {
    struct row { double x, y; const char* expected; };
    for (const row& test : std::vector<row>{{-5.5, 10, "-5:30:0\t10:00:0"},
                                            {45.25, -0.25, "45:15:0\t-0:15:0"},
                                            {-0.0, 0, "0:00:0\t0:00:0"},
                                            {-179.75, 359.5, "-179:45:0\t359:30:0"},
                                            {-2147483647.5, 2147483648.5, "-2147483647:30:0\t2.147484e+09"},
                                            {notANumber, 3e12, "nan\t3e+12"}})
        EXPECT_EQ(coordinatesOf(test.x, test.y), test.expected);
}

TEST(tiePointTable, formatStaysSetOnTheStream) {
    const alignmentModel model = modelWithTiePoints({{0, 1, 2, 3}});
    std::ostringstream degrees;
    model.writeTiePointTable(degrees, "T", true);
    EXPECT_EQ(degrees.precision(), 7);
    degrees.str("");
    degrees << std::setw(10) << 1.23456789;
    EXPECT_EQ(degrees.str(), "  1.234568");

    std::ostringstream projected;
    model.writeTiePointTable(projected, "T", false);
    EXPECT_EQ(projected.precision(), 10);
    projected.str("");
    projected << std::setw(14) << 1.23456789012 << '|';
    EXPECT_EQ(projected.str(), "1.23456789    |");
}

TEST(tiePointTable, emptyListChangesNoFormat) {
    const alignmentModel model = modelWithTiePoints({});
    std::ostringstream stream;
    const std::ios::fmtflags flags = stream.flags();
    model.writeTiePointTable(stream, "Initial XYZ Coordinates", false);
    EXPECT_EQ(stream.str(), "Initial XYZ Coordinates\n\npointID\tLongitude\tLatitude\tElevation\n\n");
    EXPECT_EQ(stream.precision(), 6);
    EXPECT_EQ(stream.flags(), flags);
}

// Four orbit slots; the second has no points, the third only equal errors.
alignmentModel reportScene() {
    alignmentModel model = modelWithTiePoints({{0, 12.5, -0.5, 100.25}});
    model.orbits = {101, 202, 303, 404};
    model.trackWeights = {1, 0.5, 0.25, 0.123456789};
    return model;
}

const std::vector<errorRecord> reportErrors{{0, 0, 0, 2}, {2, 0, 0, 1.5}, {3, 0, 0, 0}, {0, 0, 0, 4},
                                            {2, 0, 0, 1.5}, {3, 0, 0, 1}, {2, 0, 0, 1.5}, {3, 0, 0, 0}};

const std::string orbitHeader =
    "Orbit Statistics\n"
    "Orbit\tWeighting Applied\tPoint Count\tMean Error\tStandard Deviation\n";

TEST(runReport, rowsAlignedAfterTheTableTheyFollow) {
    const std::string table = "Final Control Points\n\npointID\tLongitude\tLatitude\tElevation\n";
    struct row { const char* name; bool tiePoints, degrees; std::vector<errorRecord> errors; std::string text; };
    const std::vector<row> rows{
        {"right after degrees", true, true, reportErrors,
         table + "p1\t12:30:0\t-0:30:0\t100.25\n\n" + orbitHeader +
             "101\t                1\t          2\t         3\t1\n"
             "303\t             0.25\t          3\t       1.5\t0\n"
             "404\t        0.1234568\t          3\t 0.3333333\t0.4714045\n"},
        {"left after projected", true, false, reportErrors,
         table + "p1\t12.5      \t-0.5\t100.25\n\n" + orbitHeader +
             "101\t1                \t2          \t3         \t1\n"
             "303\t0.25             \t3          \t1.5       \t0\n"
             "404\t0.123456789      \t3          \t0.3333333333\t0.4714045208\n"},
        {"default format without tie points", false, true, {{3, 0, 0, 0}, {3, 0, 0, 1}, {3, 0, 0, 0}},
         table + "\n" + orbitHeader + "404\t         0.123457\t          3\t  0.333333\t0.471405\n"},
        {"no errors", true, true, {}, table + "p1\t12:30:0\t-0:30:0\t100.25\n\n" + orbitHeader}};
    for (const row& test : rows) {
        alignmentModel model = reportScene();
        if (!test.tiePoints) model.tiePoints.clear();
        std::ostringstream report;
        model.writeReportFrom(report, test.degrees, test.errors);
        EXPECT_EQ(report.str(), test.text) << test.name;
    }
}

TEST(runReport, statisticsOfAllErrors) {
    const alignmentModel model = reportScene();
    std::ostringstream report;
    errorStatistics statistics = model.writeReportFrom(report, true, reportErrors);
    EXPECT_DOUBLE_EQ(statistics.mean, 1.4375);
    EXPECT_DOUBLE_EQ(statistics.standardDeviation, std::sqrt(1.40234375));
    EXPECT_EQ(statistics.minimum, 0);
    EXPECT_EQ(statistics.maximum, 4);
    statistics = model.writeReportFrom(report, true, {});
    EXPECT_TRUE(std::isnan(statistics.standardDeviation) && std::isnan(statistics.mean));
    EXPECT_TRUE(std::isnan(statistics.minimum) && std::isnan(statistics.maximum));
    // The extremes start at the first error.
    statistics = model.writeReportFrom(report, true, {{0, 0, 0, -3}, {0, 0, 0, -7}, {0, 0, 0, -5}});
    EXPECT_EQ(statistics.minimum, -7);
    EXPECT_EQ(statistics.maximum, -3);
    EXPECT_DOUBLE_EQ(statistics.mean, -5);
    EXPECT_DOUBLE_EQ(statistics.standardDeviation, std::sqrt(8.0 / 3));
}

TEST(runReport, entryOutsideTheOrbitSlotsCountsOnlyOverall) {
    alignmentModel model = reportScene();
    model.trackWeights.resize(2);
    std::ostringstream report;
    const errorStatistics statistics =
        model.writeReportFrom(report, true, {{2, 0, 0, 1}, {4, 0, 0, 5}, {-1, 0, 0, 3}});
    EXPECT_EQ(report.str().substr(report.str().find(orbitHeader) + orbitHeader.size()),
              "303\t              nan\t          1\t         1\t0\n");
    EXPECT_DOUBLE_EQ(statistics.mean, 3);
    EXPECT_EQ(statistics.maximum, 5);
}

TEST(runReport, nothingWhileNotReady) {
    alignmentModel model = reportScene();
    model.notReady = true;
    std::ostringstream report;
    const errorStatistics fromList = model.writeReportFrom(report, true, reportErrors);
    const errorStatistics current = model.writeReport(report, true);
    model.writeTiePointTable(report, "T", true);
    EXPECT_EQ(report.str(), "");
    EXPECT_EQ(report.precision(), 6);
    for (const errorStatistics& statistics : {fromList, current})
        EXPECT_EQ((std::vector<double>{statistics.standardDeviation, statistics.mean, statistics.minimum,
                                       statistics.maximum}),
                  std::vector<double>(4, 0.0));
}

}  // namespace
}  // namespace kalvex
