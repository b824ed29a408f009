#include "output/errorTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "model/evaluation/pointError.h"
#include "model/raster/localPlane.h"

namespace kalvex {

namespace {

// Each row is put together in a buffer, the numbers as printf's %.17g puts
// them, and handed to the stream whole: a million rows take a second through
// the stream's own formatting of each number.
class rowText {
public:
    void number(double value) {
        if (std::isnan(value)) return;
        end = std::to_chars(end, text + sizeof text, value, std::chars_format::general,
                            std::numeric_limits<double>::max_digits10).ptr;
    }
    void integer(long long value) { end = std::to_chars(end, text + sizeof text, value).ptr; }
    void put(char c) { *end++ = c; }
    void writeTo(std::ostream& stream) {
        stream.write(text, end - text);
        end = text;
    }

private:
    char text[256];
    char* end = text;
};

struct tableRow {
    molaPoint point;
    double initialError = notANumber;
    double finalError = notANumber;
    double weight = notANumber;
    bool removed = false;
};

void writeRow(rowText& row, const tableRow& shot, const std::vector<std::int32_t>& orbits, std::ostream& table) {
    const std::size_t track = std::size_t(shot.point.trackIndex);
    if (track < orbits.size()) row.integer(orbits[track]);
    row.put(',');
    row.number(shot.point.x);
    row.put(',');
    row.number(shot.point.y);
    row.put(',');
    row.number(shot.point.elevation);
    row.put(',');
    row.number(shot.initialError);
    row.put(',');
    row.number(shot.finalError);
    row.put(',');
    row.number(shot.weight);
    row.put(',');
    row.put(shot.removed ? '1' : '0');
    row.put('\n');
    row.writeTo(table);
}

}  // namespace

shotErrorTable initialShotErrors(const elevationRaster& raster, const std::vector<molaPoint>& points) {
    shotErrorTable table;
    const localPlane plane(raster, 0.0, 0.0, 0.0);
    table.initialErrors.reserve(points.size());
    for (const molaPoint& point : points)
        table.initialErrors.push_back(point.elevation - plane.elevationAt(point.x, point.y));
    return table;
}

// The final errors are those of the final error list: the same sampling of the
// points still held, so that the table reproduces the final statistics. A
// shot that lay off the raster at the start may have reached it by now; a
// shot no longer held was removed as an outlier.
void writeErrorTable(std::ostream& table, const shotErrorTable& initial, const heldShots& shots, bool aligned) {
    table << "orbit,x,y,elevation,initial_error,final_error,weight,removed\n";
    const localPlane plane(shots.raster, 0.0, 0.0, 0.0);
    const bool numbered = shots.shotNumbers.size() == shots.points.size();
    std::vector<numberedPoint> removed = shots.removed;
    std::sort(removed.begin(), removed.end(),
              [](const numberedPoint& a, const numberedPoint& b) { return a.number < b.number; });
    std::size_t held = 0, gone = 0;
    rowText row;
    for (std::size_t number = 0; number < initial.initialErrors.size(); ++number) {
        tableRow shot;
        shot.initialError = initial.initialErrors[number];
        const bool isHeld =
            held < shots.points.size() && (numbered ? shots.shotNumbers[held] == number : held == number);
        while (gone < removed.size() && removed[gone].number < number) ++gone;
        if (isHeld) {
            shot.point = shots.points[held++];
            if (aligned) shot.finalError = shot.point.elevation - plane.elevationAt(shot.point.x, shot.point.y);
        } else if (gone < removed.size() && removed[gone].number == number) {
            shot.point = removed[gone].point;
            shot.removed = aligned;
        }
        if (aligned) shot.weight = shots.weights.of(shot.point.trackIndex);
        writeRow(row, shot, shots.orbits, table);
    }
}

}  // namespace kalvex
