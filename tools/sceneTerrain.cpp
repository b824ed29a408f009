#include "tools/sceneTerrain.h"

#include <algorithm>
#include <cmath>

namespace kalvex::scene {

namespace {

const double twoPi = 6.283185307179586;
const int hillCount = 4;
const int craterCount = 3;
const int waveCount = 3;

double gaussian(double offset, double sigma) { return std::exp(-0.5 * (offset / sigma) * (offset / sigma)); }

reliefTerm bump(double amplitude, double centreU, double centreV, double widthU, double widthV) {
    return {false, amplitude, centreU, widthU, centreV, widthV};
}

}  // namespace

sceneTerrain::sceneTerrain(const sceneFrame& frame, sceneRandom& random, double relief)
    : originX(frame.originX), originY(frame.originY),
      scale(std::max(frame.width - 1, frame.height - 1) * frame.cell) {
    if (!(scale > 0.0)) scale = frame.cell;
    double extentU = (frame.width - 1) * frame.cell / scale;
    double extentV = (frame.height - 1) * frame.cell / scale;
    base = -2000.0 + random.uniform(-150.0, 150.0);
    slopeU = random.uniform(-60.0, 60.0);
    slopeV = random.uniform(-60.0, 60.0);
    for (int hill = 0; hill < hillCount; ++hill) {
        terms.push_back(bump(random.uniform(120.0, 320.0), extentU * random.uniform(0.1, 0.9),
                             extentV * random.uniform(0.1, 0.9), random.uniform(0.05, 0.12),
                             random.uniform(0.05, 0.12)));
    }
    // A crater is a deep narrow bowl inside a shallow wide swell, whose sum
    // leaves a raised rim around the hollow.
    for (int crater = 0; crater < craterCount; ++crater) {
        double depth = random.uniform(150.0, 300.0);
        double centreU = extentU * random.uniform(0.15, 0.85);
        double centreV = extentV * random.uniform(0.15, 0.85);
        double radius = random.uniform(0.04, 0.09);
        terms.push_back(bump(-depth, centreU, centreV, radius, radius));
        terms.push_back(bump(0.5 * depth, centreU, centreV, 1.8 * radius, 1.8 * radius));
    }
    // Gentle undulations keep a slope nearly everywhere, so that a horizontal
    // shift always changes the elevations.
    for (int wave = 0; wave < waveCount; ++wave) {
        terms.push_back({true, random.uniform(10.0, 30.0), twoPi * random.uniform(1.5, 4.0),
                         random.uniform(0.0, twoPi), twoPi * random.uniform(1.5, 4.0), random.uniform(0.0, twoPi)});
    }
    for (reliefTerm& term : terms) term.amplitude *= relief;
}

double sceneTerrain::factorU(const reliefTerm& term, double u) {
    return term.wave ? std::sin(term.centreU * u + term.widthU) : gaussian(u - term.centreU, term.widthU);
}

double sceneTerrain::factorV(const reliefTerm& term, double v) {
    return term.wave ? std::cos(term.centreV * v + term.widthV) : gaussian(v - term.centreV, term.widthV);
}

double sceneTerrain::at(double x, double y) const {
    double u = sceneU(x);
    double v = sceneV(y);
    double elevation = base + slopeU * u + slopeV * v;
    for (const reliefTerm& term : terms) elevation += term.amplitude * factorU(term, u) * factorV(term, v);
    return elevation;
}

void sceneTerrain::prepareColumns(const sceneFrame& frame) {
    columnFactors.assign(terms.size(), std::vector<double>(std::size_t(frame.width)));
    for (std::size_t index = 0; index < terms.size(); ++index) {
        for (int column = 0; column < frame.width; ++column)
            columnFactors[index][std::size_t(column)] = factorU(terms[index], sceneU(frame.trueX(column)));
    }
}

void sceneTerrain::row(const sceneFrame& frame, int rowIndex, std::vector<double>& elevations) const {
    double v = sceneV(frame.trueY(rowIndex));
    elevations.resize(std::size_t(frame.width));
    for (int column = 0; column < frame.width; ++column)
        elevations[std::size_t(column)] = base + slopeU * sceneU(frame.trueX(column)) + slopeV * v;
    for (std::size_t index = 0; index < terms.size(); ++index) {
        double rowFactor = terms[index].amplitude * factorV(terms[index], v);
        const std::vector<double>& factors = columnFactors[index];
        for (std::size_t column = 0; column < elevations.size(); ++column) elevations[column] += rowFactor * factors[column];
    }
}

}  // namespace kalvex::scene
