#pragma once
// The run's central object: the raster, the altimeter points with their
// tracks, the tie points, and every stage operation and writer.
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "model/elevationRaster.h"
#include "model/records.h"
#include "readers/pointFilter.h"

namespace kalvex {

// What a translation search found: the RMS at the best offset, the offset,
// and whether it lies on the outermost candidates of the grid.
struct translationOutcome {
    double rms = 0.0;
    double dx = 0.0;
    double dy = 0.0;
    bool onRangeEdge = false;
};

// What a filtering stage judges the tracks and shots by.
struct trackFilterLimits {
    double maxError = 0.0;        // largest acceptable |mean| of a track's weighted errors
    double maxStdDev = 0.0;       // largest acceptable standard deviation of them
    double decrement = 0.0;       // weight a failing track loses
    double errorThreshold = 0.0;  // a shot this far from the mean error is an outlier
};

class alignmentModel {
public:
    elevationRaster raster;
    std::vector<std::string> tiePointIds;
    std::vector<tiePoint> tiePoints;
    std::vector<molaPoint> molaPoints;
    std::vector<double> trackWeights;  // one per orbit, same order as orbits
    std::vector<std::int32_t> orbits;
    std::array<cornerRecord, 4> corners{};  // top-left, top-right, bottom-left, bottom-right as read
    std::vector<tiePoint> initialTiePoints;
    bool debug = false;
    bool notReady = true;
    int threadCount = 1;  // threads a search may use; results never depend on it

    // Raster
    bool readRaster(const std::string& path, double noDataThreshold);
    void setTopLeft(double x, double y);

    // Readers
    bool readTracks(const std::string& fileName, std::vector<pointFilter>& filters);
    bool readTracksInBox(const std::string& fileName, std::vector<pointFilter>& filters, double margin);
    bool readTiePoints(const std::string& fileName);

    // Point error and RMS
    rmsResult currentRms() const;
    std::vector<errorRecord> currentErrorList() const;
    void wrapLongitudes();
    void toPolarStereographic();

    // Fits and searches
    double linearFitStage();
    double quadraticFitStage();
    double translationStage(double currentRms, double padding, double delta);
    translationOutcome searchTranslation(double currentRms, double padding, double delta);
    double rotationStage(double currentRms, double lo, double hi, double step);

    // Statistical track filtering
    void updateTrackWeights(const trackFilterLimits& limits);
    void filterTracks(const trackFilterLimits& limits);

    // Outputs
    void writeErrorMap(std::ostream& script, const std::string& pngPath, bool hirise,
                       const std::vector<errorRecord>& errors, const errorStatistics& statistics) const;
    void writeInitialErrorMap(std::ostream& script, const std::string& pngPath, bool hirise,
                              const std::vector<errorRecord>& errors, const errorStatistics& statistics) const;
    void writeFinalErrorMap(std::ostream& script, bool hirise, const std::vector<errorRecord>& errors,
                            const errorStatistics& statistics) const;
    void writeErrorPoints(std::ostream& script, const std::vector<errorRecord>& errors, bool hirise) const;
    void writeCoordinateMap(std::ostream& script, const std::string& pngPath) const;
    void writeWeightingsMap(std::ostream& script, const std::string& pngPath,
                            const std::vector<errorRecord>& finalErrors) const;
    void writeTiePointTable(std::ostream& stream, const std::string& title, bool degreesMinutesSeconds) const;
    errorStatistics writeReport(std::ostream& report, bool degreesMinutesSeconds) const;
    // The report of a given final error list; writeReport hands it the current one.
    errorStatistics writeReportFrom(std::ostream& report, bool degreesMinutesSeconds,
                                    const std::vector<errorRecord>& finalErrors) const;
};

}  // namespace kalvex
