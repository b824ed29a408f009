#include "output/coordinateMap.h"

#include <algorithm>

#include "model/raster/rasterExtent.h"
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

// A coordinate that is not a number widens nothing.
void include(mapBox& box, const mapPosition& position) {
    box.xmin = std::min(box.xmin, position.x);
    box.xmax = std::max(box.xmax, position.x);
    box.ymin = std::min(box.ymin, position.y);
    box.ymax = std::max(box.ymax, position.y);
}

void include(mapBox& box, const rasterOutline& outline) {
    for (const mapPosition& corner : {outline.topLeft, outline.topRight, outline.bottomLeft, outline.bottomRight})
        include(box, corner);
}

void include(mapBox& box, const std::vector<tiePoint>& points) {
    for (const tiePoint& point : points) include(box, mapPosition{point.x, point.y});
}

// The ranges hold both outlines and every tie point before and after the run,
// wherever the run moved or turned them; each axis runs the way it does on
// the error map of the raster.
void writeMovementRanges(std::ostream& script, const mapScale& scale, const mapBox& box,
                         const rasterEdges& current) {
    const bool reversedX = current.left > current.right;
    const bool reversedY = current.bottom > current.top;
    writeRanges(script, scale, reversedX ? box.xmax : box.xmin, reversedX ? box.xmin : box.xmax,
                reversedY ? box.ymax : box.ymin, reversedY ? box.ymin : box.ymax);
}

void writeTiePointLines(std::ostream& script, const mapScale& scale, const std::vector<tiePoint>& points,
                        const char* colour) {
    for (const tiePoint& point : points) writePointLine(script, scale, point.x, point.y, colour);
}

}  // namespace

void writeCoordinateMap(std::ostream& script, const elevationRaster& raster, const std::array<cornerRecord, 4>& corners,
                        const std::vector<tiePoint>& initialTiePoints, const std::vector<tiePoint>& tiePoints,
                        const std::string& pngPath) {
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
    const rasterOutline after = outlineOf(raster);
    mapBox shown{before.topLeft.x, before.topLeft.x, before.topLeft.y, before.topLeft.y};
    include(shown, before);
    include(shown, after);
    include(shown, initialTiePoints);
    include(shown, tiePoints);
    writeMovementRanges(script, scale, shown, edgesOf(raster));
    writeOutline(script, scale, before, 1, " nohead lc rgb '#0000ff'");
    writeOutline(script, scale, after, 5, " nohead lc rgb '#bb0000'");

    writePlotLine(script);
    writeTiePointLines(script, scale, initialTiePoints, initialColour);
    writeTiePointLines(script, scale, tiePoints, finalColour);
    script << "e\n";
    script << "reset\n";
}

}  // namespace kalvex
