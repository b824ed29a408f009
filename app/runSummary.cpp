#include "app/runSummary.h"

#include <cmath>
#include <ostream>
#include <nlohmann/json.hpp>
#include <system_error>

#include "app/outputFiles.h"
#include "app/runDriver.h"
#include "model/georeferenceMotion.h"
#include "model/rasterExtent.h"

namespace kalvex {

namespace {

using json = nlohmann::ordered_json;

constexpr double sphereRadius = 3376200.0;  // metres: the sphere of the polar projection

// Every file a run may write beside the summary. A file counts as written
// when it is new or was changed during the run, so a file that an earlier
// run left, or that could not be replaced, is not claimed.
const char* const outputSuffixes[] = {"_Error_Map.gnu", "_Error_Map.png",      "_Coord_Map.gnu",
                                      "_Coord_Map.png", "_Weightings_Map.gnu", "_Weightings_Map.png",
                                      "_report.txt",    "_errors.csv",         "_aligned.tif"};

bool isWarningLine(const std::string& line) { return line.rfind("Warning", 0) == 0; }

// The lines that end a run are errors whether or not they say so.
bool isErrorLine(const std::string& line) {
    return line.rfind("Error: ", 0) == 0 || line == "No Mola points fit raster region" ||
           line == "Tie Coordinate Read Unsuccessful";
}

std::optional<std::filesystem::file_time_type> stampOf(const std::string& path) {
    std::error_code missing;
    const std::filesystem::file_time_type stamp = std::filesystem::last_write_time(path, missing);
    if (missing) return std::nullopt;
    return stamp;
}

template <typename value>
json valueOrNull(const std::optional<value>& known) {
    return known ? json(*known) : json();
}

json filterText(const pointFilter& filter) {
    const char* comparison = filter.comparison == pointFilter::lessThan      ? "<"
                             : filter.comparison == pointFilter::greaterThan ? ">"
                                                                             : "=";
    return {{"keyword", filter.keyword}, {"comparison", comparison}, {"value", filter.threshold}};
}

json linesWhere(const std::vector<std::string>& lines, bool (*picked)(const std::string&)) {
    json chosen = json::array();
    for (const std::string& line : lines)
        if (picked(line)) chosen.push_back(line);
    return chosen;
}

}  // namespace

runSummary::runSummary(std::ostream& runConsole)
    : runConsole(runConsole), console(runConsole, [](const std::string& line) { return isWarningLine(line) || isErrorLine(line); }) {}

void runSummary::begin(const runSettings& runSettings, const alignmentModel& model) {
    if (!runSettings.writeSummary) return;
    wanted = true;
    settings = runSettings;
    threadCount = model.threadCount;
    width = model.raster.width;
    height = model.raster.height;
    initialTransform = model.raster.transform;
    base = outputBase(settings.rasterPath, settings.addString);
    for (const char* suffix : outputSuffixes) outputsBefore.emplace_back(base + suffix, stampOf(base + suffix));
}

void runSummary::initialErrors(std::size_t read, std::size_t withModelElevation) {
    if (!wanted) return;
    pointsRead = read;
    pointsAtStart = withModelElevation;
}

void runSummary::aligned(const alignmentRecord& record, const alignmentModel& model) {
    if (!wanted) return;
    alignment = record;
    finalTransform = model.raster.transform;
    pointsHeldAtEnd = model.molaPoints.size();
    const std::vector<errorRecord> errors = model.currentErrorList();
    pointsAtEnd = errors.size();
    double squares = 0.0;
    for (const errorRecord& entry : errors) squares += entry.error * entry.error;
    finalUnweightedRms = errors.empty() ? notANumber : std::sqrt(squares / double(errors.size()));
    finalStandardDeviation = computeErrorStatistics(errors).standardDeviation;
}

json runSummary::optionsInForce() const {
    json filters = json::array();
    for (const pointFilter& filter : settings.pointFilters) filters.push_back(filterText(filter));
    const json topLeft = settings.topLeftGiven ? json::array({settings.topLeftX, settings.topLeftY}) : json();
    return {{"project", settings.hirise ? "hirise" : "lroc"},
            {"maxStages", settings.maxStages},
            {"convergeValue", settings.convergeValue},
            {"padding", settings.padding},
            {"delta", settings.delta},
            {"quadraticFit", settings.quadFit},
            {"lrocFiltering", !settings.hirise && settings.lrocFiltering},
            {"pointFilters", filters},
            {"topLeft", topLeft},
            {"errorThreshold", settings.errorThreshold},
            {"statisticalFiltering",
             {{"maxError", settings.sfMaxError},
              {"cutoff", settings.sfCutoff},
              {"decrease", settings.sfDecrease},
              {"maxStdDev", settings.sfMaxStdDev},
              {"removePercent", settings.sfRemovePercent},
              {"startStage", settings.sfStartStage + 1}}},
            {"addString", settings.addString},
            {"polarProjection", settings.polarProjection},
            {"debugMode", settings.debugMode},
            {"threads", threadCount},
            {"writeAlignedRaster", settings.writeAlignedRaster},
            {"writeErrorTable", settings.writeErrorTable},
            {"writeSummary", settings.writeSummary}};
}

json runSummary::pointCounts() const {
    const bool removable = alignment && pointsRead;
    return {{"read", valueOrNull(pointsRead)},
            {"withModelElevationAtStart", valueOrNull(pointsAtStart)},
            {"withModelElevationAtEnd", alignment ? json(pointsAtEnd) : json()},
            {"removed", removable ? json(*pointsRead - pointsHeldAtEnd) : json()}};
}

// A value that is not a number, as every one is before an alignment ran, is written as null.
json runSummary::rmsValues() const {
    const alignmentRecord record = alignment.value_or(alignmentRecord{});
    return {{"initialWeighted", record.initialRms},
            {"finalWeighted", record.finalRms},
            {"finalUnweighted", finalUnweightedRms},
            {"finalStandardDeviation", finalStandardDeviation}};
}

json runSummary::rasterMotion() const {
    const georeferenceMotion motion = motionBetween(initialTransform, finalTransform, width, height);
    json metres;
    if (!settings.polarProjection) {
        const double metresPerDegree = sphereRadius * pi / 180.0;
        metres = json::array({motion.translationX * metresPerDegree * std::cos(motion.pivotY * pi / 180.0),
                              motion.translationY * metresPerDegree});
    }
    return {{"translation",
             {{"mapUnits", json::array({motion.translationX, motion.translationY})},
              {"cells", json::array({motion.columns, motion.rows})},
              {"metres", metres}}},
            {"rotation", {{"degrees", motion.rotationDegrees}, {"pivot", json::array({motion.pivotX, motion.pivotY})}}},
            {"stages", {{"count", alignment->stages}, {"converged", alignment->converged}}}};
}

// The expected size of the error of the translation (and of the turn, where
// one was searched), in cells along x and y and in map units; null where the
// shots do not fix it.
json runSummary::standardErrors() const {
    const positionVector sizes = errorSizes(alignment->uncertainty);
    const double cell = shorterCellSide(initialTransform);
    const json degrees = alignment->uncertainty.withTurn ? json(sizes[2]) : json();
    return {{"cells", json::array({sizes[0], sizes[1]})},
            {"mapUnits", json::array({sizes[0] * cell, sizes[1] * cell})},
            {"rotationDegrees", degrees}};
}

json runSummary::outputsWritten() const {
    json written = json::array();
    for (const auto& [path, before] : outputsBefore) {
        const std::optional<std::filesystem::file_time_type> now = stampOf(path);
        if (now && now != before) written.push_back(path);
    }
    return written;
}

int runSummary::finish(int status) {
    if (!wanted) return status;
    json summary;
    summary["inputs"] = {{"raster", settings.rasterPath},
                         {"tracks", settings.trackPath},
                         {"ties", settings.tiePath.empty() ? json() : json(settings.tiePath)}};
    summary["mode"] = settings.tiePath.empty() ? "errorMapOnly" : "main";
    summary["options"] = optionsInForce();
    summary["raster"] = {{"width", width},
                         {"height", height},
                         {"cellSize", json::array({std::hypot(initialTransform[1], initialTransform[4]),
                                                   std::hypot(initialTransform[2], initialTransform[5])})},
                         {"mapUnits", settings.polarProjection ? "metres" : "degrees"}};
    summary["points"] = pointCounts();
    summary["rms"] = rmsValues();
    const json motion = alignment ? rasterMotion() : json{{"translation", nullptr}, {"rotation", nullptr},
                                                          {"stages", nullptr}};
    for (const auto& [key, value] : motion.items()) summary[key] = value;
    // A run that ended before or without anything to align to has failed; an
    // error map alone is no alignment to judge.
    const bool failed = alignment ? alignment->failed : status != 0;
    summary["verdict"] = failed ? json("failed") : alignment ? json(verdictName(alignment->reasons)) : json();
    summary["reasons"] = alignment && !failed ? json(reasonNames(alignment->reasons)) : json::array();
    summary["standardError"] = alignment && !failed ? standardErrors() : json();
    summary["warnings"] = linesWhere(console.lines(), isWarningLine);
    summary["errors"] = linesWhere(console.lines(), isErrorLine);
    summary["outputs"] = outputsWritten();
    summary["exitStatus"] = status;

    outputFile file(base + "_summary.json", runConsole);
    file.stream() << summary.dump(2) << '\n';
    return file.close() ? status : 1;
}

}  // namespace kalvex
