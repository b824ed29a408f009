// Tie point readers. The cases of tests/data/tiepoints/readerCases.txt (its
// head says how they are written) check the whole console and every point read.
#include <gtest/gtest.h>

#include <charconv>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/alignmentModel.h"
#include "readers/fileReader.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

std::string tieData(const std::string& name) { return testing::testDataDir() + "/tiepoints/" + name; }

std::string pointsOf(const std::vector<tiePoint>& points, const std::vector<std::string>& ids) {
    std::string text = points.empty() ? "no points" : "";
    for (const tiePoint& point : points) {
        for (double value : {point.x, point.y, point.elevation}) {
            char buffer[32];
            text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr) += ' ';
        }
        text += "#" + std::to_string(point.idIndex) + " " + ids.at(std::size_t(point.idIndex)) +
                (&point == &points.back() ? "" : " | ");
    }
    return text;
}

class tieCases : public ::testing::TestWithParam<testing::textCase> {
protected:
    testing::scratchFolder folder{"tiePointReaders"};
};

TEST_P(tieCases, giveTheirConsoleAndPoints) {
    const testing::textCase& test = GetParam();
    const std::string path = folder.file(test["file"]);
    testing::writeTextFile(path, test["data"].empty() ? test["input"] : testing::readTextFile(tieData(test["data"])));
    std::ostringstream console;
    const std::unique_ptr<tiePointReader> reader = makeTiePointReader(path, console);
    reader->verbose = !test["verbose"].empty();
    const bool succeeded = reader->read();
    const std::string printed = console.str();
    testing::writeTextFile(path, "");  // a second read changes nothing
    EXPECT_EQ(reader->read(), succeeded);
    EXPECT_EQ(printed + "=> " + (succeeded ? pointsOf(reader->points, reader->pointIds) : "failed") + "\n",
              test["expect"]);
}

INSTANTIATE_TEST_SUITE_P(readerCases, tieCases,
                         ::testing::ValuesIn(testing::readTextCases(tieData("readerCases.txt"))));

TEST(tiePointModel, keepsAnInitialCopyOfTheTiePointsAndKeepsThemThroughAFailedRead) {
    testing::scratchFolder folder("tiePointModel");
    testing::writeTextFile(folder.file("t.gpf"), "point_id,lon,lat,ht\nA 1 2 3\nB 4 5 6\n");
    testing::writeTextFile(folder.file("bad.gpf"), "point_id,lon,lat\n");
    testing::writeTextFile(folder.file("empty.rep"), "GROUND POINT PARAMETERS\n");
    alignmentModel model(kalvex::testing::discardedConsole());
    model.useRunSettings(true, 1, false);
    std::ostringstream console;
    model.useConsole(console);
    ASSERT_TRUE(model.readTiePoints(folder.file("t.gpf")));
    EXPECT_EQ(console.str(), "Longitude Column: 2\nLatitude Column: 3\nTopology Column: 4\n");
    for (const char* name : {"bad.gpf", "t.txt"}) EXPECT_FALSE(model.readTiePoints(folder.file(name))) << name;
    const runState& state = model.state();
    const std::string kept = pointsOf(state.tiePoints, state.tiePointIds);
    EXPECT_EQ(kept + " / " + pointsOf(state.initialTiePoints, state.tiePointIds), "1 2 3 #0 A | 4 5 6 #1 B / " + kept);
    EXPECT_TRUE(model.readTiePoints(folder.file("empty.rep")));
    EXPECT_TRUE(state.tiePoints.empty() && state.initialTiePoints.empty() && state.tiePointIds.empty());
}

}  // namespace
}  // namespace kalvex
