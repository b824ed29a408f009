#pragma once
// The run's owner: it reads the raster, the altimeter points and the tie
// points into its state, and applies what the stages found, one method per
// kind of move. Nothing else changes the state; stages and writers read it.
// While the model is not ready (no raster or no altimeter point), every
// writer does nothing and returns its neutral value.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/runState.h"
#include "model/evaluation/searchInputs.h"
#include "model/plain/surfaceFit.h"

namespace kalvex {

struct pointFilter;

class alignmentModel {
public:
    // Console text of every operation goes to console, which must outlive the model.
    explicit alignmentModel(std::ostream& console) : consoleStream(&console) {}
    // A model of a state made by hand.
    alignmentModel(std::ostream& console, runState state) : held(std::move(state)), consoleStream(&console) {}

    const runState& state() const { return held; }
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

    // What the stages read: the raster, the held points and their track
    // weights, the threads a search may use and the console.
    searchInputs searchSubject() const;
    // Point error and RMS
    rmsResult currentRms() const;
    std::vector<errorRecord> currentErrorList() const;

    // Moves: each applies one kind of result of a stage.
    // The raster's georeference and the tie points move by (dx, dy) map units.
    void moveBy(double dx, double dy);
    // They turn by angle degrees, counter-clockwise, about the node (column, row).
    void turnAbout(int column, int row, double angle);
    // The surface is added to the cells and the tie elevations; what the fit
    // said of the points is kept.
    void addSurface(const fittedSurface& surface);
    void takeWeights(trackWeightList weights);
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
    std::vector<tiePoint> tiePointsAsWritten() const;
    bool adoptTracks(const std::string& fileName, std::vector<pointFilter>& filters, bool inBox, double margin);

    runState held;
    std::ostream* consoleStream;
};

}  // namespace kalvex
