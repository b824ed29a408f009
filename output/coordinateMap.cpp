#include "model/alignmentModel.h"
#include "model/rasterExtent.h"
#include "output/scriptText.h"

namespace kalvex {

namespace {

constexpr const char* initialColour = "0000ff";
constexpr const char* finalColour = "bb0000";

// The outline as the raster was read, from the stored corner records.
rasterOutline initialOutline(const std::array<cornerRecord, 4>& corners) {
    rasterOutline outline;
    outline.topLeft = {corners[0].x, corners[0].y};
    outline.topRight = {corners[1].x, corners[1].y};
    outline.bottomLeft = {corners[2].x, corners[2].y};
    outline.bottomRight = {corners[3].x, corners[3].y};
    return outline;
}

rasterEdges initialEdges(const rasterOutline& outline) {
    rasterEdges edges;
    if (outline.topLeft.x < outline.bottomLeft.x) {
        edges.left = outline.topLeft.x;
        edges.top = outline.topRight.y;
        edges.right = outline.bottomRight.x;
        edges.bottom = outline.bottomLeft.y;
    } else {
        edges.left = outline.bottomLeft.x;
        edges.top = outline.topLeft.y;
        edges.right = outline.topRight.x;
        edges.bottom = outline.bottomRight.y;
    }
    return edges;
}

// One comparison of the left edges decides both axes: the outline that lies
// further left gives the low x and, with the other outline, the y range.
void writeMovementRanges(std::ostream& script, const mapScale& scale, const rasterEdges& initial,
                         const rasterEdges& current) {
    if (current.left < initial.left)
        writeRanges(script, scale, current.left, initial.right, initial.bottom, current.top);
    else
        writeRanges(script, scale, initial.left, current.right, current.bottom, initial.top);
}

void writeTiePointLines(std::ostream& script, const mapScale& scale, const std::vector<tiePoint>& points,
                        const char* colour) {
    for (const tiePoint& point : points) writePointLine(script, scale, point.x, point.y, colour);
}

}  // namespace

void alignmentModel::writeCoordinateMap(std::ostream& script, const std::string& pngPath) const {
    if (notReady) return;
    script << "set term png size 1250,750\n";
    writeOutputLine(script, pngPath);
    script << "unset key\n";
    script << "set title 'Tie Coordinate Map'\n";
    script << "set origin .05,0\n";
    script << "set size .95, 1\n";
    writeLegendEntry(script, "0.52", initialColour, 1, "Initial");
    writeLegendEntry(script, "0.48", finalColour, 2, "Final");

    // The run moves and turns the raster but keeps its cells' size, so one
    // scale serves both outlines.
    const mapScale scale = scaleOf(raster);
    const rasterOutline before = initialOutline(corners);
    writeMovementRanges(script, scale, initialEdges(before), edgesOf(raster));
    writeOutline(script, scale, before, 1, " nohead lc rgb '#0000ff'");
    writeOutline(script, scale, outlineOf(raster), 5, " nohead lc rgb '#bb0000'");

    writePlotLine(script);
    writeTiePointLines(script, scale, initialTiePoints, initialColour);
    writeTiePointLines(script, scale, tiePoints, finalColour);
    script << "e\n";
    script << "reset\n";
}

}  // namespace kalvex
