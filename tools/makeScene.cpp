// Sample-scene generator: a perturbed DEM with altimeter tracks and tie points
// whose true misalignment is known, for demonstrations, tests and benchmarks.
#include <cpl_error.h>
#include <gdal_priv.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "tools/sceneDem.h"
#include "tools/sceneFiles.h"
#include "tools/sceneFrame.h"
#include "tools/sceneOptions.h"
#include "tools/sceneTables.h"
#include "tools/sceneTerrain.h"
#include "tools/sceneTies.h"
#include "tools/sceneTracks.h"
#include "tools/sceneTruth.h"

namespace {

using namespace kalvex::scene;

const int statusWriteFailed = 1;
const int statusBadCommandLine = 2;

bool reportFailure(const std::string& path) {
    std::cout << "makeScene: could not write " << path << std::endl;
    return false;
}

bool makeFolder(const std::string& folder) {
    std::error_code problem;
    std::filesystem::create_directories(folder, problem);
    if (problem || !std::filesystem::is_directory(folder, problem)) {
        std::cout << "makeScene: could not make the folder " << folder << std::endl;
        return false;
    }
    return true;
}

bool generateScene(const sceneOptions& options, const sceneFrame& frame) {
    if (!makeFolder(options.outFolder)) return false;
    auto pathOf = [&options](const std::string& name) { return (std::filesystem::path(options.outFolder) / name).string(); };

    scenePerturbation perturbation = makePerturbation(frame, options.tilt);
    sceneRandom terrainRandom(options.seed, 1);
    sceneTerrain terrain(frame, terrainRandom, options.relief);
    trackSet tracks = makeTracks(options, frame, terrain);
    std::vector<tieSpot> ties = makeTies(options.ties, options.seed, frame, perturbation, terrain);
    sceneDem dem = makeDem(frame, perturbation, terrain, options);

    if (!writeDem(pathOf("dem.tif"), frame, dem, options.deflate)) return reportFailure(pathOf("dem.tif"));
    if (!writeCsv(pathOf("tracks.csv"), tracks)) return reportFailure(pathOf("tracks.csv"));
    if (!writeTab(pathOf("tracks.tab"), tracks)) return reportFailure(pathOf("tracks.tab"));
    if (!writeDbf(pathOf("tracks.dbf"), tracks)) return reportFailure(pathOf("tracks.dbf"));
    if (!writeGpf(pathOf("ties.gpf"), frame, ties)) return reportFailure(pathOf("ties.gpf"));
    sceneSummary summary{options, frame, perturbation, dem, tracks, ties};
    if (!writeBytes(pathOf("truth.txt"), truthText(summary))) return reportFailure(pathOf("truth.txt"));

    std::cout << "makeScene: wrote " << frame.width << " x " << frame.height << " cells, " << tracks.orbits.size()
              << " tracks, " << tracks.points.size() << " points and " << ties.size() << " tie points to "
              << options.outFolder << std::endl;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CPLSetErrorHandler(CPLQuietErrorHandler);
    GDALAllRegister();
    parseResult parsed = parseSceneOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.outcome == parseOutcome::help) {
        for (const std::string& line : helpLines()) std::cout << line << std::endl;
        return 0;
    }
    sceneFrame frame = makeFrame(parsed.options);
    if (parsed.outcome == parseOutcome::run) {
        std::string problem = frameProblem(frame);
        if (!problem.empty()) {
            parsed.outcome = parseOutcome::bad;
            parsed.problem = problem;
        }
    }
    if (parsed.outcome == parseOutcome::bad) {
        std::cout << "makeScene: " << parsed.problem << "; " << usageLine() << std::endl;
        return statusBadCommandLine;
    }
    return generateScene(parsed.options, frame) ? 0 : statusWriteFailed;
}
