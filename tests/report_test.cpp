// The tie point table and the run report with its orbit statistics.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>

#include "model/alignmentModel.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

// Four orbit slots; the second gets no points, the third only equal errors.
alignmentModel reportScene(const std::vector<tiePoint>& points = {{0, 12.5, -0.5, 100.25}}) {
    alignmentModel model;
    for (const tiePoint& point : points) model.tiePointIds.push_back("p" + std::to_string(point.idIndex + 1));
    model.tiePoints = points;
    model.orbits = {101, 202, 303, 404};
    model.trackWeights = {1, 0.5, 0.25, 0.123456789};
    model.notReady = false;
    return model;
}

// Tie points after the first count of them have no identifier.
std::string tableOf(const std::vector<tiePoint>& points, bool degreesMinutesSeconds, std::size_t identified = 99) {
    alignmentModel model = reportScene(points);
    model.tiePointIds.resize(std::min(identified, points.size()));
    std::ostringstream stream;
    model.writeTiePointTable(stream, "Title", degreesMinutesSeconds);
    return stream.str();
}

const std::string header = "Title\n\npointID\tLongitude\tLatitude\tElevation\n";

// Seconds are not rounded; projected x fills ten columns.
TEST(tiePointTable, rowsOfBothFormats) {
    EXPECT_EQ(tableOf({{0, 12.5, -0.5, 100.25}, {1, 137.4, 3 + 7.0 / 60, -1234.56789}}, true),
              header + "p1\t12:30:0\t-0:30:0\t100.25\np2\t137:24:2.046363e-11\t3:07:1.065814e-13\t-1234.568\n\n");
    EXPECT_EQ(tableOf({{0, 5.5, -2.25, 7}, {1, -1234567.891, 3 + 7.0 / 60, -1234.56789}}, false),
              header + "p1\t5.5       \t-2.25\t7\np2\t-1234567.891\t3.116666667\t-1234.56789\n\n");
    // Identifiers outside the list are left empty.
    EXPECT_EQ(tableOf({{0, 1, 2, 3}, {5, 4, 5, 6}, {-1, 7, 8, 9}}, false, 1),
              header + "p1\t1         \t2\t3\n\t4         \t5\t6\n\t7         \t8\t9\n\n");
}

// The degrees carry the sign, also when they are 0; values without whole
// degrees that an integer holds are written as they are.
TEST(tiePointTable, degreesMinutesSeconds) {
    struct row { double x, y; const char* expected; };
    for (const row& test : std::vector<row>{{-5.5, 10, "-5:30:0\t10:00:0"},
                                            {45.25, -0.25, "45:15:0\t-0:15:0"},
                                            {-0.0, 0, "0:00:0\t0:00:0"},
                                            {-179.75, 359.5, "-179:45:0\t359:30:0"},
                                            {-2147483647.5, 2147483648.5, "-2147483647:30:0\t2.147484e+09"},
                                            {notANumber, 3e12, "nan\t3e+12"}})
        EXPECT_EQ(tableOf({{0, test.x, test.y, 0}}, true), header + "p1\t" + test.expected + "\t0\n\n");
}

TEST(tiePointTable, formatStaysSetOnTheStreamUnlessTheListIsEmpty) {
    const alignmentModel model = reportScene({{0, 1, 2, 3}});
    std::ostringstream degrees, projected, empty;
    model.writeTiePointTable(degrees, "T", true);
    degrees.str("");
    degrees << std::setw(10) << 1.23456789;
    EXPECT_EQ(degrees.str(), "  1.234568");
    model.writeTiePointTable(projected, "T", false);
    projected.str("");
    projected << std::setw(14) << 1.23456789012 << '|';
    EXPECT_EQ(projected.str(), "1.23456789    |");
    const std::ios::fmtflags flags = empty.flags();
    reportScene({}).writeTiePointTable(empty, "T", false);
    EXPECT_EQ(empty.precision(), 6);
    EXPECT_EQ(empty.flags(), flags);
}

const std::vector<errorRecord> reportErrors{{0, 0, 0, 2},   {2, 0, 0, 1.5}, {3, 0, 0, 0}, {0, 0, 0, 4},
                                            {2, 0, 0, 1.5}, {3, 0, 0, 1},   {2, 0, 0, 1.5}, {3, 0, 0, 0}};

// Rows are right-aligned after degrees, left-aligned after projected
// coordinates and in the default format when no tie point set one.
TEST(runReport, rowsAlignedAfterTheTableTheyFollow) {
    struct row { const char* file; bool tiePoints, degrees; std::vector<errorRecord> errors; };
    for (const row& test : std::vector<row>{{"report_degrees.txt", true, true, reportErrors},
                                            {"report_projected.txt", true, false, reportErrors},
                                            {"report_without_tie_points.txt", false, true, {{3, 0, 0, 0}, {3, 0, 0, 1}, {3, 0, 0, 0}}},
                                            {"report_without_errors.txt", true, true, {}}}) {
        alignmentModel model = reportScene();
        if (!test.tiePoints) model.tiePoints.clear();
        std::ostringstream report;
        model.writeReportFrom(report, test.degrees, test.errors);
        EXPECT_EQ(report.str(), testing::testDataText(std::string("reports/") + test.file)) << test.file;
    }
}

// The orbit rows, then the statistics that the report returns.
std::string rowsAndStatisticsOf(const std::vector<errorRecord>& errors, std::size_t weights = 4) {
    alignmentModel model = reportScene();
    model.trackWeights.resize(weights);
    std::ostringstream report;
    const errorStatistics statistics = model.writeReportFrom(report, true, errors);
    report << statistics.standardDeviation << ' ' << statistics.mean << ' ' << statistics.minimum << ' ' << statistics.maximum;
    return report.str().substr(report.str().rfind("Deviation\n") + 10);
}

// Population statistics; the extremes start at the first error; an entry
// outside the orbit slots counts only overall, a slot without a weight shows NaN.
TEST(runReport, statisticsOfAllErrors) {
    EXPECT_EQ(rowsAndStatisticsOf({{0, 0, 0, -3}, {0, 0, 0, -7}, {0, 0, 0, -5}}),
              "101\t                1\t          3\t        -5\t1.632993\n1.632993 -5 -7 -3");
    EXPECT_EQ(rowsAndStatisticsOf({{2, 0, 0, 1}, {4, 0, 0, 5}, {-1, 0, 0, 3}}, 2),
              "303\t              nan\t          1\t         1\t0\n1.632993 3 1 5");
    const std::string all = rowsAndStatisticsOf(reportErrors);
    EXPECT_EQ(all.substr(all.rfind('\n') + 1), "1.184206 1.4375 0 4");
    EXPECT_EQ(rowsAndStatisticsOf({}), "nan nan nan nan");
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
        EXPECT_EQ(std::vector<double>({statistics.standardDeviation, statistics.mean, statistics.minimum, statistics.maximum}),
                  std::vector<double>(4, 0.0));
}

}  // namespace
}  // namespace kalvex
