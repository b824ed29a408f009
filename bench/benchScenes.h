#pragma once
// The benchmark scenes, read the way a run reads them: the raster, then the
// tracks inside its box grown by half its larger extent, then a plane fit as
// at the start of the first stage.
#include <string>

#include "app/runState.h"

namespace kalvex::bench {

// Scenes written by scripts/bench into the build folder's benchdata.
std::string scenePath(const std::string& name);

// The prepared state of a scene, read once per process; empty (notReady) when
// the scene is missing. padding and delta are the run's first-stage defaults.
struct preparedScene {
    runState read;
    double rms = 0.0;
    double padding = 0.0;
    double delta = 0.0;
};
const preparedScene& scene(const std::string& name);

}  // namespace kalvex::bench
