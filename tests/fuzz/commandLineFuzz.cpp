// Splits arbitrary bytes into argument words at line feeds and NUL bytes (64
// at the most: longer inputs only slow the fuzzer down), hands them to the
// command line and checks that every value a run will use lies in its range.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "app/commandLine.h"
#include "app/helpText.h"
#include "tests/fuzz/fuzzSupport.h"

using namespace kalvex;
using kalvex::fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ostringstream console;
    std::vector<std::string> words{"kalvex", ""};
    for (std::size_t i = 0; i < size && words.size() < 64; ++i)
        if (data[i] == '\n' || data[i] == '\0')
            words.emplace_back();
        else
            words.back() += char(data[i]);
    std::vector<const char*> vector;
    for (const std::string& word : words) vector.push_back(word.c_str());
    vector.push_back(nullptr);
    std::optional<runSettings> settings = parseCommandLine(int(words.size()), vector.data(), console);
    if (!settings) return 0;
    const runSettings& s = *settings;
    const auto usable = [](double value) { return std::isfinite(value) && value >= 0.0; };
    require(!s.rasterPath.empty() && !s.trackPath.empty(), "a run has a raster and a track table");
    require(s.maxStages >= 0 && s.sfStartStage >= -1 && (s.sfStartStage < s.maxStages || s.sfStartStage == -1),
            "the stage count is an absolute value and filtering starts inside the run");
    require(usable(s.convergeValue) && usable(s.errorThreshold) && usable(s.sfCutoff), "the limits are usable");
    require(std::isfinite(s.delta) && std::isfinite(s.padding) && std::isfinite(s.sfMaxError) &&
            std::isfinite(s.sfMaxStdDev), "the search values and filter limits are finite");
    require(usable(s.sfDecrease) && s.sfDecrease <= 1.0 && usable(s.sfRemovePercent) && s.sfRemovePercent <= 1.0,
            "percentages are fractions");
    require(s.addString.find_first_of("<>:\"\\/|?*") == std::string::npos, "the -as text makes a valid file name");
    require(!s.topLeftGiven || (std::isfinite(s.topLeftX) && std::isfinite(s.topLeftY)), "the top left is finite");
    require(!s.hirise || s.pointFilters.empty() || s.pointFilters.back().keyword == "orbit",
            "a HiRISE project has only orbit filters");
    finishDefaults(*settings, 1000.0);
    require(s.padding >= 0.0 && s.delta >= 0.0, "the computed defaults fill the unset values");
    printSettings(console, s);
    return 0;
}
