#include "output/errorMap.h"

#include <limits>
#include <string_view>

#include "output/scriptText.h"

namespace kalvex {

namespace {

// An error bin holds the errors up to its limit (inclusive or not) that no
// earlier bin took; the last bin takes the rest, an error of NaN included.
struct errorBin {
    double limit;
    bool limitIncluded;
    std::string_view colour;
    std::string_view label;
    std::string_view screenY;
};

constexpr double unbounded = std::numeric_limits<double>::infinity();

// HiRISE bins close towards the middle bin, so -15, -10 and -5 go up a bin
// and 5, 10 and 15 go down one.
constexpr errorBin hiriseBins[] = {
    {-15, false, "0000ff", "e < -15", "0.65"},
    {-10, false, "008000", "-15 <= e < -10", "0.60"},
    {-5, false, "00ff00", "-10 <=e < -5", "0.55"},
    {5, true, "ffd700", "-5 <= e <= 5", "0.50"},
    {10, true, "ff8800", "5 < e <= 10", "0.45"},
    {15, true, "ff0000", "10 < e <= 15", "0.40"},
    {unbounded, true, "bb0000", "e > 15", "0.35"},
};

// LROC bins are finer and all closed above.
constexpr errorBin lrocBins[] = {
    {-20, true, "004da8", "e <= -20", "0.75"},
    {-12, true, "60a3b5", "-20 < e <= -12", "0.70"},
    {-8, true, "8cb8a4", "-12 < e <= -8", "0.65"},
    {-4, true, "b1cc91", "-8 < e <= -4", "0.60"},
    {-2, true, "d7e37d", "-4 < e <= -2", "0.55"},
    {2, true, "fafa64", "-2 < e <= 2", "0.50"},
    {4, true, "fccf51", "2 < e <= 4", "0.45"},
    {8, true, "fca43f", "4 < e <= 8", "0.40"},
    {12, true, "f77a2d", "8 < e <= 12", "0.35"},
    {20, true, "f24d1f", "12 < e <= 20", "0.30"},
    {unbounded, true, "e81014", "e > 20", "0.25"},
};

template <std::size_t count>
std::string_view colourOf(double error, const errorBin (&bins)[count]) {
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const errorBin& bin = bins[i];
        if (bin.limitIncluded ? error <= bin.limit : error < bin.limit) return bin.colour;
    }
    return bins[count - 1].colour;
}

std::string_view errorColour(double error, bool hirise) {
    return hirise ? colourOf(error, hiriseBins) : colourOf(error, lrocBins);
}

// The first legend label number; 1 to 3 hold the initial values.
constexpr int firstLegendLabel = 4;

template <std::size_t count>
void writeBinLegend(std::ostream& script, const errorBin (&bins)[count]) {
    int labelNumber = firstLegendLabel;
    for (const errorBin& bin : bins) writeLegendEntry(script, bin.screenY, bin.colour, labelNumber++, bin.label);
}

void writeErrorLegend(std::ostream& script, bool hirise) {
    if (hirise)
        writeBinLegend(script, hiriseBins);
    else
        writeBinLegend(script, lrocBins);
}

// What the single map and the left panel share after their own opening lines.
void writeInitialValues(std::ostream& script, const elevationRaster& raster, bool hirise,
                        const errorStatistics& statistics) {
    writeRasterFrame(script, raster);
    script << "unset key\n";
    script << "set label 1 'Initial Values:' at screen 0.02,0.95\n";
    script << "set label 2 'Mean: " << statistics.mean << "' at screen 0.02,0.90\n";
    script << "set label 3 'Std Dev: " << statistics.standardDeviation << "' at screen 0.02,0.85\n";
    writeErrorLegend(script, hirise);
}

}  // namespace

void writeErrorMap(std::ostream& script, const elevationRaster& raster, const std::string& pngPath, bool hirise,
                   const std::vector<errorRecord>& errors, const errorStatistics& statistics) {
    writeOutputLine(script, pngPath);
    script << "set term png size 750,750\n";
    script << "set size 0.82, 1\n";
    script << "set title 'Error Map'\n";
    script << "set origin .17,0\n";
    writeInitialValues(script, raster, hirise, statistics);
    writeErrorPoints(script, raster, errors, hirise);
    script << "reset\n";
}

void writeInitialErrorMap(std::ostream& script, const elevationRaster& raster, const std::string& pngPath,
                          bool hirise, const std::vector<errorRecord>& errors, const errorStatistics& statistics) {
    writeOutputLine(script, pngPath);
    script << "set term png size 1250,750\n";
    script << "set multiplot\n";
    script << "set size 0.45, 1\n";
    script << "set title 'Initial Error Map'\n";
    script << "set origin .12,0\n";
    writeInitialValues(script, raster, hirise, statistics);
    writeErrorPoints(script, raster, errors, hirise);
    script << "reset\n";
}

// The left panel's reset has cleared its labels and outline; the legend stays
// with the left panel.
void writeFinalErrorMap(std::ostream& script, const elevationRaster& raster, bool hirise,
                        const std::vector<errorRecord>& errors, const errorStatistics& statistics) {
    script << "set size .45, 1\n";
    script << "set origin .55,0\n";
    script << "set title 'Final Error Map'\n";
    writeRasterFrame(script, raster);
    script << "unset key\n";
    script << "set label 15 'Final Values:' at screen 0.02,0.15\n";
    script << "set label 16 'Mean: " << statistics.mean << "' at screen 0.02,0.10\n";
    script << "set label 17 'Std Dev: " << statistics.standardDeviation << "' at screen 0.02,0.05\n";
    writeErrorPoints(script, raster, errors, hirise);
    script << "unset multiplot\n";
    script << "reset\n";
}

void writeErrorPoints(std::ostream& script, const elevationRaster& raster, const std::vector<errorRecord>& errors,
                      bool hirise) {
    writePlotLine(script);
    const mapScale scale = scaleOf(raster);
    for (const errorRecord& entry : errors)
        writePointLine(script, scale, entry.x, entry.y, errorColour(entry.error, hirise));
    script << "e\n";
}

}  // namespace kalvex
