#include "tools/sceneTracks.h"

#include <algorithm>
#include <cmath>

#include "tools/polarProjection.h"

namespace kalvex::scene {

namespace {

const int firstOrbit = 10001;
const double outlierSize = 150.0;
const double pointsPerOutlier = 400.0;
const double nominalRange = 400000.0;

int badTrackCount(const sceneOptions& options) {
    if (options.badTracks >= 0) return std::min(options.badTracks, options.tracks);
    return options.tracks >= 8 ? 2 : (options.tracks >= 3 ? 1 : 0);
}

// The first bad track lies above the terrain, the second below by 6/5 as
// much, every later one alternately above and below by as much as the first two.
double badTrackOffset(int bad, double firstOffset) {
    const double secondOffset = -firstOffset * 6.0 / 5.0;
    return bad % 2 == 0 ? firstOffset : secondOffset;
}

int outlierCount(int points) { return points < 20 ? 0 : std::max(1, int(points / pointsPerOutlier)); }

// One straight, slightly slanted line of shots in true cell coordinates,
// kept inside the margins unless asked otherwise: the centre line sits at
// least a quarter of the track spacing from the usable edge and the slant
// moves it by at most a fifth of the spacing.
struct trackLine {
    double column = 0.0;        // at the middle row
    double slant = 0.0;         // columns per row
};

trackLine makeLine(int track, const sceneOptions& options, const sceneFrame& frame, sceneRandom& random) {
    const int tracks = options.tracks;
    double left = frame.margin;
    double usableWidth = frame.width - 1 - 2.0 * frame.margin;
    double usableHeight = frame.height - 1 - 2.0 * frame.margin;
    double spacing = usableWidth / tracks;
    trackLine line;
    line.column = left + spacing * (track + 0.5 + random.uniform(-0.25, 0.25));
    double largestSlant = std::min(0.04, 0.2 * spacing / (0.5 * usableHeight));
    line.slant = random.uniform(-largestSlant, largestSlant);
    if (!options.trackColumns.empty()) line.column = options.trackColumns[std::size_t(track)];
    return line;
}

void addTrack(int track, int count, const trackLine& line, const sceneOptions& options, const sceneFrame& frame,
              const sceneTerrain& terrain, sceneRandom& random, trackSet& set) {
    const double overhang = options.overhang * (frame.height - 1);
    double top = frame.margin - overhang;
    double usableHeight = frame.height - 1 - 2.0 * frame.margin + 2.0 * overhang;
    double middle = top + 0.5 * usableHeight;
    bool southward = track % 2 == 0;
    for (int shot = 0; shot < count; ++shot) {
        double along = (shot + 0.5 + random.uniform(-0.3, 0.3)) / count;
        double row = top + usableHeight * (southward ? along : 1.0 - along);
        // Three slow meanders along the track, each track's own.
        double column = line.column + line.slant * (row - middle) +
                        options.wiggle * std::sin(6.283185307179586 * 3.0 * along + track);
        trackPoint point;
        point.x = frame.trueX(column);
        point.y = frame.trueY(row);
        point.orbit = set.orbits.back();
        point.topography = terrain.at(point.x, point.y) + options.noiseSigma * random.normal();
        point.range = nominalRange + 1500.0 * std::sin(6.283185307179586 * along) - point.topography;
        const lonLat position = frame.lonLatOf({point.x, point.y});
        point.lon = position.lon;
        point.lat = position.lat;
        set.points.push_back(point);
    }
}

void spoilTracks(const sceneOptions& options, sceneRandom& random, trackSet& set) {
    std::vector<int> candidates;
    for (int track = 0; track < options.tracks; ++track) candidates.push_back(track);
    for (int bad = 0; bad < badTrackCount(options); ++bad) {
        std::size_t chosen = random.index(candidates.size());
        set.badOrbits.push_back(set.orbits[std::size_t(candidates[chosen])]);
        set.badOffsets.push_back(badTrackOffset(bad, options.badOffset));
        candidates.erase(candidates.begin() + std::ptrdiff_t(chosen));
    }
    std::sort(set.badOrbits.begin(), set.badOrbits.end());
    for (trackPoint& point : set.points) {
        for (std::size_t bad = 0; bad < set.badOrbits.size(); ++bad)
            if (point.orbit == set.badOrbits[bad]) point.topography += set.badOffsets[bad];
    }
}

// Gross errors go on good tracks only, so that a point is either on a bad
// track or an outlier or good, never two of these.
void addOutliers(int points, sceneRandom& random, trackSet& set) {
    std::vector<std::size_t> candidates;
    for (std::size_t row = 0; row < set.points.size(); ++row) {
        int orbit = set.points[row].orbit;
        if (std::find(set.badOrbits.begin(), set.badOrbits.end(), orbit) == set.badOrbits.end()) candidates.push_back(row);
    }
    int wanted = std::min<int>(outlierCount(points), int(candidates.size()));
    for (int outlier = 0; outlier < wanted; ++outlier) {
        std::size_t chosen = random.index(candidates.size());
        set.outlierRows.push_back(candidates[chosen]);
        candidates[chosen] = candidates.back();
        candidates.pop_back();
    }
    std::sort(set.outlierRows.begin(), set.outlierRows.end());
    for (std::size_t row : set.outlierRows) {
        double offset = random.uniform() < 0.5 ? -outlierSize : outlierSize;
        set.points[row].topography += offset;
        set.outlierOffsets.push_back(offset);
    }
}

}  // namespace

trackSet makeTracks(const sceneOptions& options, const sceneFrame& frame, const sceneTerrain& terrain) {
    sceneRandom random(options.seed, 2);
    trackSet set;
    set.points.reserve(std::size_t(options.points));
    for (int track = 0; track < options.tracks; ++track) {
        int count = options.points / options.tracks + (track < options.points % options.tracks ? 1 : 0);
        set.orbits.push_back(firstOrbit + track);
        addTrack(track, count, makeLine(track, options, frame, random), options, frame, terrain, random, set);
    }
    if (!options.clean) {
        spoilTracks(options, random, set);
        addOutliers(options.points, random, set);
    }
    return set;
}

}  // namespace kalvex::scene
