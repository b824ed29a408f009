#include "app/alignmentModel.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <utility>

#include "model/evaluation/pointError.h"
#include "model/plain/outlierRemoval.h"
#include "model/plain/surfaceFit.h"
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

bool alignmentModel::readRaster(const std::string& path, double noDataThreshold) {
    raster.reset(path);
    raster.debug = debug;
    if (!raster.read(console())) return false;
    // The threshold is a no-data code of the stored values, so it is tested
    // before they are scaled; whole numbers have their no-data declared.
    if (!std::isnan(noDataThreshold) && !raster.wholeNumberCells) raster.maskNoData(noDataThreshold);
    raster.toElevations();

    corners = rasterCorners(raster);
    if (debug) {
        printCorner(console(), "Top Left: ", corners[0]);
        printCorner(console(), "Top Right: ", corners[1]);
        printCorner(console(), "Bottom Left: ", corners[2]);
        printCorner(console(), "Bottom Right: ", corners[3]);
    }
    notReady = molaPoints.empty();
    return true;
}

// The top-left corner of the first cell, as GDAL's georeference gives it.
void alignmentModel::setTopLeft(double x, double y) {
    geoTransform gdal = raster.gdalTransform();
    gdal[0] = x;
    gdal[3] = y;
    raster.setGdalTransform(gdal);
    // Once tracks are held the corners keep the outline they were read with.
    if (notReady) corners = rasterCorners(raster);
}

// Readers

bool alignmentModel::adoptTracks(const std::string& fileName, std::vector<pointFilter>& filters, bool inBox,
                                 double margin) {
    valueRange lonRange;
    valueRange latRange;
    if (inBox) {
        const mapBox box = boxAround(raster, margin);
        lonRange = std::make_pair(box.xmin, box.xmax);
        latRange = std::make_pair(box.ymin, box.ymax);
    }
    std::optional<trackSet> tracks = readTrackFile(console(), fileName, filters, lonRange, latRange, debug);
    if (!tracks) return false;
    molaPoints = std::move(tracks->points);
    shotsOutsideBox = tracks->outsideBox;
    shotNumbers = firstNumbers(molaPoints.size());
    orbits = std::move(tracks->orbits);
    trackWeights = trackWeightList::fullWeights(orbits.size());
    for (std::size_t i = 0; i < filters.size(); ++i) filters[i].removedCount = tracks->removedByFilter[i];
    if (molaPoints.empty()) {
        notReady = true;
        return false;
    }
    notReady = !raster.loaded;
    if (debug) console() << "Number of Mola: " << molaPoints.size() << std::endl;
    return true;
}

bool alignmentModel::readTracks(const std::string& fileName, std::vector<pointFilter>& filters) {
    return adoptTracks(fileName, filters, false, 0.0);
}

bool alignmentModel::readTracksInBox(const std::string& fileName, std::vector<pointFilter>& filters,
                                     double margin) {
    if (!adoptTracks(fileName, filters, true, margin)) return false;
    molaPoints = placedOnRasterLongitudes(std::move(molaPoints), raster);
    return true;
}

// The initial copy stays as read while the stages move the tie points, so
// that the movement can be shown and reported.
bool alignmentModel::readTiePoints(const std::string& fileName) {
    std::optional<tiePointSet> read = readTiePointFile(console(), fileName, debug);
    if (!read) return false;
    tiePoints = std::move(read->points);
    tiePointIds = std::move(read->ids);
    initialTiePoints = tiePoints;
    return true;
}

void alignmentModel::takeTiePointsAsRadians() {
    for (tiePoint& point : tiePoints) {
        point.x *= 180.0 / pi;
        point.y *= 180.0 / pi;
    }
    initialTiePoints = tiePoints;
    tiePointsInRadians = true;
}

void alignmentModel::takeTiePointsOntoProjection() {
    const std::optional<rasterProjection> projection = rasterProjection::of(raster);
    if (!projection) return;
    std::vector<tiePoint> degrees = tiePoints;
    std::vector<tiePoint> radians = tiePoints;
    for (tiePoint& point : radians) {
        point.x *= 180.0 / pi;
        point.y *= 180.0 / pi;
    }
    std::vector<tiePoint> fromDegrees = degrees;
    std::vector<tiePoint> fromRadians = radians;
    projection->toMap(fromDegrees);
    projection->toMap(fromRadians);
    // Near the raster as the shots are: within half its larger side.
    const mapBox near = boxAround(raster, 0.5 * std::max(mapWidth(raster), mapHeight(raster)));
    auto nearRaster = [&near](const std::vector<tiePoint>& points) {
        return std::count_if(points.begin(), points.end(),
                             [&near](const tiePoint& point) { return near.contains(point.x, point.y); });
    };
    const auto asMap = nearRaster(tiePoints), asDegrees = nearRaster(fromDegrees), asRadians = nearRaster(fromRadians);
    if (asMap >= asDegrees && asMap >= asRadians) return;
    tiePointsInRadians = asRadians > asDegrees;
    tiePointsAsRead = tiePointsInRadians ? radians : degrees;
    tiePoints = tiePointsInRadians ? fromRadians : fromDegrees;
    initialTiePoints = tiePoints;
    tiePointsProjected = true;
}

// The tie points as the tables give them: held in map units, they go back to
// the angles they were read as, moved by as much as the projection says they
// moved, so that the way through the projection and back adds nothing.
std::vector<tiePoint> alignmentModel::tiePointsAsWritten() const {
    const std::optional<rasterProjection> projection = rasterProjection::of(raster);
    if (!tiePointsProjected || !projection || tiePointsAsRead.size() != tiePoints.size()) return tiePoints;
    std::vector<tiePoint> moved = tiePoints;
    std::vector<tiePoint> start = initialTiePoints;
    projection->toDegrees(moved);
    projection->toDegrees(start);
    std::vector<tiePoint> written = tiePoints;
    for (std::size_t i = 0; i < written.size() && i < start.size(); ++i) {
        const double eastward = std::remainder(moved[i].x - start[i].x, 360.0);
        written[i].x = tiePointsAsRead[i].x + eastward;
        written[i].y = tiePointsAsRead[i].y + (moved[i].y - start[i].y);
    }
    return written;
}

bool alignmentModel::toRasterProjection() {
    const std::optional<rasterProjection> projection = rasterProjection::of(raster);
    if (!projection) return false;
    projection->toMap(molaPoints);
    return true;
}

void alignmentModel::wrapLongitudes() { molaPoints = wrappedLongitudes(std::move(molaPoints)); }

void alignmentModel::toPolarStereographic() { molaPoints = polarStereographic(std::move(molaPoints)); }

void alignmentModel::trimToRaster(double margin) {
    molaPoints = trimmedToRaster(std::move(molaPoints), raster, margin);
    shotNumbers = firstNumbers(molaPoints.size());
    if (debug) console() << "Size of trimmed mola: " << molaPoints.size() << std::endl;
}

// Point error and RMS

void alignmentModel::useRunSettings(bool debugLines, int threads, bool valuesAtCorners) {
    debug = debugLines;
    threadCount = threads;
    raster.valuesAtCorners = valuesAtCorners;
}

std::int32_t alignmentModel::silenceTrack(std::size_t track) {
    trackWeights.silence(track);
    return orbits[track];
}

rmsResult alignmentModel::currentRms() const {
    if (notReady) return rmsResult{0.0, 0.0};
    return rmsAndMean(raster, molaPoints, &trackWeights, 0.0, 0.0, 0.0);
}

std::vector<errorRecord> alignmentModel::currentErrorList() const { return errorList(raster, molaPoints, nullptr); }

// Fits and searches

double alignmentModel::linearFitStage() {
    if (notReady) return notANumber;
    lineFitTold = addPlaneFit(console(), raster, tiePoints, molaPoints, &trackWeights, lineFitTold) || lineFitTold;
    return currentRms().rms;
}

void alignmentModel::addPlaneOfCountedShots() {
    std::vector<molaPoint> counted;
    for (const molaPoint& point : molaPoints)
        if (trackWeights.of(point.trackIndex) > 0.0) counted.push_back(point);
    lineFitTold = addPlaneFit(console(), raster, tiePoints, counted, nullptr, lineFitTold) || lineFitTold;
}

double alignmentModel::quadraticFitStage() {
    if (notReady) return notANumber;
    quadraticLeftOpen = addQuadraticFit(console(), raster, tiePoints, molaPoints, &trackWeights) || quadraticLeftOpen;
    return currentRms().rms;
}

double alignmentModel::translationStage(double currentRms, double padding, double delta) {
    return searchTranslation(currentRms, padding, delta).rms;
}

translationOutcome alignmentModel::searchTranslation(double currentRms, double padding, double delta) {
    if (notReady) return {-1.0, 0.0, 0.0, false};
    const translationOutcome found = kalvex::searchTranslation(searchSubject(), currentRms, padding, delta);
    moveBy(found.dx, found.dy);
    return found;
}

double alignmentModel::rotationStage(double currentRms, double lo, double hi, double step) {
    if (notReady) return -1.0;
    const rotationOutcome found = searchRotation(searchSubject(), currentRms, lo, hi, step);
    if (found.found) turnAbout(found.column, found.row, found.angle);
    return found.rms;
}

void alignmentModel::moveBy(double dx, double dy) {
    raster.transform = raster.transform.translated(dx, dy);
    for (tiePoint& point : tiePoints) {
        point.x += dx;
        point.y += dy;
    }
}

void alignmentModel::turnAbout(int column, int row, double angle) {
    const mapPosition pivot = raster.transform.mapOf(column, row);
    raster.transform = raster.transform.turnedAbout(column, row, angle);
    turnPoints(tiePoints, angle, pivot.x, pivot.y);
}

searchInputs alignmentModel::searchSubject() const {
    return searchInputs{raster, molaPoints, trackWeights, threadCount, debug, console()};
}

// Statistical track filtering

void alignmentModel::updateTrackWeights(const trackFilterLimits& limits) {
    trackWeights = lowerFailingTracks(errorList(raster, molaPoints, &trackWeights), trackWeights, limits);
}

void alignmentModel::filterTracks(const trackFilterLimits& limits) {
    if (notReady) return;
    updateTrackWeights(limits);
    removePoints(outlierIndices(raster, molaPoints, &trackWeights, limits.errorThreshold));
}

// The shot numbers stay in step with the points they number; points held
// without numbers (set by hand rather than read) stay without.
void alignmentModel::removePoints(const std::vector<std::size_t>& positions) {
    const bool numbered = shotNumbers.size() == molaPoints.size();
    std::size_t next = 0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < molaPoints.size(); ++i) {
        if (next < positions.size() && positions[next] == i) {
            ++next;
            const molaPoint& point = molaPoints[i];
            console() << "The coordinate " << std::uint32_t(point.trackIndex) << ":" << point.x << ":" << point.y
                      << ":" << point.elevation << " was removed." << std::endl;
            if (numbered) removedPoints.push_back({point, shotNumbers[i]});
            continue;
        }
        molaPoints[kept] = molaPoints[i];
        if (numbered) shotNumbers[kept] = shotNumbers[i];
        ++kept;
    }
    molaPoints.resize(kept);
    if (numbered) shotNumbers.resize(kept);
}

// Outputs

void alignmentModel::writeErrorMap(std::ostream& script, const std::string& pngPath, bool hirise,
                                   const std::vector<errorRecord>& errors, const errorStatistics& statistics) const {
    if (notReady) return;
    kalvex::writeErrorMap(script, raster, pngPath, hirise, errors, statistics);
}

void alignmentModel::writeInitialErrorMap(std::ostream& script, const std::string& pngPath, bool hirise,
                                          const std::vector<errorRecord>& errors,
                                          const errorStatistics& statistics) const {
    if (notReady) return;
    kalvex::writeInitialErrorMap(script, raster, pngPath, hirise, errors, statistics);
}

void alignmentModel::writeFinalErrorMap(std::ostream& script, bool hirise, const std::vector<errorRecord>& errors,
                                        const errorStatistics& statistics) const {
    if (notReady) return;
    kalvex::writeFinalErrorMap(script, raster, hirise, errors, statistics);
}

void alignmentModel::writeCoordinateMap(std::ostream& script, const std::string& pngPath) const {
    if (notReady) return;
    kalvex::writeCoordinateMap(script, raster, corners, initialTiePoints, tiePoints, pngPath);
}

void alignmentModel::writeWeightingsMap(std::ostream& script, const std::string& pngPath,
                                        const std::vector<errorRecord>& finalErrors) const {
    if (notReady) return;
    kalvex::writeWeightingsMap(script, raster, trackWeights, pngPath, finalErrors);
}

void alignmentModel::writeTiePointTable(std::ostream& stream, const std::string& title,
                                        bool degreesMinutesSeconds) const {
    if (notReady) return;
    kalvex::writeTiePointTable(stream, tiePointIds, tiePointsAsWritten(), title,
                               tieLayout(degreesMinutesSeconds, tiePointsInRadians));
}

errorStatistics alignmentModel::writeReport(std::ostream& report, bool degreesMinutesSeconds,
                                            const std::vector<errorRecord>& finalErrors) const {
    if (notReady) return {};
    return kalvex::writeReport(report, {tiePointIds, tiePointsAsWritten(), orbits, trackWeights, finalErrors},
                               tieLayout(degreesMinutesSeconds, tiePointsInRadians));
}

}  // namespace kalvex
