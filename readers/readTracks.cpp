#include "readers/readTracks.h"

#include <utility>

namespace kalvex {

std::optional<trackSet> readTrackFile(std::ostream& console, const std::string& fileName, const std::vector<pointFilter>& filters,
                                      const valueRange& lonRange, const valueRange& latRange, bool verbose) {
    const std::unique_ptr<molaReader> reader = makeTrackReader(fileName, console);
    if (!reader) return std::nullopt;
    reader->verbose = verbose;
    reader->filters.insert(reader->filters.end(), filters.begin(), filters.end());
    if (!reader->read(lonRange, latRange)) return std::nullopt;

    trackSet tracks;
    // The reader goes with this call: its lists are taken, not copied.
    tracks.points = std::move(reader->points);
    tracks.orbits = std::move(reader->orbits);
    tracks.outsideBox = reader->outsideBox;
    for (std::size_t i = 0; i < filters.size(); ++i) tracks.removedByFilter.push_back(reader->filters[i].removedCount);
    return tracks;
}

}  // namespace kalvex
