#pragma once
// The true terrain: an analytic surface that can be evaluated anywhere. Every
// relief term is a product of a function of x and a function of y, so a whole
// grid costs one multiplication per term and cell rather than an exp or sin.
#include <vector>

#include "tools/sceneFrame.h"
#include "tools/sceneRandom.h"

namespace kalvex::scene {

// amplitude * shapeU(u) * shapeV(v), in scene units u (east) and v (south).
struct reliefTerm {
    bool wave = false;          // false: Gaussian bump, true: sin(u) * cos(v) pattern
    double amplitude = 0.0;     // metres; negative for a hollow
    double centreU = 0.0;       // Gaussian centre, or wave frequency in radians per scene
    double widthU = 1.0;        // Gaussian sigma, or wave phase
    double centreV = 0.0;
    double widthV = 1.0;
};

class sceneTerrain {
public:
    // relief scales every hill, crater and undulation; 0 leaves a tilted plane.
    sceneTerrain(const sceneFrame& frame, sceneRandom& random, double relief = 1.0);

    // Elevation in metres at a true map position.
    double at(double x, double y) const;

    // Elevations of one true row of the grid, one per column; reuses the
    // column factors prepared by prepareColumns.
    void prepareColumns(const sceneFrame& frame);
    void row(const sceneFrame& frame, int rowIndex, std::vector<double>& elevations) const;

private:
    double originX;
    double originY;
    double scale;               // map units per scene unit
    double base = 0.0;
    double slopeU = 0.0;        // metres per scene unit
    double slopeV = 0.0;
    std::vector<reliefTerm> terms;
    std::vector<std::vector<double>> columnFactors;

    double sceneU(double x) const { return (x - originX) / scale; }
    double sceneV(double y) const { return (originY - y) / scale; }
    static double factorU(const reliefTerm& term, double u);
    static double factorV(const reliefTerm& term, double v);
};

}  // namespace kalvex::scene
