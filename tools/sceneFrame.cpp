#include "tools/sceneFrame.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "tools/polarProjection.h"

namespace kalvex::scene {

namespace {

const double lonLatCell = 2e-4;
const double polarCell = 100.0;
const double lonLatLeft = 137.40;
const double lonLatTop = -4.55;
const double polarCentreX = 150000.0;
const double polarCentreY = 250000.0;
const int freeCells = 4;
const double tiltAcrossX = 20.0;   // metres from the west edge to the east edge
const double tiltAcrossY = 12.0;   // metres from the south edge to the north edge

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

std::string polarProblem(const std::vector<mapPoint>& corners) {
    // The farthest point of a box from the pole is one of its corners.
    for (const mapPoint& corner : corners) {
        if (lonLatFromPolar(corner).lat > -1.0)
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
    frame.cell = options.cell > 0.0 ? options.cell : (options.polar ? polarCell : lonLatCell);
    frame.shiftColumns = options.shiftColumns;
    frame.shiftRows = options.shiftRows;
    frame.margin = freeCells + std::max(std::abs(options.shiftColumns), std::abs(options.shiftRows));
    if (options.polar) {
        frame.originX = polarCentreX - 0.5 * (frame.width - 1) * frame.cell;
        frame.originY = polarCentreY + 0.5 * (frame.height - 1) * frame.cell;
    } else {
        frame.originX = lonLatLeft;
        frame.originY = lonLatTop;
    }
    return frame;
}

scenePerturbation makePerturbation(const sceneFrame& frame) {
    scenePerturbation perturbation;
    double spanX = (frame.width - 1) * frame.cell;
    double spanY = (frame.height - 1) * frame.cell;
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
    return frame.polar ? polarProblem(corners) : lonLatProblem(corners);
}

const char* crsText(const sceneFrame& frame) {
    return frame.polar ? "+proj=stere +lat_0=-90 +lat_ts=-90 +lon_0=0 +k=1 +x_0=0 +y_0=0 +R=3376200 +units=m +no_defs"
                       : "+proj=longlat +R=3396190 +no_defs";
}

const char* mapUnits(const sceneFrame& frame) { return frame.polar ? "metres" : "degrees"; }

}  // namespace kalvex::scene
