#include "app/alignmentModel.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <utility>

#include "model/evaluation/pointError.h"
#include "model/raster/rasterExtent.h"
#include "model/raster/rasterProjection.h"
#include "output/coordinateMap.h"
#include "output/errorMap.h"
#include "output/report.h"
#include "output/tiePointTable.h"
#include "output/weightingsMap.h"
#include "readers/pointFilter.h"
#include "readers/readTiePoints.h"
#include "readers/readTracks.h"

namespace kalvex {

namespace {

void printCorner(std::ostream& console, const std::string& label, const cornerRecord& corner) {
    console << label << corner.index << ":" << corner.x << ":" << corner.y << ":" << corner.z << std::endl;
}

// Tie points taken as radians are written back in radians.
tieCoordinates tieLayout(bool degreesMinutesSeconds, bool radians) {
    if (!degreesMinutesSeconds) return tieCoordinates::projected;
    return radians ? tieCoordinates::radians : tieCoordinates::degreesMinutesSeconds;
}

std::vector<std::size_t> firstNumbers(std::size_t count) {
    std::vector<std::size_t> numbers(count);
    std::iota(numbers.begin(), numbers.end(), std::size_t(0));
    return numbers;
}

}  // namespace

// Raster

void alignmentModel::useRunSettings(bool debugLines, int threads, bool valuesAtCorners) {
    held.debug = debugLines;
    held.threadCount = threads;
    held.raster.valuesAtCorners = valuesAtCorners;
}

bool alignmentModel::readRaster(const std::string& path, double noDataThreshold) {
    held.raster.reset(path);
    held.raster.debug = held.debug;
    if (!held.raster.read(console())) return false;
    // The threshold is a no-data code of the stored values, so it is tested
    // before they are scaled; whole numbers have their no-data declared.
    if (!std::isnan(noDataThreshold) && !held.raster.wholeNumberCells) held.raster.maskNoData(noDataThreshold);
    held.raster.toElevations();

    held.corners = rasterCorners(held.raster);
    if (held.debug) {
        printCorner(console(), "Top Left: ", held.corners[0]);
        printCorner(console(), "Top Right: ", held.corners[1]);
        printCorner(console(), "Bottom Left: ", held.corners[2]);
        printCorner(console(), "Bottom Right: ", held.corners[3]);
    }
    held.notReady = held.molaPoints.empty();
    return true;
}

// The top-left corner of the first cell, as GDAL's georeference gives it.
void alignmentModel::setTopLeft(double x, double y) {
    geoTransform gdal = held.raster.gdalTransform();
    gdal[0] = x;
    gdal[3] = y;
    held.raster.setGdalTransform(gdal);
    // Once tracks are held the corners keep the outline they were read with.
    if (held.notReady) held.corners = rasterCorners(held.raster);
}

// Readers

bool alignmentModel::adoptTracks(const std::string& fileName, std::vector<pointFilter>& filters, bool inBox,
                                 double margin) {
    valueRange lonRange;
    valueRange latRange;
    if (inBox) {
        const mapBox box = boxAround(held.raster, margin);
        lonRange = std::make_pair(box.xmin, box.xmax);
        latRange = std::make_pair(box.ymin, box.ymax);
    }
    std::optional<trackSet> tracks = readTrackFile(console(), fileName, filters, lonRange, latRange, held.debug);
    if (!tracks) return false;
    held.molaPoints = std::move(tracks->points);
    held.shotsOutsideBox = tracks->outsideBox;
    held.shotNumbers = firstNumbers(held.molaPoints.size());
    held.orbits = std::move(tracks->orbits);
    held.trackWeights = trackWeightList::fullWeights(held.orbits.size());
    for (std::size_t i = 0; i < filters.size(); ++i) filters[i].removedCount = tracks->removedByFilter[i];
    if (held.molaPoints.empty()) {
        held.notReady = true;
        return false;
    }
    held.notReady = !held.raster.loaded;
    if (held.debug) console() << "Number of Mola: " << held.molaPoints.size() << std::endl;
    return true;
}

bool alignmentModel::readTracks(const std::string& fileName, std::vector<pointFilter>& filters) {
    return adoptTracks(fileName, filters, false, 0.0);
}

bool alignmentModel::readTracksInBox(const std::string& fileName, std::vector<pointFilter>& filters,
                                     double margin) {
    if (!adoptTracks(fileName, filters, true, margin)) return false;
    held.molaPoints = placedOnRasterLongitudes(std::move(held.molaPoints), held.raster);
    return true;
}

// The initial copy stays as read while the stages move the tie points, so
// that the movement can be shown and reported.
bool alignmentModel::readTiePoints(const std::string& fileName) {
    std::optional<tiePointSet> read = readTiePointFile(console(), fileName, held.debug);
    if (!read) return false;
    held.tiePoints = std::move(read->points);
    held.tiePointIds = std::move(read->ids);
    held.initialTiePoints = held.tiePoints;
    return true;
}

void alignmentModel::takeTiePointsAsRadians() {
    for (tiePoint& point : held.tiePoints) {
        point.x *= 180.0 / pi;
        point.y *= 180.0 / pi;
    }
    held.initialTiePoints = held.tiePoints;
    held.tiePointsInRadians = true;
}

void alignmentModel::takeTiePointsOntoProjection() {
    const std::optional<rasterProjection> projection = rasterProjection::of(held.raster);
    if (!projection) return;
    std::vector<tiePoint> degrees = held.tiePoints;
    std::vector<tiePoint> radians = held.tiePoints;
    for (tiePoint& point : radians) {
        point.x *= 180.0 / pi;
        point.y *= 180.0 / pi;
    }
    std::vector<tiePoint> fromDegrees = degrees;
    std::vector<tiePoint> fromRadians = radians;
    projection->toMap(fromDegrees);
    projection->toMap(fromRadians);
    // Near the raster as the shots are: within half its larger side.
    const mapBox near = boxAround(held.raster, 0.5 * std::max(mapWidth(held.raster), mapHeight(held.raster)));
    auto nearRaster = [&near](const std::vector<tiePoint>& points) {
        return std::count_if(points.begin(), points.end(),
                             [&near](const tiePoint& point) { return near.contains(point.x, point.y); });
    };
    const auto asMap = nearRaster(held.tiePoints), asDegrees = nearRaster(fromDegrees),
               asRadians = nearRaster(fromRadians);
    if (asMap >= asDegrees && asMap >= asRadians) return;
    held.tiePointsInRadians = asRadians > asDegrees;
    held.tiePointsAsRead = held.tiePointsInRadians ? radians : degrees;
    held.tiePoints = held.tiePointsInRadians ? fromRadians : fromDegrees;
    held.initialTiePoints = held.tiePoints;
    held.tiePointsProjected = true;
}

// The tie points as the tables give them: held in map units, they go back to
// the angles they were read as, moved by as much as the projection says they
// moved, so that the way through the projection and back adds nothing.
std::vector<tiePoint> alignmentModel::tiePointsAsWritten() const {
    const std::optional<rasterProjection> projection = rasterProjection::of(held.raster);
    if (!held.tiePointsProjected || !projection || held.tiePointsAsRead.size() != held.tiePoints.size())
        return held.tiePoints;
    std::vector<tiePoint> moved = held.tiePoints;
    std::vector<tiePoint> start = held.initialTiePoints;
    projection->toDegrees(moved);
    projection->toDegrees(start);
    std::vector<tiePoint> written = held.tiePoints;
    for (std::size_t i = 0; i < written.size() && i < start.size(); ++i) {
        const double eastward = std::remainder(moved[i].x - start[i].x, 360.0);
        written[i].x = held.tiePointsAsRead[i].x + eastward;
        written[i].y = held.tiePointsAsRead[i].y + (moved[i].y - start[i].y);
    }
    return written;
}

bool alignmentModel::toRasterProjection() {
    const std::optional<rasterProjection> projection = rasterProjection::of(held.raster);
    if (!projection) return false;
    projection->toMap(held.molaPoints);
    return true;
}

void alignmentModel::wrapLongitudes() { held.molaPoints = wrappedLongitudes(std::move(held.molaPoints)); }

void alignmentModel::toPolarStereographic() { held.molaPoints = polarStereographic(std::move(held.molaPoints)); }

void alignmentModel::trimToRaster(double margin) {
    held.molaPoints = trimmedToRaster(std::move(held.molaPoints), held.raster, margin);
    held.shotNumbers = firstNumbers(held.molaPoints.size());
    if (held.debug) console() << "Size of trimmed mola: " << held.molaPoints.size() << std::endl;
}

// What the stages read

searchInputs alignmentModel::searchSubject() const {
    return searchInputs{held.raster, held.molaPoints, held.trackWeights, held.threadCount, held.debug, console()};
}

rmsResult alignmentModel::currentRms() const {
    if (held.notReady) return rmsResult{0.0, 0.0};
    return rmsAndMean(held.raster, held.molaPoints, &held.trackWeights, 0.0, 0.0, 0.0);
}

std::vector<errorRecord> alignmentModel::currentErrorList() const {
    return errorList(held.raster, held.molaPoints, nullptr);
}

// Moves

void alignmentModel::moveBy(double dx, double dy) {
    held.raster.transform = held.raster.transform.translated(dx, dy);
    for (tiePoint& point : held.tiePoints) {
        point.x += dx;
        point.y += dy;
    }
}

void alignmentModel::turnAbout(int column, int row, double angle) {
    const mapPosition pivot = held.raster.transform.mapOf(column, row);
    held.raster.transform = held.raster.transform.turnedAbout(column, row, angle);
    turnPoints(held.tiePoints, angle, pivot.x, pivot.y);
}

void alignmentModel::addSurface(const fittedSurface& surface) {
    kalvex::addSurface(held.raster, held.tiePoints, surface);
    held.lineFitTold = held.lineFitTold || surface.alongOneLine;
    held.quadraticLeftOpen = held.quadraticLeftOpen || surface.leftOpen;
}

void alignmentModel::takeWeights(trackWeightList weights) { held.trackWeights = std::move(weights); }

std::int32_t alignmentModel::silenceTrack(std::size_t track) {
    held.trackWeights.silence(track);
    return held.orbits[track];
}

// The shot numbers stay in step with the points they number; points held
// without numbers (set by hand rather than read) stay without.
void alignmentModel::removePoints(const std::vector<std::size_t>& positions) {
    const bool numbered = held.shotNumbers.size() == held.molaPoints.size();
    std::size_t next = 0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < held.molaPoints.size(); ++i) {
        if (next < positions.size() && positions[next] == i) {
            ++next;
            const molaPoint& point = held.molaPoints[i];
            console() << "The coordinate " << std::uint32_t(point.trackIndex) << ":" << point.x << ":" << point.y
                      << ":" << point.elevation << " was removed." << std::endl;
            if (numbered) held.removedPoints.push_back({point, held.shotNumbers[i]});
            continue;
        }
        held.molaPoints[kept] = held.molaPoints[i];
        if (numbered) held.shotNumbers[kept] = held.shotNumbers[i];
        ++kept;
    }
    held.molaPoints.resize(kept);
    if (numbered) held.shotNumbers.resize(kept);
}

// Outputs

void alignmentModel::writeErrorMap(std::ostream& script, const std::string& pngPath, bool hirise,
                                   const std::vector<errorRecord>& errors, const errorStatistics& statistics) const {
    if (held.notReady) return;
    kalvex::writeErrorMap(script, held.raster, pngPath, hirise, errors, statistics);
}

void alignmentModel::writeInitialErrorMap(std::ostream& script, const std::string& pngPath, bool hirise,
                                          const std::vector<errorRecord>& errors,
                                          const errorStatistics& statistics) const {
    if (held.notReady) return;
    kalvex::writeInitialErrorMap(script, held.raster, pngPath, hirise, errors, statistics);
}

void alignmentModel::writeFinalErrorMap(std::ostream& script, bool hirise, const std::vector<errorRecord>& errors,
                                        const errorStatistics& statistics) const {
    if (held.notReady) return;
    kalvex::writeFinalErrorMap(script, held.raster, hirise, errors, statistics);
}

void alignmentModel::writeCoordinateMap(std::ostream& script, const std::string& pngPath) const {
    if (held.notReady) return;
    kalvex::writeCoordinateMap(script, held.raster, held.corners, held.initialTiePoints, held.tiePoints, pngPath);
}

void alignmentModel::writeWeightingsMap(std::ostream& script, const std::string& pngPath,
                                        const std::vector<errorRecord>& finalErrors) const {
    if (held.notReady) return;
    kalvex::writeWeightingsMap(script, held.raster, held.trackWeights, pngPath, finalErrors);
}

void alignmentModel::writeTiePointTable(std::ostream& stream, const std::string& title,
                                        bool degreesMinutesSeconds) const {
    if (held.notReady) return;
    kalvex::writeTiePointTable(stream, held.tiePointIds, tiePointsAsWritten(), title,
                               tieLayout(degreesMinutesSeconds, held.tiePointsInRadians));
}

errorStatistics alignmentModel::writeReport(std::ostream& report, bool degreesMinutesSeconds,
                                            const std::vector<errorRecord>& finalErrors) const {
    if (held.notReady) return {};
    return kalvex::writeReport(report,
                               {held.tiePointIds, tiePointsAsWritten(), held.orbits, held.trackWeights, finalErrors},
                               tieLayout(degreesMinutesSeconds, held.tiePointsInRadians));
}

}  // namespace kalvex
