#include "output/errorTable.h"

#include <cmath>
#include <iomanip>
#include <limits>

namespace kalvex {

namespace {

bool samePoint(const molaPoint& a, const molaPoint& b) {
    return a.trackIndex == b.trackIndex && a.x == b.x && a.y == b.y && a.elevation == b.elevation;
}

void writeValue(std::ostream& table, double value) {
    if (!std::isnan(value)) table << value;
}

}  // namespace

shotErrorTable initialShotErrors(const alignmentModel& model) {
    shotErrorTable table;
    const std::vector<double> modelElevations = model.raster.sampleModel(model.molaPoints, 0.0, 0.0, 0.0);
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
// shot that lay off the raster at the start may have reached it by now.
void finishShotErrors(shotErrorTable& table, const alignmentModel& model) {
    // Outlier removal keeps the order of the points it leaves, so the points
    // still held are a subsequence of the start points.
    const std::vector<molaPoint>& remaining = model.molaPoints;
    const std::vector<double> modelElevations = model.raster.sampleModel(remaining, 0.0, 0.0, 0.0);
    std::size_t kept = 0;
    for (shotError& shot : table.shots) {
        const std::size_t track = std::size_t(shot.point.trackIndex);
        if (track < model.trackWeights.size()) shot.weight = model.trackWeights[track];
        if (kept < remaining.size() && samePoint(remaining[kept], shot.point)) {
            shot.finalError = shot.point.elevation - modelElevations[kept];
            ++kept;
        } else {
            shot.removed = true;
        }
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
