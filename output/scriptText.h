#pragma once
// Line forms that every gnuplot script shares: the output line, the map ranges
// and raster outlines, the bin legends and the coloured point lines.
#include <ostream>
#include <string>
#include <string_view>

#include "model/raster/elevationRaster.h"
#include "model/raster/geoTransform.h"

namespace kalvex {

// What a map of a raster takes from the raster's scale. Each coordinate gets
// the significant digits that place it within a twentieth of a cell (six at
// the least, as every other number), so shots and outlines are drawn where
// they lie at any resolution and magnitude. The ranges reach beyond what they
// frame by a share of the raster's larger extent, so that points on the edge
// are not drawn on the frame, whatever the map unit.
struct mapScale {
    double cellSize = 0.0;  // the shorter side of a cell in map units
    double margin = 0.0;    // in map units, the same on both axes
};

mapScale scaleOf(const elevationRaster& raster);

// The four outline corners of a raster: the nodes of cells (0,0), (W,0),
// (0,H) and (W,H).
struct rasterOutline {
    mapPosition topLeft;
    mapPosition topRight;
    mapPosition bottomLeft;
    mapPosition bottomRight;
};

rasterOutline outlineOf(const elevationRaster& raster);

// A path placed inside a single-quoted gnuplot string: each single quote is
// doubled and each line break (which no gnuplot string can hold) becomes '_',
// so that no file name can end the string or the line and add commands.
std::string gnuplotQuoted(const std::string& text);

void writeOutputLine(std::ostream& script, const std::string& pngPath);

// "set xrange" and "set yrange", each grown by the margin away from its middle:
// a range given high to low (an axis drawn reversed) stays so and widens too.
void writeRanges(std::ostream& script, const mapScale& scale, double left, double right, double bottom, double top);

// Arrows firstArrow to firstArrow + 3: left edge, top edge, bottom edge, right edge.
void writeOutline(std::ostream& script, const mapScale& scale, const rasterOutline& outline, int firstArrow,
                  const std::string& closingText);

// The ranges and the grey outline of the raster as its geotransform now places it.
void writeRasterFrame(std::ostream& script, const elevationRaster& raster);

// One legend row: a filled circle of the colour (six hex digits) and its label.
void writeLegendEntry(std::ostream& script, std::string_view screenY, std::string_view colour, int labelNumber,
                      std::string_view labelText);

void writePlotLine(std::ostream& script);

// x, y and the point's colour (six hex digits) as gnuplot reads a variable colour.
void writePointLine(std::ostream& script, const mapScale& scale, double x, double y, std::string_view colour);

}  // namespace kalvex
