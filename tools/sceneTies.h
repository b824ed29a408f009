#pragma once
// Tie points in the DEM's own (perturbed) map frame, as a ground point file.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sceneFrame.h"
#include "tools/sceneTerrain.h"

namespace kalvex::scene {

struct tieSpot {
    std::string id;
    double x = 0.0;             // written map position
    double y = 0.0;
    double height = 0.0;        // the perturbed DEM surface there
};

std::vector<tieSpot> makeTies(int count, std::uint64_t seed, const sceneFrame& frame,
                              const scenePerturbation& perturbation, const sceneTerrain& terrain);

bool writeGpf(const std::string& path, const sceneFrame& frame, const std::vector<tieSpot>& ties);

}  // namespace kalvex::scene
