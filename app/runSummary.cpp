#include "app/runSummary.h"

#include <cmath>
#include <initializer_list>
#include <ostream>
#include <nlohmann/json.hpp>
#include <system_error>

#include "app/optionTable.h"
#include "app/outputFiles.h"
#include "app/runText.h"
#include "model/raster/georeferenceMotion.h"
#include "model/raster/rasterExtent.h"

namespace kalvex {

namespace {

using json = nlohmann::ordered_json;

bool startsWith(const std::string& line, const char* start) { return line.rfind(start, 0) == 0; }

bool startsWithAny(const std::string& line, std::initializer_list<const char*> starts) {
    for (const char* start : starts)
        if (startsWith(line, start)) return true;
    return false;
}

// Problems the run works round: the "Warning" lines, and the lines of the
// option scan, the plane fit and the quadratic fit's check that keep a
// default or skip a fit in words of their own.
bool isWarningLine(const std::string& line) {
    return startsWithAny(line, {"Warning", "Was unable to parse ", "The statistical filter's minimum error threshold",
                                "The entered percentage ", "There is only one or fewer valid mola point",
                                "NAN ERROR", "0 ERROR", "1 ERROR"});
}

// The lines that end a run or a read are errors whether or not they say so.
bool isErrorLine(const std::string& line) {
    return startsWithAny(line, {"Error: ", "Can only read ", "No Mola points fit raster region",
                                "Tie Coordinate Read Unsuccessful", "Not a valid ", "No Raster Bands Found",
                                "Raster of unknown type", "Could not find a comma separated header",
                                "GROUND POINT PARAMETERS could not be found"});
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
    const runState& state = model.state();
    if (!runSettings.writeSummary) return;
    wanted = true;
    settings = runSettings;
    threadCount = state.threadCount;
    width = state.raster.width;
    height = state.raster.height;
    initialTransform = state.raster.transform;
    semiMajorAxis = state.raster.semiMajorAxis;
    geographic = state.raster.geographic;
    // A raster without a projection of its own is taken in degrees, or with
    // -pr in polar stereographic metres.
    mapUnits = state.raster.projected ? state.raster.mapUnits : (settings.polarProjection ? "metres" : "degrees");
    if (state.raster.projected) metresPerMapUnit = state.raster.metresPerMapUnit;
    base = outputBase(settings.rasterPath, settings.addString);
    for (const char* suffix : outputSuffixes) outputsBefore.emplace_back(base + suffix, stampOf(base + suffix));
}

void runSummary::initialErrors(std::size_t read, std::size_t withModelElevation) {
    if (!wanted) return;
    pointsRead = read;
    pointsAtStart = withModelElevation;
}

void runSummary::aligned(const alignmentRecord& record, const alignmentModel& model) {
    const runState& state = model.state();
    if (!wanted) return;
    alignment = record;
    finalTransform = state.raster.transform;
    pointsHeldAtEnd = state.molaPoints.size();
    const std::vector<errorRecord> errors = model.currentErrorList();
    pointsAtEnd = errors.size();
    double squares = 0.0;
    for (const errorRecord& entry : errors) squares += entry.error * entry.error;
    finalUnweightedRms = errors.empty() ? notANumber : std::sqrt(squares / double(errors.size()));
    finalStandardDeviation = computeErrorStatistics(errors).standardDeviation;
}

namespace {

// An option's setting in force as the summary shows it.
json settingOf(const optionRow& row, const runSettings& settings) {
    switch (row.rule) {
        case valueRule::flag: return settings.*row.flag;
        case valueRule::count: return settings.*row.count;
        case valueRule::stage: return settings.*row.count + 1;  // the stage number the console announces
        case valueRule::distance:
        case valueRule::signedDistance:
        case valueRule::share: return settings.*row.number;
        case valueRule::pair:
            return settings.*row.flag ? json::array({settings.*row.number, settings.*row.secondNumber}) : json();
        case valueRule::fileText: return settings.*row.text;
        case valueRule::orbitList: break;
    }
    // The orbit list's filters and the project's own ones, as the readers apply them.
    json filters = json::array();
    for (const pointFilter& filter : settings.pointFilters) filters.push_back(filterText(filter));
    return filters;
}

}  // namespace

json runSummary::optionsInForce() const {
    json options{{"project", settings.hirise ? "hirise" : "lroc"}};
    for (const char* word : {"-s", "-c", "-p", "-d", "-qf", "-f", "-of", "-tl", "-et", "-sfe", "-sfc", "-sfd", "-sfsd",
                             "-sfp", "-sfs", "-as", "-pr", "-dm", "-j", "-od", "-oe", "-os"}) {
        const optionRow& row = *optionNamed(word);
        const std::string key = row.summaryKey;
        const std::size_t dot = key.find('.');
        if (dot == std::string::npos) options[key] = settingOf(row, settings);
        else options[key.substr(0, dot)][key.substr(dot + 1)] = settingOf(row, settings);
    }
    options["threads"] = threadCount;
    return options;
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
    // Degrees become metres on the raster's own spheroid; a raster that does
    // not say what it lies on gets none.
    json metres;
    if (metresPerMapUnit) {
        metres = json::array({motion.translationX * *metresPerMapUnit, motion.translationY * *metresPerMapUnit});
    } else if (!settings.polarProjection && semiMajorAxis && geographic) {
        const double metresPerDegree = *semiMajorAxis * pi / 180.0;
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

// A file a run may write beside the summary counts as written when it is new
// or was changed during the run, so a file that an earlier run left, or that
// could not be replaced, is not claimed.
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
                         {"mapUnits", mapUnits}};
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
    // Paths, option words and fields echoed in warnings may hold bytes of
    // another encoding; they are written as U+FFFD rather than lose the summary.
    file.stream() << summary.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
    return file.close() ? status : 1;
}

}  // namespace kalvex
