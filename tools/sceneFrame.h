#pragma once
// Where the scene lies and how its DEM is distorted. "True" positions are
// where the terrain really is (and where the altimeter saw it); "written"
// positions are those that dem.tif's own georeference gives its cells.
#include <array>
#include <string>

#include "tools/polarProjection.h"
#include "tools/sceneOptions.h"

namespace kalvex::scene {

struct sceneFrame {
    int width = 0;
    int height = 0;
    double cell = 0.0;          // map units: degrees, or metres when polar or equirectangular
    double originX = 0.0;       // true position of cell (0, 0)
    double originY = 0.0;
    int shiftColumns = 0;
    int shiftRows = 0;
    int margin = 0;             // cells kept free of tracks along every edge
    bool polar = false;
    bool equirectangular = false;
    double radius = 0.0;        // of the sphere of a projected scene, in metres
    std::string crs;            // the spatial reference, as PROJ text
    double rotation = 0.0;      // degrees, counter-clockwise: how the true grid is turned about its centre
    bool trueGeoreference = false;  // dem.tif gets the true georeference instead of the written one

    double trueX(double column) const { return originX + column * cell; }
    double trueY(double row) const { return originY - row * cell; }
    double writtenOriginX() const { return originX + shiftColumns * cell; }
    double writtenOriginY() const { return originY - shiftRows * cell; }
    double writtenX(double column) const { return writtenOriginX() + column * cell; }
    double writtenY(double row) const { return writtenOriginY() - row * cell; }
    // What kalvex should add to GT0 and GT3 to put the cells back on the terrain.
    double translationX() const { return -shiftColumns * cell; }
    double translationY() const { return shiftRows * cell; }
    std::array<double, 6> writtenTransform() const { return {writtenOriginX(), cell, 0.0, writtenOriginY(), 0.0, -cell}; }
    // The longitude and latitude of a map position, in degrees.
    lonLat lonLatOf(const mapPoint& position) const;
    // Where cell (column, row) truly lies once the turn is taken into account.
    mapPoint trueCell(double column, double row) const;
    std::array<double, 6> trueTransform() const;
    // dem.tif's georeference in GDAL's terms, at the corner of the first cell:
    // the terrain is sampled at the cells' centres.
    std::array<double, 6> fileTransform() const;
};

// GDAL's georeference of the cells whose centres a georeference gives.
std::array<double, 6> cornerOf(const std::array<double, 6>& centres);

// The tilt and offset added to every cell, as a plane in the written frame.
struct scenePerturbation {
    double offset = 8.0;        // metres
    double tiltX = 0.0;         // metres per map unit, eastward
    double tiltY = 0.0;         // metres per map unit, northward
    double centreX = 0.0;       // written position where the tilt adds nothing
    double centreY = 0.0;
    double at(double writtenX, double writtenY) const {
        return offset + tiltX * (writtenX - centreX) + tiltY * (writtenY - centreY);
    }
};

sceneFrame makeFrame(const sceneOptions& options);
// tiltAcrossX: metres from the west edge to the east edge; 0.6 of it from south to north.
scenePerturbation makePerturbation(const sceneFrame& frame, double tiltAcrossX);

// Empty when the scene fits on the planet and leaves room for tracks inside
// its margins; otherwise what is wrong, for the user.
std::string frameProblem(const sceneFrame& frame);

const char* crsText(const sceneFrame& frame);
const char* mapUnits(const sceneFrame& frame);

}  // namespace kalvex::scene
