#include "app/plainStages.h"

#include "model/plain/surfaceFit.h"

namespace kalvex {

double planeStage(alignmentModel& model) {
    const runState& state = model.state();
    model.addSurface(planeOfErrors(model.console(), state.raster, state.molaPoints, &state.trackWeights,
                                   state.lineFitTold));
    return model.currentRms().rms;
}

double quadraticStage(alignmentModel& model) {
    const runState& state = model.state();
    model.addSurface(quadraticOfErrors(model.console(), state.raster, state.molaPoints, &state.trackWeights));
    return model.currentRms().rms;
}

translationOutcome translationStage(alignmentModel& model, double currentRms, double padding, double delta) {
    const translationOutcome found = searchTranslation(model.searchSubject(), currentRms, padding, delta);
    model.moveBy(found.dx, found.dy);
    return found;
}

rotationOutcome rotationStage(alignmentModel& model, double currentRms, double lo, double hi, double step) {
    const rotationOutcome found = searchRotation(model.searchSubject(), currentRms, lo, hi, step);
    if (found.found) model.turnAbout(found.column, found.row, found.angle);
    return found;
}

}  // namespace kalvex
