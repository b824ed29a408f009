#include "tests/support/stageSteps.h"

#include "model/plain/rotationStage.h"
#include "model/plain/surfaceFit.h"
#include "model/plain/translationStage.h"

namespace kalvex::testing {

double planeStep(alignmentModel& model) {
    const runState& held = model.state();
    model.addSurface(planeOfErrors(model.console(), held.raster, held.molaPoints, &held.trackWeights, held.lineFitTold));
    return model.currentRms().rms;
}

double quadraticStep(alignmentModel& model) {
    const runState& held = model.state();
    model.addSurface(quadraticOfErrors(model.console(), held.raster, held.molaPoints, &held.trackWeights));
    return model.currentRms().rms;
}

double translationStep(alignmentModel& model, double currentRms, double padding, double delta) {
    const translationOutcome found = searchTranslation(model.searchSubject(), currentRms, padding, delta);
    model.moveBy(found.dx, found.dy);
    return found.rms;
}

double rotationStep(alignmentModel& model, double currentRms, double lo, double hi, double step) {
    const rotationOutcome found = searchRotation(model.searchSubject(), currentRms, lo, hi, step);
    if (found.found) model.turnAbout(found.column, found.row, found.angle);
    return found.rms;
}

}  // namespace kalvex::testing
