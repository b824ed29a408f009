#include "output/weightingsMap.h"

#include <cstddef>
#include <limits>
#include <string_view>

#include "output/scriptText.h"

namespace kalvex {

namespace {

// A weight bin holds the weights below its limit that no lighter bin took;
// the last bin takes the rest, so full weight and a NaN weight share it.
struct weightBin {
    double limit;
    std::string_view colour;
    std::string_view label;
    std::string_view screenY;
};

constexpr weightBin weightBins[] = {
    {0.1, "ff0000", "w < .1", "0.30"},
    {0.2, "ff0088", ".2 > w >= .1", "0.35"},
    {0.3, "ff00ff", ".3 > w >= .2", "0.40"},
    {0.4, "bb00ff", ".4 > w >= .3", "0.45"},
    {0.5, "8800ff", ".5 > w >= .4", "0.50"},
    {0.6, "0000ff", ".6 > w >= .5", "0.55"},
    {0.7, "0088ff", ".7 > w >= .6", "0.60"},
    {0.8, "00ffff", ".8 > w >= .7", "0.65"},
    {0.9, "00ffaa", ".9 > w >= .8", "0.70"},
    {std::numeric_limits<double>::infinity(), "00ff00", "w >= .9", "0.75"},
};

constexpr std::size_t weightBinCount = sizeof(weightBins) / sizeof(weightBins[0]);

// The filter lowers weights by repeated subtraction, which leaves them a few
// units in the last place off a bin edge (0.7999999999999998 for 0.8); the
// report prints such a weight as the edge, and the map colours it so.
constexpr double edgeTolerance = 1e-9;

std::string_view weightColour(double weight) {
    for (std::size_t i = 0; i + 1 < weightBinCount; ++i)
        if (weight < weightBins[i].limit - edgeTolerance) return weightBins[i].colour;
    return weightBins[weightBinCount - 1].colour;
}

// The legend lists the heaviest bin first.
void writeWeightLegend(std::ostream& script) {
    int labelNumber = 1;
    for (std::size_t i = weightBinCount; i-- > 0;)
        writeLegendEntry(script, weightBins[i].screenY, weightBins[i].colour, labelNumber++, weightBins[i].label);
}

}  // namespace

void writeWeightingsMap(std::ostream& script, const elevationRaster& raster, const trackWeightList& trackWeights,
                        const std::string& pngPath, const std::vector<errorRecord>& finalErrors) {
    script << "set term png size 625,750\n";
    script << "set origin .13,0\n";
    script << "set size .87, 1\n";
    writeOutputLine(script, pngPath);
    script << "set title 'Weightings Map'\n";
    writeRasterFrame(script, raster);
    script << "unset key\n";
    writeWeightLegend(script);
    writePlotLine(script);
    const mapScale scale = scaleOf(raster);
    for (const errorRecord& entry : finalErrors)
        writePointLine(script, scale, entry.x, entry.y, weightColour(trackWeights.of(entry.trackIndex)));
    script << "e\n";
    script << "reset\n";
}

}  // namespace kalvex
