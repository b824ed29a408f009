// Splits arbitrary bytes into argument words at line feeds and NUL bytes and
// hands them to the command line, then checks that every value the run will
// use lies in the range the scan promises.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/commandLine.h"
#include "app/helpText.h"
#include "tests/fuzz/fuzzSupport.h"

namespace {

using namespace kalvex;
using kalvex::fuzzing::require;

// The scan never has more than a few hundred words to look at in practice;
// longer inputs only slow the fuzzer down.
constexpr std::size_t wordLimit = 64;

std::vector<std::string> splitIntoWords(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"kalvex"};
    std::string word;
    for (std::size_t i = 0; i < size && words.size() < wordLimit; ++i) {
        const char character = static_cast<char>(data[i]);
        if (character == '\n' || character == '\0') {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(character);
        }
    }
    if (words.size() < wordLimit) words.push_back(word);
    return words;
}

bool isFraction(double value) { return std::isfinite(value) && value >= 0.0 && value <= 1.0; }

void checkSettings(const runSettings& settings) {
    require(!settings.rasterPath.empty() && !settings.trackPath.empty(), "a run has a raster and a track table");
    require(settings.maxStages >= 0, "the stage count is an absolute value");
    require(settings.sfStartStage >= -1 && (settings.sfStartStage < settings.maxStages || settings.sfStartStage == -1),
            "filtering starts inside the run");
    require(std::isfinite(settings.convergeValue) && settings.convergeValue >= 0.0, "the convergence value is usable");
    require(std::isfinite(settings.delta) && std::isfinite(settings.padding), "the search values are finite");
    require(isFraction(settings.sfDecrease) && isFraction(settings.sfRemovePercent), "percentages are fractions");
    require(std::isfinite(settings.errorThreshold) && settings.errorThreshold >= 0.0, "the threshold is usable");
    require(std::isfinite(settings.sfMaxError) && std::isfinite(settings.sfMaxStdDev), "filter limits are finite");
    require(std::isfinite(settings.sfCutoff) && settings.sfCutoff >= 0.0, "the cutoff is usable");
    require(settings.addString.find_first_of("<>:\"\\/|?*") == std::string::npos,
            "the -as text makes a valid file name");
    if (settings.topLeftGiven)
        require(std::isfinite(settings.topLeftX) && std::isfinite(settings.topLeftY), "the top left is finite");
    if (settings.hirise) require(settings.pointFilters.size() == 0 || settings.pointFilters.back().keyword == "orbit",
                                 "a HiRISE project has only orbit filters");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> words = splitIntoWords(data, size);
    std::vector<const char*> vector;
    for (const std::string& word : words) vector.push_back(word.c_str());
    vector.push_back(nullptr);

    const kalvex::fuzzing::silentConsole quiet;
    std::optional<runSettings> settings = parseCommandLine(int(words.size()), vector.data());
    if (!settings) return 0;
    checkSettings(*settings);
    finishDefaults(*settings, 1000.0);
    require(settings->padding >= 0.0 && settings->delta >= 0.0, "the computed defaults fill the unset values");
    printSettings(*settings);
    return 0;
}
