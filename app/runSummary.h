#pragma once
// The run summary that -os writes to base + "_summary.json" for pipelines:
// inputs, settings, counts, RMS values, the move of the raster, the warning
// and error lines of the console, the outputs written and the exit status.
// The run driver reports to it at a few points; without -os it keeps only
// the warning and error lines of the console and writes nothing.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "app/alignmentModel.h"
#include "app/alignmentRecord.h"
#include "app/consoleLines.h"
#include "app/runSettings.h"

namespace kalvex {

class runSummary {
public:
    // Listens to the run's console from now until it is destroyed.
    explicit runSummary(std::ostream& runConsole);

    // The raster is held and the settings are complete: from here on a summary is written.
    void begin(const runSettings& settings, const alignmentModel& model);
    void initialErrors(std::size_t pointsRead, std::size_t withModelElevation);
    void aligned(const alignmentRecord& record, const alignmentModel& model);
    // Writes the summary of a run that ends with this status. Returns the
    // status, or 1 when the summary itself was lost.
    int finish(int status);

private:
    using fileStamp = std::optional<std::filesystem::file_time_type>;
    nlohmann::ordered_json optionsInForce() const;
    nlohmann::ordered_json pointCounts() const;
    nlohmann::ordered_json rmsValues() const;
    nlohmann::ordered_json rasterMotion() const;
    nlohmann::ordered_json outputsWritten() const;
    nlohmann::ordered_json standardErrors() const;

    std::ostream& runConsole;
    consoleLines console;
    bool wanted = false;
    std::string base;
    runSettings settings;
    int threadCount = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    geoTransform initialTransform{};
    std::optional<double> semiMajorAxis;
    bool geographic = false;
    std::string mapUnits;
    std::optional<double> metresPerMapUnit;  // of a projected raster
    std::optional<std::size_t> pointsRead;
    std::optional<std::size_t> pointsAtStart;
    // What is known only after an alignment ran.
    std::optional<alignmentRecord> alignment;
    geoTransform finalTransform{};
    std::size_t pointsHeldAtEnd = 0;
    std::size_t pointsAtEnd = 0;
    double finalUnweightedRms = notANumber;
    double finalStandardDeviation = notANumber;
    std::vector<std::pair<std::string, fileStamp>> outputsBefore;
};

}  // namespace kalvex
