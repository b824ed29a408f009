#pragma once
// truth.txt: the known perturbations of a scene, as "key = value" lines, so
// that a run of kalvex on the scene can be judged against them.
#include <string>

#include "tools/sceneDem.h"
#include "tools/sceneFrame.h"
#include "tools/sceneOptions.h"
#include "tools/sceneTies.h"
#include "tools/sceneTracks.h"

namespace kalvex::scene {

struct sceneSummary {
    const sceneOptions& options;
    const sceneFrame& frame;
    const scenePerturbation& perturbation;
    const sceneDem& dem;
    const trackSet& tracks;
    const std::vector<tieSpot>& ties;
};

std::string truthText(const sceneSummary& scene);

}  // namespace kalvex::scene
