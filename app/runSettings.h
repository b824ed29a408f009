#pragma once
// Every value the command line can set, with its default.
#include <string>
#include <vector>

#include "readers/pointFilter.h"

namespace kalvex {

struct runSettings {
    std::string rasterPath;
    std::string trackPath;
    std::string tiePath;  // empty: error-map-only mode
    int maxStages = 20;
    double convergeValue = 0.0001;
    double delta = -1.0;    // negative: computed from padding
    double padding = -1.0;  // negative: computed from the raster size
    bool quadFit = false;
    bool hirise = true;
    bool lrocFiltering = false;
    std::vector<pointFilter> pointFilters;
    double errorThreshold = 30.0;
    double sfMaxError = 10.0;
    double sfCutoff = 2.0;
    double sfDecrease = 0.1;
    double sfMaxStdDev = 7.0;
    double sfRemovePercent = 0.05;
    int sfStartStage = -1;  // zero-based after the scan
    std::string addString;
    bool polarProjection = false;
    bool debugMode = false;
    bool topLeftGiven = false;
    double topLeftX = 0.0;
    double topLeftY = 0.0;
    // Options beyond the classic set; none of them changes a run without them.
    int threadCount = 0;          // -j: 0 means one thread per core
    bool writeAlignedRaster = false;  // -od
    bool writeErrorTable = false;     // -oe
    bool writeSummary = false;        // -os
    bool robustAlignment = false;     // -robust
    bool cornerPlacement = false;     // -corner: cell values at the cells' corners, as earlier runs placed them
};

}  // namespace kalvex
