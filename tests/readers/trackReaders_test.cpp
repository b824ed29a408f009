// Track readers. The cases of tests/data/tracks/readerCases.txt (its head
// says how they are written) check the whole console and every point read.
#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/alignmentModel.h"
#include "readers/fileReader.h"
#include "tests/support/testSupport.h"

namespace kalvex {
namespace {

using filterList = std::vector<pointFilter>;

std::string trackData(const std::string& name) { return testing::testDataDir() + "/tracks/" + name; }

std::string pointsOf(const std::vector<molaPoint>& points, const std::vector<std::int32_t>& orbits) {
    std::string text;
    for (const molaPoint& point : points) {
        for (double value : {point.x, point.y, point.elevation}) {
            char buffer[32];
            text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr) += ' ';
        }
        text += "#" + std::to_string(point.trackIndex) + (&point == &points.back() ? " " : " | ");
    }
    text += "@";
    for (std::int32_t orbit : orbits) text += " " + std::to_string(orbit);
    return text;
}

// A dBASE III table of "NAME:length" fields and "|"-separated records whose
// first cell is the deletion flag; values are right-aligned. The header lists
// as many records as there are, or "listed".
std::string dbfTable(const testing::textCase& test) {
    std::vector<std::pair<std::string, std::size_t>> fields;
    std::istringstream words(test["dbf"]);
    for (std::string word; words >> word;)
        fields.emplace_back(word.substr(0, word.find(':')), std::stoul(word.substr(word.find(':') + 1)));
    const unsigned length = test["header length"].empty() ? unsigned(33 + 32 * fields.size())
                                                            : unsigned(std::stoul(test["header length"]));
    std::string bytes(32, '\0');
    bytes[0] = 3;
    bytes[8] = char(length & 0xFF);
    bytes[9] = char(length >> 8);
    for (const auto& [name, size] : fields)
        bytes += (name + std::string(11 - name.size(), '\0') + "N" + std::string(4, '\0') + char(size))
                     .append(15, '\0');
    bytes += '\r';
    std::istringstream lines(test["records"]);
    std::uint32_t records = 0;
    for (std::string line, cell; std::getline(lines, line); ++records) {
        std::istringstream cells(line);
        std::getline(cells, cell, '|');
        bytes += cell.empty() ? " " : cell;
        for (const auto& field : fields)
            bytes += std::getline(cells, cell, '|') ? std::string(field.second - cell.size(), ' ') + cell
                                                    : std::string(field.second, ' ');
    }
    if (!test["listed"].empty()) records = std::uint32_t(std::stoul(test["listed"]));
    for (std::size_t k = 0; k < 4; ++k) bytes[4 + k] = char((records >> (8 * k)) & 0xFF);
    return bytes + test["tail"];
}

class trackFiles : public ::testing::Test {
protected:
    testing::scratchFolder folder{"trackReaders"};
    std::ostringstream console;  // what the readers made here print
    std::string write(const std::string& name, const std::string& text) {
        testing::writeTextFile(folder.file(name), text);
        return folder.file(name);
    }
};

class trackCases : public trackFiles, public ::testing::WithParamInterface<testing::textCase> {};

TEST_P(trackCases, giveTheirConsoleAndPoints) {
    const testing::textCase& test = GetParam();
    std::string bytes = !test["data"].empty() ? testing::readTextFile(trackData(test["data"]))
                        : !test["dbf"].empty() ? dbfTable(test) : test["input"];
    std::istringstream patches(test["patch"]);
    for (std::string at, text; patches >> at >> text;) bytes.replace(std::stoul(at), text.size(), text);
    const std::string path = write(test["file"], bytes);
    const std::map<std::string, std::int32_t> comparisons{
        {"=", pointFilter::equalTo}, {"<", pointFilter::lessThan}, {">", pointFilter::greaterThan}};
    filterList filters;
    std::istringstream filterWords(test["filters"]);
    double threshold = 0.0;
    for (std::string comparison, keyword; filterWords >> comparison >> keyword >> threshold;)
        filters.emplace_back(comparisons.at(comparison), keyword, threshold);
    std::istringstream numbers(test["box"] + test["raster"]);
    runState read;  // what the read gave
    read.debug = !test["verbose"].empty();
    bool succeeded = false;
    std::string printed, state, turnedAway;
    if (!test["raster"].empty()) {
        double margin = 0.0;
        numbers >> read.raster.width >> read.raster.height;
        for (double& term : read.raster.transform.coefficients) numbers >> term;
        numbers >> margin;
        read.raster.loaded = true;
        std::ostringstream capture;
        alignmentModel model(capture, read);
        succeeded = model.readTracksInBox(path, filters, margin);
        printed = capture.str();
        read = model.state();
        state = read.notReady ? " not ready" : "";
        EXPECT_EQ(read.trackWeights.values(), std::vector<double>(read.orbits.size(), 1.0));
    } else {
        const std::unique_ptr<molaReader> reader = makeTrackReader(path, console);
        reader->verbose = read.debug;
        reader->filters = filters;
        std::array<double, 4> box{};
        const bool bounded = bool(numbers >> box[0] >> box[1] >> box[2] >> box[3]);
        const valueRange lon = bounded ? valueRange({box[0], box[1]}) : std::nullopt;
        const valueRange lat = bounded ? valueRange({box[2], box[3]}) : std::nullopt;
        succeeded = reader->read(lon, lat);
        printed = console.str();
        testing::writeTextFile(path, "");  // a second read changes nothing
        EXPECT_EQ(reader->read(lon, lat), succeeded);
        if (reader->outsideBox > 0) turnedAway = " outside " + std::to_string(reader->outsideBox);
        read.molaPoints = reader->points;
        read.orbits = reader->orbits;
        filters = reader->filters;
    }
    std::string outcome = printed + "=> " + (succeeded ? pointsOf(read.molaPoints, read.orbits) : "failed") + state + turnedAway +
                          (filters.empty() ? "" : " removed");
    for (const pointFilter& filter : filters) outcome += " " + std::to_string(filter.removedCount);
    EXPECT_EQ(outcome + "\n", test["expect"]);
}

INSTANTIATE_TEST_SUITE_P(readerCases, trackCases,
                         ::testing::ValuesIn(testing::readTextCases(trackData("readerCases.txt"))));

TEST_F(trackFiles, readersAreChosenByTheExactEndingAndRefuseOtherOrMissingFiles) {
    for (const char* name : {"a.b/t.csv", "t.tab", ".dbf"}) EXPECT_NE(makeTrackReader(name, console), nullptr) << name;
    for (const char* name : {".gpf", "t.rep"}) EXPECT_NE(makeTiePointReader(name, console), nullptr) << name;
    for (const char* name : {"t.CSV", "t.gpf", "csv", ""}) EXPECT_EQ(makeTrackReader(name, console), nullptr) << name;
    for (const char* name : {"t.GPF", "t.csv", "gpf", ""}) EXPECT_EQ(makeTiePointReader(name, console), nullptr) << name;
    for (const std::string ending : {".csv", ".tab", ".dbf", ".gpf", ".rep"}) {
        console.str("");
        std::unique_ptr<fileReader> reader = makeTrackReader("t" + ending, console);
        if (!reader) reader = makeTiePointReader("t" + ending, console);
        const std::string missing = folder.file("missing" + ending);
        const std::string directory = folder.file("folder" + ending);
        std::filesystem::create_directory(directory);
        for (const std::string& name : {missing, directory, std::string("t.CSV"), std::string()}) {
            reader->fileName = name;
            EXPECT_FALSE(reader->read()) << name;
        }
        EXPECT_EQ(console.str(), "Error: Could not open " + missing + "\nError: Could not open " + directory +
                                     ", it is a folder\nCan only read " + ending + " file not .CSV\n")
            << ending;
    }
}

TEST_F(trackFiles, modelReadsFailWithoutPointsAndKeepTheirListsThroughAFailedRead) {
    runState held;
    held.orbits = {1, 2};
    alignmentModel model(kalvex::testing::discardedConsole(), held);
    filterList filters;
    EXPECT_FALSE(model.readTracks(write("t.CSV", "lon,lat,topo\n1,2,3\n"), filters));
    EXPECT_FALSE(model.readTracks(write("bad.csv", "lat,topo\n1,2\n"), filters));
    EXPECT_EQ(model.state().orbits, (std::vector<std::int32_t>{1, 2}));
    EXPECT_FALSE(model.readTracks(write("none.csv", "lon,lat,topo\n1,,3\n"), filters));
    EXPECT_EQ(pointsOf(model.state().molaPoints, model.state().orbits), "@");
    EXPECT_TRUE(model.state().notReady);
    ASSERT_TRUE(model.readTracks(write("good.tab", "lon lat topo\n1 2 3\n"), filters));
    EXPECT_EQ(pointsOf(model.state().molaPoints, model.state().orbits), "1 2 3 #0 @ 0");
    EXPECT_TRUE(model.state().notReady);  // no raster yet
}

}  // namespace
}  // namespace kalvex
