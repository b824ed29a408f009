#include "output/scriptText.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/raster/rasterExtent.h"

namespace kalvex {

namespace {

// A share of the raster rather than a fixed length, as the map unit may be a
// degree or a metre and the raster a few metres or many degrees across.
constexpr double marginShare = 0.05;

// A digit at decimal place p rounds the value by up to half of 10^p, so the
// last place needed is the highest one with 10^p <= cellSize / 10.
int coordinateDigits(double value, double cellSize) {
    constexpr int fewest = 6;
    if (!(cellSize > 0.0) || !std::isfinite(cellSize) || !std::isfinite(value) || value == 0.0) return fewest;
    // The tolerance keeps a cell size of exactly a power of ten from losing a
    // place to the rounding of its logarithm.
    const int lastPlace = int(std::floor(std::log10(cellSize / 10.0) + 1e-9));
    const int firstPlace = int(std::floor(std::log10(std::fabs(value))));
    return std::clamp(firstPlace - lastPlace + 1, fewest, std::numeric_limits<double>::max_digits10);
}

// The stream's own precision stays for the numbers that are no coordinates.
void writeCoordinate(std::ostream& script, const mapScale& scale, double value) {
    const std::streamsize saved = script.precision(coordinateDigits(value, scale.cellSize));
    script << value;
    script.precision(saved);
}

void writePosition(std::ostream& script, const mapScale& scale, const mapPosition& position,
                   std::string_view separator) {
    writeCoordinate(script, scale, position.x);
    script << separator;
    writeCoordinate(script, scale, position.y);
}

void writeRange(std::ostream& script, const mapScale& scale, char axis, double from, double to) {
    const double outward = from <= to ? scale.margin : -scale.margin;
    script << "set " << axis << "range [";
    writeCoordinate(script, scale, from - outward);
    script << ":";
    writeCoordinate(script, scale, to + outward);
    script << "]\n";
}

void writeArrow(std::ostream& script, const mapScale& scale, int number, const mapPosition& from,
                const mapPosition& to, const std::string& closingText) {
    script << "set arrow " << number << " from ";
    writePosition(script, scale, from, ",");
    script << " to ";
    writePosition(script, scale, to, ",");
    script << closingText << "\n";
}

}  // namespace

mapScale scaleOf(const elevationRaster& raster) {
    mapScale scale;
    scale.cellSize = shorterCellSide(raster.transform);
    scale.margin = marginShare * std::max(mapWidth(raster), mapHeight(raster));
    return scale;
}

rasterOutline outlineOf(const elevationRaster& raster) {
    const double lastColumn = double(raster.width) - 1.0;
    const double lastRow = double(raster.height) - 1.0;
    rasterOutline outline;
    outline.topLeft = {raster.nodeX(0, 0), raster.nodeY(0, 0)};
    outline.topRight = {raster.nodeX(lastColumn, 0), raster.nodeY(lastColumn, 0)};
    outline.bottomLeft = {raster.nodeX(0, lastRow), raster.nodeY(0, lastRow)};
    outline.bottomRight = {raster.nodeX(lastColumn, lastRow), raster.nodeY(lastColumn, lastRow)};
    return outline;
}

std::string gnuplotQuoted(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size());
    for (const char character : text) {
        if (character == '\n' || character == '\r') {
            // gnuplot ends a command at a line break, even inside a string.
            quoted += '_';
            continue;
        }
        quoted += character;
        if (character == '\'') quoted += '\'';
    }
    return quoted;
}

void writeOutputLine(std::ostream& script, const std::string& pngPath) {
    script << "set output '" << gnuplotQuoted(pngPath) << "'\n";
}

void writeRanges(std::ostream& script, const mapScale& scale, double left, double right, double bottom, double top) {
    writeRange(script, scale, 'x', left, right);
    writeRange(script, scale, 'y', bottom, top);
}

void writeOutline(std::ostream& script, const mapScale& scale, const rasterOutline& outline, int firstArrow,
                  const std::string& closingText) {
    writeArrow(script, scale, firstArrow, outline.topLeft, outline.bottomLeft, closingText);
    writeArrow(script, scale, firstArrow + 1, outline.topLeft, outline.topRight, closingText);
    writeArrow(script, scale, firstArrow + 2, outline.bottomLeft, outline.bottomRight, closingText);
    writeArrow(script, scale, firstArrow + 3, outline.topRight, outline.bottomRight, closingText);
}

void writeRasterFrame(std::ostream& script, const elevationRaster& raster) {
    const mapScale scale = scaleOf(raster);
    const rasterEdges edges = edgesOf(raster);
    writeRanges(script, scale, edges.left, edges.right, edges.bottom, edges.top);
    writeOutline(script, scale, outlineOf(raster), 1, " nohead lc rgb 'grey'");
}

void writeLegendEntry(std::ostream& script, std::string_view screenY, std::string_view colour, int labelNumber,
                      std::string_view labelText) {
    script << "set object circle at screen 0.02," << screenY
           << " radius char 0.5 fillstyle solid fillcolor rgb '#" << colour << "'\n";
    script << "set label " << labelNumber << " '" << labelText << "' at screen 0.03," << screenY << "\n";
}

void writePlotLine(std::ostream& script) {
    script << "plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable\n";
}

void writePointLine(std::ostream& script, const mapScale& scale, double x, double y, std::string_view colour) {
    writePosition(script, scale, {x, y}, " ");
    script << " 0x" << colour << "\n";
}

}  // namespace kalvex
