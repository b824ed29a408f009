#include "tools/sceneFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "model/records.h"

namespace kalvex::scene {

namespace {

const double lonLatCell = 2e-4;
const double polarCell = 100.0;
const double equirectangularCell = 12.0;
const double marsRadius = 3396190.0;
const double lonLatLeft = 137.40;
const double lonLatTop = -4.55;
const double polarCentreX = 150000.0;
const double polarCentreY = 250000.0;
const int freeCells = 4;

// Cells that a turn moves the edge of the grid by at most: tracks stay that
// much further inside, so that every shot still falls on the turned cells.
int cellsMovedByTurn(const sceneOptions& options) {
    if (options.rotation == 0.0) return 0;
    const double halfDiagonal = 0.5 * std::hypot(options.width - 1, options.height - 1);
    return int(std::ceil(halfDiagonal * std::sin(std::fabs(options.rotation) * pi / 180.0)));
}

std::vector<mapPoint> cornersOfBothFrames(const sceneFrame& frame) {
    double lastColumn = frame.width - 1;
    double lastRow = frame.height - 1;
    return {{frame.trueX(0), frame.trueY(0)},
            {frame.trueX(lastColumn), frame.trueY(lastRow)},
            {frame.trueX(0), frame.trueY(lastRow)},
            {frame.trueX(lastColumn), frame.trueY(0)},
            {frame.writtenX(0), frame.writtenY(0)},
            {frame.writtenX(lastColumn), frame.writtenY(lastRow)},
            {frame.writtenX(0), frame.writtenY(lastRow)},
            {frame.writtenX(lastColumn), frame.writtenY(0)}};
}

std::string lonLatProblem(const std::vector<mapPoint>& corners) {
    for (const mapPoint& corner : corners) {
        if (corner.x < -180.0 || corner.x > 180.0 || corner.y < -89.5 || corner.y > 89.5)
            return "the scene does not fit between longitudes -180 and 180 and latitudes -89.5 and 89.5";
    }
    return "";
}

std::string polarProblem(const sceneFrame& frame, const std::vector<mapPoint>& corners) {
    // The farthest point of a box from the pole is one of its corners.
    for (const mapPoint& corner : corners) {
        if (frame.lonLatOf(corner).lat > -1.0)
            return "the polar scene reaches beyond latitude -1 degree; use fewer or smaller cells";
    }
    return "";
}

}  // namespace

sceneFrame makeFrame(const sceneOptions& options) {
    sceneFrame frame;
    frame.width = options.width;
    frame.height = options.height;
    frame.polar = options.polar;
    frame.equirectangular = options.equirectangular;
    frame.radius = options.radius > 0.0 ? options.radius : (options.polar ? polarModeRadius : marsRadius);
    const double defaultCell = options.polar ? polarCell : (options.equirectangular ? equirectangularCell : lonLatCell);
    frame.cell = options.cell > 0.0 ? options.cell : defaultCell;
    frame.shiftColumns = options.shiftColumns;
    frame.shiftRows = options.shiftRows;
    frame.rotation = options.rotation;
    frame.trueGeoreference = options.trueGeoreference;
    frame.margin = freeCells + std::max(std::abs(options.shiftColumns), std::abs(options.shiftRows)) +
                   cellsMovedByTurn(options);
    if (options.polar) {
        frame.originX = polarCentreX - 0.5 * (frame.width - 1) * frame.cell;
        frame.originY = polarCentreY + 0.5 * (frame.height - 1) * frame.cell;
    } else if (options.equirectangular) {
        frame.originX = lonLatLeft * pi / 180.0 * frame.radius;
        frame.originY = lonLatTop * pi / 180.0 * frame.radius;
    } else {
        frame.originX = lonLatLeft;
        frame.originY = lonLatTop;
    }
    char radius[32];
    std::snprintf(radius, sizeof radius, "%.15g", frame.radius);
    const std::string sphere = std::string(" +R=") + radius + " +units=m +no_defs";
    if (frame.polar) frame.crs = "+proj=stere +lat_0=-90 +lat_ts=-90 +lon_0=0 +k=1 +x_0=0 +y_0=0" + sphere;
    else if (frame.equirectangular) frame.crs = "+proj=eqc +lat_ts=0 +lat_0=0 +lon_0=0 +x_0=0 +y_0=0" + sphere;
    else frame.crs = "+proj=longlat +R=3396190 +no_defs";
    return frame;
}

lonLat sceneFrame::lonLatOf(const mapPoint& position) const {
    if (polar) return lonLatFromPolar(position, radius);
    if (equirectangular) return {position.x / radius * 180.0 / pi, position.y / radius * 180.0 / pi};
    return {position.x, position.y};
}

mapPoint sceneFrame::trueCell(double column, double row) const {
    if (rotation == 0.0) return {trueX(column), trueY(row)};
    const double centreColumn = 0.5 * (width - 1);
    const double centreRow = 0.5 * (height - 1);
    const double east = (column - centreColumn) * cell;
    const double north = (centreRow - row) * cell;
    const double s = std::sin(rotation * pi / 180.0);
    const double c = std::cos(rotation * pi / 180.0);
    return {trueX(centreColumn) + c * east - s * north, trueY(centreRow) + s * east + c * north};
}

std::array<double, 6> sceneFrame::trueTransform() const {
    if (rotation == 0.0) return {originX, cell, 0.0, originY, 0.0, -cell};
    const mapPoint origin = trueCell(0, 0);
    const mapPoint nextColumn = trueCell(1, 0);
    const mapPoint nextRow = trueCell(0, 1);
    return {origin.x, nextColumn.x - origin.x, nextRow.x - origin.x,
            origin.y, nextColumn.y - origin.y, nextRow.y - origin.y};
}

std::array<double, 6> sceneFrame::fileTransform() const {
    return cornerOf(trueGeoreference ? trueTransform() : writtenTransform());
}

std::array<double, 6> cornerOf(const std::array<double, 6>& centres) {
    std::array<double, 6> corner = centres;
    corner[0] -= 0.5 * (centres[1] + centres[2]);
    corner[3] -= 0.5 * (centres[4] + centres[5]);
    return corner;
}

scenePerturbation makePerturbation(const sceneFrame& frame, double tiltAcrossX) {
    scenePerturbation perturbation;
    double spanX = (frame.width - 1) * frame.cell;
    double spanY = (frame.height - 1) * frame.cell;
    // Times 12 over 20 rather than 0.6, which is no exact binary fraction.
    const double tiltAcrossY = tiltAcrossX * 12.0 / 20.0;
    perturbation.tiltX = spanX > 0.0 ? tiltAcrossX / spanX : 0.0;
    perturbation.tiltY = spanY > 0.0 ? tiltAcrossY / spanY : 0.0;
    perturbation.centreX = frame.writtenX(0.5 * (frame.width - 1));
    perturbation.centreY = frame.writtenY(0.5 * (frame.height - 1));
    return perturbation;
}

std::string frameProblem(const sceneFrame& frame) {
    int smallest = 2 * frame.margin + 8;
    if (frame.width < smallest || frame.height < smallest)
        return "with this shift the DEM needs at least " + std::to_string(smallest) + " cells each way";
    std::vector<mapPoint> corners = cornersOfBothFrames(frame);
    if (frame.polar) return polarProblem(frame, corners);
    for (mapPoint& corner : corners) {
        const lonLat position = frame.lonLatOf(corner);
        corner = {position.lon, position.lat};
    }
    return lonLatProblem(corners);
}

const char* crsText(const sceneFrame& frame) { return frame.crs.c_str(); }

const char* mapUnits(const sceneFrame& frame) { return frame.polar || frame.equirectangular ? "metres" : "degrees"; }

}  // namespace kalvex::scene
