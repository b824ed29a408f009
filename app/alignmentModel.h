#pragma once
// The run's central object: the raster, the altimeter points with their
// tracks, the tie points, and every stage operation and writer of the run.
// Each operation hands plain inputs to a free function and keeps what it
// returns; while the model is not ready (no raster or no altimeter point),
// every stage and writer does nothing and returns its neutral value.
#include <array>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "model/plain/rotationStage.h"
#include "model/plain/trackFilter.h"
#include "model/plain/translationStage.h"
#include "model/raster/elevationRaster.h"
#include "model/records.h"
#include "model/trackWeights.h"

namespace kalvex {

struct pointFilter;

class alignmentModel {
public:
    // Console text of every operation goes to console, which must outlive the model.
    explicit alignmentModel(std::ostream& console) : consoleStream(&console) {}

    elevationRaster raster;
    std::vector<std::string> tiePointIds;
    std::vector<tiePoint> tiePoints;
    std::vector<molaPoint> molaPoints;
    std::size_t shotsOutsideBox = 0;  // read whole by the last bounded track read, but outside its box
    std::vector<std::size_t> shotNumbers;  // each held point's place among the points held at the start
    std::vector<numberedPoint> removedPoints;  // the points removed since, with their shot numbers
    trackWeightList trackWeights;          // one per orbit, same order as orbits
    std::vector<std::int32_t> orbits;
    std::array<cornerRecord, 4> corners{};  // top-left, top-right, bottom-left, bottom-right as read
    std::vector<tiePoint> initialTiePoints;
    bool tiePointsInRadians = false;  // read as radians and held in degrees; written back in radians
    // Over a projected raster: read as longitudes and latitudes (in degrees
    // here) and held in the raster's map units; written back as read.
    bool tiePointsProjected = false;
    std::vector<tiePoint> tiePointsAsRead;
    bool debug = false;
    bool notReady = true;
    bool lineFitTold = false;  // the plane fits have said that the points lie along (or too near) one line
    bool quadraticLeftOpen = false;  // the quadratic fit was not added: the points do not determine it
    int threadCount = 1;       // threads a search may use; results never depend on it

    std::ostream& console() const { return *consoleStream; }
    // A copy of a model writes where its original does until told otherwise.
    void useConsole(std::ostream& console) { consoleStream = &console; }

    // The settings in force for the whole run: debug lines, the threads a
    // search may use, and where the raster's cell values stand.
    void useRunSettings(bool debugLines, int threads, bool valuesAtCorners);

    // Raster
    bool readRaster(const std::string& path, double noDataThreshold);
    void setTopLeft(double x, double y);

    // Readers; the filters learn how many rows each removed.
    bool readTracks(const std::string& fileName, std::vector<pointFilter>& filters);
    bool readTracksInBox(const std::string& fileName, std::vector<pointFilter>& filters, double margin);
    bool readTiePoints(const std::string& fileName);
    // Takes the tie points as read for radians and holds them in degrees.
    void takeTiePointsAsRadians();
    // Over a projected raster: takes the tie points for map coordinates, or
    // for longitudes and latitudes in degrees or in radians, whichever puts
    // the most of them near the raster, and holds them in map units.
    void takeTiePointsOntoProjection();
    void wrapLongitudes();
    void toPolarStereographic();
    // Into the raster's own projection; false when GDAL cannot transform into it.
    bool toRasterProjection();
    void trimToRaster(double margin);

    // Point error and RMS
    rmsResult currentRms() const;
    std::vector<errorRecord> currentErrorList() const;

    // Fits and searches
    double linearFitStage();
    // The plane of the unweighted errors of the shots whose track still
    // counts, added to the raster and the tie points.
    void addPlaneOfCountedShots();
    double quadraticFitStage();
    double translationStage(double currentRms, double padding, double delta);
    translationOutcome searchTranslation(double currentRms, double padding, double delta);
    double rotationStage(double currentRms, double lo, double hi, double step);
    void moveBy(double dx, double dy);
    void turnAbout(int column, int row, double angle);

    // Statistical track filtering
    void updateTrackWeights(const trackFilterLimits& limits);
    void filterTracks(const trackFilterLimits& limits);
    // The track stops counting: its weight becomes 0. Returns its orbit number.
    std::int32_t silenceTrack(std::size_t track);
    // Removes the held points at the given ascending positions, each announced.
    void removePoints(const std::vector<std::size_t>& positions);

    // Outputs
    void writeErrorMap(std::ostream& script, const std::string& pngPath, bool hirise,
                       const std::vector<errorRecord>& errors, const errorStatistics& statistics) const;
    void writeInitialErrorMap(std::ostream& script, const std::string& pngPath, bool hirise,
                              const std::vector<errorRecord>& errors, const errorStatistics& statistics) const;
    void writeFinalErrorMap(std::ostream& script, bool hirise, const std::vector<errorRecord>& errors,
                            const errorStatistics& statistics) const;
    void writeCoordinateMap(std::ostream& script, const std::string& pngPath) const;
    void writeWeightingsMap(std::ostream& script, const std::string& pngPath,
                            const std::vector<errorRecord>& finalErrors) const;
    void writeTiePointTable(std::ostream& stream, const std::string& title, bool degreesMinutesSeconds) const;
    // The report of the final error list (unweighted, as currentErrorList gives it).
    errorStatistics writeReport(std::ostream& report, bool degreesMinutesSeconds,
                                const std::vector<errorRecord>& finalErrors) const;

private:
    searchInputs searchSubject() const;
    std::vector<tiePoint> tiePointsAsWritten() const;
    bool adoptTracks(const std::string& fileName, std::vector<pointFilter>& filters, bool inBox, double margin);

    std::ostream* consoleStream;
};

}  // namespace kalvex
