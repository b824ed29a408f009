#include "app/runDriver.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <future>
#include <ostream>
#include <thread>

#include "app/commandLine.h"
#include "app/gnuplotRunner.h"
#include "app/helpText.h"
#include "app/mainMode.h"
#include "app/outputFiles.h"
#include "app/runSummary.h"
#include "app/runText.h"
#include "model/evaluation/searchThreads.h"
#include "model/raster/rasterExtent.h"
#include "output/alignedRaster.h"
#include "output/errorTable.h"
#include "output/progressLine.h"

namespace kalvex {

namespace {

constexpr double noDataThreshold = -32767.0;

// More threads than cores only take turns on them, each with a batch of its
// own to start: the search gets slower, never faster.
int threadsFor(std::ostream& console, int requested) {
    const unsigned cores = std::thread::hardware_concurrency();
    if (requested <= 0) return int(std::max(1u, cores));
    if (cores == 0 || unsigned(requested) <= cores) return requested;
    console << "Warning: -j " << requested << " asks for more threads than the " << cores << " cores, using "
            << cores << std::endl;
    return int(cores);
}

// Over a raster in its own projection, all shots are read and projected, and
// those beyond the raster's box widened by the margin go.
bool readProjectedTracks(alignmentModel& model, runSettings& settings, double margin) {
    if (!model.readTracks(settings.trackPath, settings.pointFilters)) return false;
    if (!model.toRasterProjection()) {
        model.console() << "Error: GDAL cannot take longitudes and latitudes into the raster's spatial reference"
                        << std::endl;
        return false;
    }
    model.trimToRaster(margin);
    return true;
}

bool readTrackFile(alignmentModel& model, runSettings& settings, double margin) {
    if (model.state().raster.projected) return readProjectedTracks(model, settings, margin);
    if (!settings.polarProjection) return model.readTracksInBox(settings.trackPath, settings.pointFilters, margin);
    if (!model.readTracks(settings.trackPath, settings.pointFilters)) return false;
    model.wrapLongitudes();
    model.toPolarStereographic();
    model.trimToRaster(margin);
    return true;
}

// A track read that kept no shot after -tl moved the raster: the shots are
// there, the read turned them all away, only not under the raster.
void explainEmptyMovedBox(std::ostream& console, const runSettings& settings, std::size_t shotsOutsideBox) {
    if (settings.topLeftGiven && shotsOutsideBox > 0)
        console << "Error: The " << shotsOutsideBox
                << " shots were read, but none lies in the raster's box as -tl moved it" << std::endl;
}

void warnAboutUnusedFilters(std::ostream& console, const std::vector<pointFilter>& filters) {
    for (const pointFilter& filter : filters)
        if (filter.removedCount == 0)
            console << "Warning: Filter on '" << filter.keyword << "' with value " << filter.threshold
                    << " was never used." << std::endl;
}

// The per-shot table and the aligned raster end like input files, so a track
// table named after the raster could be the very file an output is about to
// replace; the input is worth more than the output and stays as it was.
bool isAnInputOfTheRun(const std::string& path, const runSettings& settings) {
    for (const std::string* input : {&settings.rasterPath, &settings.trackPath, &settings.tiePath}) {
        std::error_code unknown;
        if (!input->empty() && std::filesystem::equivalent(path, *input, unknown)) return true;
    }
    return false;
}

bool refuseToOverwriteAnInput(std::ostream& console, const std::string& path, const runSettings& settings,
                              bool& runFailed) {
    if (!isAnInputOfTheRun(path, settings)) return false;
    console << "Warning: The output file " << path << " is an input of this run, it is left as it was" << std::endl;
    runFailed = true;
    return true;
}

void writeShotErrors(const std::string& path, const shotErrorTable& table, const alignmentModel& model,
                     const runSettings& settings, runOutputs& outputs, bool& runFailed) {
    const runState& state = model.state();
    if (refuseToOverwriteAnInput(model.console(), path, settings, runFailed)) return;
    outputFile file(path, model.console(), &outputs);
    const heldShots shots{state.raster,        state.molaPoints,   state.shotNumbers,
                          state.removedPoints, state.trackWeights, state.orbits};
    writeErrorTable(file.stream(), table, shots, !settings.tiePath.empty());
    if (!file.close()) runFailed = true;
}

// The aligned raster is final once the final fit is made: it is written
// while the maps, the report and the per-shot table are, and waited for
// before any output is put in place. What it has to say is said after the
// main mode's outputs.
class alignedModelWrite {
public:
    alignedModelWrite(const std::string& path, const alignmentModel& model, const runSettings& settings)
        : path(path), model(model), settings(settings) {}

    void start(runOutputs& outputs) {
        if (!settings.writeAlignedRaster || isAnInputOfTheRun(path, settings)) return;
        writing = std::async(std::launch::async, [this, temporary = outputs.begin(path)] {
            // A signal to stop is the main thread's to take, also while it
            // puts the outputs in place: this thread and the compressing
            // threads it starts never take one.
            const terminationDeferred deferred;
            return writeAlignedRaster(model.state().raster, temporary);
        });
    }
    void finish(runOutputs& outputs, bool& runFailed) {
        if (!settings.writeAlignedRaster || settings.tiePath.empty() ||
            refuseToOverwriteAnInput(model.console(), path, settings, runFailed)) return;
        if (writing.valid() && writing.get()) {
            outputs.complete(path);
            return;
        }
        outputs.abandon(path);
        model.console() << "Warning: Could not create the output file " << path << std::endl;
        runFailed = true;
    }

private:
    std::string path;
    const alignmentModel& model;
    const runSettings& settings;
    std::future<bool> writing;
};

// gnuplot renders each script into a temporary image, put in place with the
// other outputs only when gnuplot went through every script.
void renderImages(const std::vector<std::string>& scriptList, runOutputs& outputs, std::ostream& console) {
    std::vector<plotJob> jobs;
    for (const std::string& script : scriptList) {
        const std::string image = script.substr(0, script.size() - std::string(".gnu").size()) + ".png";
        jobs.push_back({temporaryPath(script), image, outputs.begin(image)});
    }
    const bool rendered = runGnuplot(jobs, console);
    for (const plotJob& job : jobs) {
        if (std::error_code missing; rendered && std::filesystem::exists(job.imageWrittenTo, missing))
            outputs.complete(job.imagePath);
        else
            outputs.abandon(job.imagePath);
    }
}

}  // namespace

namespace {

int runRecorded(int argumentCount, const char* const* argumentVector, std::ostream& console, runSummary& summary,
                runOutputs& outputs) {
    std::optional<runSettings> parsed = parseCommandLine(argumentCount, argumentVector, console);
    if (!parsed) return 1;
    runSettings settings = *parsed;

    alignmentModel model(console);
    const runState& state = model.state();
    model.useRunSettings(settings.debugMode, threadsFor(console, settings.threadCount), settings.cornerPlacement);

    if (!model.readRaster(settings.rasterPath, noDataThreshold)) {
        console << "Error: Geotiff Read Unsuccessful" << std::endl;
        return 1;
    }
    if (settings.topLeftGiven) model.setTopLeft(settings.topLeftX, settings.topLeftY);

    const double width = mapWidth(state.raster);
    const double height = mapHeight(state.raster);
    const double size = height > width ? height : width;
    const double margin = size * 0.5;
    finishSearchSettings(console, settings, size, shorterCellSide(state.raster.transform));
    // Before anything is written, the summary included: a run that finds its
    // outputs being written by another leaves them to it.
    const std::string base = outputBase(settings.rasterPath, settings.addString);
    if (!outputs.claim(base)) return 1;
    summary.begin(settings, model);

    if (!readTrackFile(model, settings, margin)) {
        explainEmptyMovedBox(console, settings, state.shotsOutsideBox);
        console << "Error: Mola Tracks Read Unsuccessful" << std::endl;
        return 1;
    }
    warnAboutUnusedFilters(console, settings.pointFilters);
    if (settings.debugMode) printSettings(console, settings);

    std::vector<errorRecord> initialErrors = model.currentErrorList();
    summary.initialErrors(state.molaPoints.size(), initialErrors.size());
    if (initialErrors.empty()) {
        console << "No Mola points fit raster region" << std::endl;
        return 1;
    }
    const errorStatistics initialStatistics = computeErrorStatistics(initialErrors);
    console << "Original Statistics: " << std::endl;
    printStatistics(console, initialErrors.size(), initialStatistics);

    std::vector<std::string> scriptList{base + "_Error_Map.gnu"};
    bool runFailed = false;
    shotErrorTable shotErrors;
    if (settings.writeErrorTable) shotErrors = initialShotErrors(state.raster, state.molaPoints);
    {
        // Written under a temporary name until its second half is in: a run
        // that ends before that leaves the last complete script as it was.
        outputFile errorMap(scriptList.front(), console, &outputs);
        alignedModelWrite alignedModel(base + "_aligned.tif", model, settings);
        if (settings.tiePath.empty()) {
            model.writeErrorMap(errorMap.stream(), base + "_Error_Map.png", settings.hirise, initialErrors,
                                initialStatistics);
        } else {
            model.writeInitialErrorMap(errorMap.stream(), base + "_Error_Map.png", settings.hirise, initialErrors,
                                       initialStatistics);
            // Drawn, the initial errors leave their room to the alignment.
            std::vector<errorRecord>().swap(initialErrors);
            const std::optional<alignmentRecord> alignment =
                runMainMode(model, settings, base, errorMap.stream(), scriptList, outputs, runFailed,
                            [&] { alignedModel.start(outputs); });
            if (!alignment) return 1;
            summary.aligned(*alignment, model);
        }
        if (settings.writeErrorTable)
            writeShotErrors(base + "_errors.csv", shotErrors, model, settings, outputs, runFailed);
        alignedModel.finish(outputs, runFailed);
        if (!errorMap.close()) runFailed = true;
    }
    endProgress();
    renderImages(scriptList, outputs, console);
    return runFailed ? 1 : 0;
}

}  // namespace

// The summary listens from the first word of the command line on, so that it
// hears the warnings of the option scan too, and is written however the run
// ends. Every output waits under its temporary name until the run has ended;
// then all are put in place, the summary, which lists them, last, and a
// signal to stop waits until they are.
int runKalvex(int argumentCount, const char* const* argumentVector, std::ostream& console) {
    runOutputs outputs(console);
    runSummary summary(console);
    // The summary keeps the console's lines through a buffer of its own; the
    // progress line's buffer goes above it and away before it, so that each
    // hands the console back to the buffer it found.
    beginProgress(console);
    reportSearchProgressTo(progressShare);
    int status = runRecorded(argumentCount, argumentVector, console, summary, outputs);
    endProgress();
    const terminationDeferred deferred;
    if (!outputs.putInPlace()) status = 1;
    status = summary.finish(status);
    outputs.release();
    return status;
}

}  // namespace kalvex
