#include "output/errorTable.h"

#include <cmath>
#include <iomanip>
#include <limits>

#include "model/pointError.h"

namespace kalvex {

namespace {

void writeValue(std::ostream& table, double value) {
    if (!std::isnan(value)) table << value;
}

}  // namespace

shotErrorTable initialShotErrors(const alignmentModel& model) {
    shotErrorTable table;
    const std::vector<double> modelElevations = sampleModel(model.raster, model.molaPoints, 0.0, 0.0, 0.0);
    table.shots.reserve(model.molaPoints.size());
    for (std::size_t i = 0; i < model.molaPoints.size(); ++i) {
        shotError shot;
        shot.point = model.molaPoints[i];
        shot.initialError = shot.point.elevation - modelElevations[i];
        table.shots.push_back(shot);
    }
    return table;
}

// The final errors are those of the final error list: the same sampling of the
// points still held, so that the table reproduces the final statistics. A
// shot that lay off the raster at the start may have reached it by now; a
// shot no longer held was removed as an outlier.
void finishShotErrors(shotErrorTable& table, const alignmentModel& model) {
    for (shotError& shot : table.shots) {
        shot.weight = model.trackWeights.of(shot.point.trackIndex);
        shot.removed = true;
    }
    const std::vector<double> modelElevations = sampleModel(model.raster, model.molaPoints, 0.0, 0.0, 0.0);
    for (std::size_t held = 0; held < model.molaPoints.size() && held < model.shotNumbers.size(); ++held) {
        const std::size_t number = model.shotNumbers[held];
        if (number >= table.shots.size()) continue;
        table.shots[number].removed = false;
        table.shots[number].finalError = table.shots[number].point.elevation - modelElevations[held];
    }
}

void writeErrorTable(std::ostream& table, const std::vector<shotError>& shots,
                     const std::vector<std::int32_t>& orbits) {
    table << std::setprecision(std::numeric_limits<double>::max_digits10);
    table << "orbit,x,y,elevation,initial_error,final_error,weight,removed\n";
    for (const shotError& shot : shots) {
        const std::size_t track = std::size_t(shot.point.trackIndex);
        if (track < orbits.size()) table << orbits[track];
        table << ',' << shot.point.x << ',' << shot.point.y << ',' << shot.point.elevation << ',';
        writeValue(table, shot.initialError);
        table << ',';
        writeValue(table, shot.finalError);
        table << ',';
        writeValue(table, shot.weight);
        table << ',' << (shot.removed ? 1 : 0) << '\n';
    }
}

}  // namespace kalvex
