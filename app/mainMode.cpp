#include <algorithm>
#include <functional>
#include <cmath>
#include <iostream>

#include "app/outputFiles.h"
#include "app/runDriver.h"
#include "app/trackFiltering.h"

namespace kalvex {

namespace {

// The stage loop: filtering (from the start stage on), plane fit, translation,
// a narrower translation search for the next stage, and for HiRISE projects a
// rotation, until the RMS stops changing over the last k stages.
alignmentRecord runStages(alignmentModel& model, runSettings& settings, double rms) {
    std::vector<double> rmsHistory{rms};
    const int lookback = std::max(settings.maxStages / 4, 2);
    double change = settings.convergeValue + 1.0;
    int stage = 0;
    do {
        std::cout << std::endl;
        std::cout << "Stage: " << stage + 1 << std::endl;
        if (stage >= settings.sfStartStage && settings.sfRemovePercent > 0) {
            model.filterTracks(settings.sfRemovePercent, settings.sfMaxError, settings.sfMaxStdDev,
                               settings.errorThreshold);
            lowerMaxError(settings);
        }
        if (model.debug) std::cout << "Beginning Linear Surface Fitting:" << std::endl;
        rms = model.linearFitStage();
        rmsHistory.push_back(rms);
        rms = model.translationStage(rms, settings.padding, settings.delta);
        rmsHistory.back() = rms;
        settings.padding = settings.padding / 1.75;
        settings.delta = settings.delta / 1.75;
        if (settings.hirise) {
            rms = model.rotationStage(rms, -5.0, 5.0, 0.1);
            rmsHistory.back() = rms;
        }
        ++stage;
        std::cout << "Stage " << stage << " RMS: " << rms << std::endl;
        if (stage >= lookback) change = std::fabs(rms - rmsHistory[std::size_t(stage - lookback)]);
    } while (stage < settings.maxStages && change > settings.convergeValue);
    alignmentRecord record;
    record.stages = stage;
    record.converged = change <= settings.convergeValue;
    return record;
}

void writeScript(const std::string& path, std::vector<std::string>& scriptList, bool& outputsLost,
                 const std::function<void(std::ostream&)>& write) {
    scriptList.push_back(path);
    outputFile script(path);
    write(script.stream());
    if (!script.close()) outputsLost = true;
}

}  // namespace

std::optional<alignmentRecord> runMainMode(alignmentModel& model, runSettings& settings, const std::string& base,
                                           std::ostream& errorMapStream, std::vector<std::string>& scriptList,
                                           bool& outputsLost) {
    if (!model.readTiePoints(settings.tiePath)) {
        std::cout << "Tie Coordinate Read Unsuccessful" << std::endl;
        return std::nullopt;
    }
    const bool degreesMinutesSeconds = !settings.polarProjection;
    model.writeTiePointTable(std::cout, "Initial XYZ Coordinates", degreesMinutesSeconds);
    const double initialRms = model.currentRms().rms;
    std::cout << "Initial RMS: " << initialRms << std::endl;

    alignmentRecord record = runStages(model, settings, initialRms);
    record.initialRms = initialRms;

    const double finalRms = settings.quadFit ? model.quadraticFitStage() : model.linearFitStage();
    std::cout << std::endl;
    std::cout << "Final RMS: " << finalRms << std::endl;
    record.finalRms = finalRms;

    writeScript(base + "_Coord_Map.gnu", scriptList, outputsLost,
                [&](std::ostream& script) { model.writeCoordinateMap(script, base + "_Coord_Map.png"); });
    const std::vector<errorRecord> finalErrors = model.currentErrorList();
    if (settings.sfRemovePercent > 0)
        writeScript(base + "_Weightings_Map.gnu", scriptList, outputsLost, [&](std::ostream& script) {
            model.writeWeightingsMap(script, base + "_Weightings_Map.png", finalErrors);
        });
    model.writeTiePointTable(std::cout, "Final XYZ Coordinates", degreesMinutesSeconds);

    outputFile report(base + "_report.txt");
    const errorStatistics finalStatistics = model.writeReport(report.stream(), degreesMinutesSeconds);
    printStatistics(finalErrors.size(), finalStatistics);
    if (!report.close()) outputsLost = true;

    model.writeFinalErrorMap(errorMapStream, settings.hirise, finalErrors, finalStatistics);
    return record;
}

}  // namespace kalvex
