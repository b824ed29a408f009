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
    table.startPoints = model.molaPoints;
    const std::vector<double> modelElevations = model.raster.sampleModel(model.molaPoints, 0.0, 0.0, 0.0);
    for (std::size_t i = 0; i < model.molaPoints.size(); ++i) {
        if (std::isnan(modelElevations[i])) continue;
        shotError shot;
        shot.startIndex = i;
        shot.point = model.molaPoints[i];
        shot.initialError = shot.point.elevation - modelElevations[i];
        table.shots.push_back(shot);
    }
    return table;
}

void finishShotErrors(shotErrorTable& table, const alignmentModel& model) {
    // Outlier removal keeps the order of the points it leaves, so the points
    // still held are a subsequence of the start points.
    std::vector<bool> removed(table.startPoints.size(), false);
    std::size_t kept = 0;
    const std::vector<molaPoint>& remaining = model.molaPoints;
    for (std::size_t i = 0; i < table.startPoints.size(); ++i) {
        if (kept < remaining.size() && samePoint(remaining[kept], table.startPoints[i]))
            ++kept;
        else
            removed[i] = true;
    }
    std::vector<molaPoint> shotPoints;
    shotPoints.reserve(table.shots.size());
    for (const shotError& shot : table.shots) shotPoints.push_back(shot.point);
    const std::vector<double> modelElevations = model.raster.sampleModel(shotPoints, 0.0, 0.0, 0.0);
    for (std::size_t i = 0; i < table.shots.size(); ++i) {
        shotError& shot = table.shots[i];
        shot.removed = removed[shot.startIndex];
        const std::size_t track = std::size_t(shot.point.trackIndex);
        if (track < model.trackWeights.size()) shot.weight = model.trackWeights[track];
        if (!shot.removed) shot.finalError = shot.point.elevation - modelElevations[i];
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
