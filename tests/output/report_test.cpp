// The tie point table and the run report with its orbit statistics.
#include <gtest/gtest.h>

#include "model/evaluation/errorStatistics.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

// Four orbit slots; the second gets no points, the third only equal errors.
runState reportScene(const std::vector<tiePoint>& points = {{0, 12.5, -0.5, 100.25}}) {
    runState scene;
    for (const tiePoint& point : points) scene.tiePointIds.push_back("p" + std::to_string(point.idIndex + 1));
    scene.tiePoints = points;
    scene.orbits = {101, 202, 303, 404};
    scene.trackWeights = {1, 0.5, 0.25, 0.123456789};
    scene.notReady = false;
    return scene;
}

// Tie points after the first count of them have no identifier.
std::string tableOf(const std::vector<tiePoint>& points, bool degreesMinutesSeconds, std::size_t identified = 99) {
    runState scene = reportScene(points);
    scene.tiePointIds.resize(std::min(identified, points.size()));
    std::ostringstream stream;
    alignmentModel(testing::discardedConsole(), scene).writeTiePointTable(stream, "Title", degreesMinutesSeconds);
    return stream.str();
}

// Seconds are unrounded, unless they print as 60 and carry into the minutes and degrees; degrees carry the sign,
// also as 0; values past an integer's degrees are written as is.
TEST(tiePointTable, degreesMinutesSeconds) {
    EXPECT_EQ(tableOf({{0, 12.5, -0.5, 100.25}, {1, 137.4, 3 + 7.0 / 60, -1234.56789}, {2, -5.5, 10, 0},
                       {3, 45.25, -0.25, 0}, {4, -0.0, 0, 0}, {5, -179.75, 359.5, 0},
                       {6, -2147483647.5, 2147483648.5, 0}, {7, notANumber, 3e12, 0},
                       {8, -4.5999999999, -0.99999999999, 0}, {9, 59.9999999999, 4.5999999, 0}}, true),
              testing::testDataText("reports/tie_points_degrees.txt"));
}

// Projected x fills ten columns; identifiers outside the list are left empty.
TEST(tiePointTable, projectedCoordinates) {
    EXPECT_EQ(tableOf({{0, 5.5, -2.25, 7}, {1, -1234567.891, 3 + 7.0 / 60, -1234.56789}, {5, 4, 5, 6}, {-1, 7, 8, 9}},
                      false, 2),
              testing::testDataText("reports/tie_points_projected.txt"));
}

const std::vector<errorRecord> reportErrors{{0, 0, 0, 2},   {2, 0, 0, 1.5}, {3, 0, 0, 0}, {0, 0, 0, 4},
                                            {2, 0, 0, 1.5}, {3, 0, 0, 1},   {2, 0, 0, 1.5}, {3, 0, 0, 0}};

// The orbit rows keep the format the table left: seven digits right-aligned after degrees, ten left-aligned after
// projected coordinates, the default without tie points. Statistics of the population; the extremes start at the first
// error; an entry outside the orbit slots counts only overall, and a slot without a weight shows the full weight.
TEST(runReport, rowsAndStatistics) {
    struct row { const char* file; bool tiePoints, degrees; std::size_t weights; std::vector<errorRecord> errors; };
    for (const row& test : std::vector<row>{
             {"report_degrees.txt", true, true, 4, reportErrors},
             {"report_projected.txt", true, false, 4, reportErrors},
             {"report_without_tie_points.txt", false, true, 4, {{3, 0, 0, 0}, {3, 0, 0, 1}, {3, 0, 0, 0}}},
             {"report_without_errors.txt", true, true, 4, {}},
             {"report_extremes.txt", true, true, 4, {{0, 0, 0, -3}, {0, 0, 0, -7}, {0, 0, 0, -5}}},
             {"report_outside_the_slots.txt", true, true, 2, {{2, 0, 0, 1}, {4, 0, 0, 5}, {-1, 0, 0, 3}}}}) {
        runState scene = reportScene();
        if (!test.tiePoints) scene.tiePoints.clear();
        std::vector<double> weights = scene.trackWeights.values();
        weights.resize(test.weights, notANumber);
        scene.trackWeights = trackWeightList(weights);
        std::ostringstream report;
        const alignmentModel model(testing::discardedConsole(), scene);
        const errorStatistics returned = model.writeReport(report, test.degrees, test.errors);
        report << "Returned: " << returned.standardDeviation << ' ' << returned.mean << ' ' << returned.minimum << ' '
               << returned.maximum << '\n';
        EXPECT_EQ(report.str(), testing::testDataText(std::string("reports/") + test.file)) << test.file;
    }
}

// No text, not even a change of the stream's format, and statistics of 0.
TEST(runReport, nothingWhileNotReady) {
    runState scene = reportScene();
    scene.notReady = true;
    const alignmentModel model(testing::discardedConsole(), scene);
    std::ostringstream report;
    const errorStatistics statistics = model.writeReport(report, true, reportErrors);
    model.writeTiePointTable(report, "T", true);
    report << statistics.standardDeviation << statistics.mean << statistics.minimum << statistics.maximum;
    EXPECT_EQ(report.str() + "|" + std::to_string(report.precision()), "0000|6");
}

// The spread is taken about the mean: errors far from zero keep their small spread.
TEST(runReport, spreadOfErrorsFarFromZeroIsTakenAboutTheirMean) {
    EXPECT_NEAR(computeErrorStatistics({{0, 0, 0, 1e9 + 0.1}, {0, 0, 0, 1e9 + 0.3}}).standardDeviation, 0.1, 1e-6);
}

}  // namespace
}  // namespace kalvex
