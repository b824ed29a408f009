#pragma once
// The main mode: tie points, stage loop (or the robust alignment), final fit
// and the outputs of an aligned run.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/alignmentModel.h"
#include "app/alignmentRecord.h"
#include "app/outputFiles.h"
#include "app/runSettings.h"

namespace kalvex {

// Main mode: tie points, stage loop, final fit and outputs. Nothing after a
// failed tie point read. runFailed is set when an output file could not be
// created or no altimeter point was left to align to. finalFitMade is called
// once the raster's cells and georeference are final.
std::optional<alignmentRecord> runMainMode(alignmentModel& model, const runSettings& settings,
                                           const std::string& base, std::ostream& errorMapStream,
                                           std::vector<std::string>& scriptList, runOutputs& outputs,
                                           bool& runFailed, const std::function<void()>& finalFitMade);

}  // namespace kalvex
