#include "output/scriptText.h"

#include "model/rasterExtent.h"

namespace kalvex {

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

void writeRanges(std::ostream& script, double left, double right, double bottom, double top) {
    script << "set xrange [" << left - mapRangeMargin << ":" << right + mapRangeMargin << "]\n";
    script << "set yrange [" << bottom - mapRangeMargin << ":" << top + mapRangeMargin << "]\n";
}

namespace {

void writeArrow(std::ostream& script, int number, const mapPosition& from, const mapPosition& to,
                const std::string& closingText) {
    script << "set arrow " << number << " from " << from.x << "," << from.y << " to " << to.x << "," << to.y
           << closingText << "\n";
}

}  // namespace

void writeOutline(std::ostream& script, const rasterOutline& outline, int firstArrow, const std::string& closingText) {
    writeArrow(script, firstArrow, outline.topLeft, outline.bottomLeft, closingText);
    writeArrow(script, firstArrow + 1, outline.topLeft, outline.topRight, closingText);
    writeArrow(script, firstArrow + 2, outline.bottomLeft, outline.bottomRight, closingText);
    writeArrow(script, firstArrow + 3, outline.topRight, outline.bottomRight, closingText);
}

void writeRasterFrame(std::ostream& script, const elevationRaster& raster) {
    const rasterEdges edges = edgesOf(raster);
    writeRanges(script, edges.left, edges.right, edges.bottom, edges.top);
    writeOutline(script, outlineOf(raster), 1, " nohead lc rgb 'grey'");
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

void writePointLine(std::ostream& script, double x, double y, std::string_view colour) {
    script << x << " " << y << " 0x" << colour << "\n";
}

}  // namespace kalvex
