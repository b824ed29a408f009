#include "readers/trackColumns.h"

#include <algorithm>
#include <cctype>
#include <ostream>
#include <unordered_map>

#include "readers/numberConversion.h"

namespace kalvex {

namespace {

bool contains(const std::string& name, const std::string& word) { return name.find(word) != std::string::npos; }

bool namesElevation(const std::string& name) {
    return contains(name, "topo") || contains(name, "elev") || contains(name, "altitude");
}

void warnDuplicate(std::ostream& console, const std::string& quotedKeywords, const std::string& headerWord,
                   int keptColumn) {
    console << "Warning: Found 2 or more occurances of " << quotedKeywords << " in the " << headerWord
            << " header, column " << keptColumn + 1 << " will be used" << std::endl;
}

// The first column that names a keyword keeps it; a later one is reported.
void takeFirst(std::ostream& console, int& kept, int column, const std::string& quotedKeywords,
               const std::string& headerWord) {
    if (kept == -1)
        kept = column;
    else
        warnDuplicate(console, quotedKeywords, headerWord, kept);
}

// An areocentric latitude is preferred to any other latitude column.
void takeLatitude(std::ostream& console, int& kept, int column, const std::string& name,
                  const std::string& headerWord) {
    if (kept == -1) {
        kept = column;
        return;
    }
    if (contains(name, "areod_lat")) kept = column;
    warnDuplicate(console, "\"lat\"", headerWord, kept);
}

}  // namespace

trackColumns recognizeColumns(std::ostream& console, const std::vector<std::string>& names,
                              std::vector<pointFilter>& filters, const std::string& headerWord) {
    trackColumns columns;
    for (std::size_t position = 0; position < names.size(); ++position) {
        const int column = static_cast<int>(position);
        const std::string name = lowerCase(names[position]);
        if (contains(name, "lon")) takeFirst(console, columns.longitude, column, "\"lon\"", headerWord);
        if (contains(name, "lat")) takeLatitude(console, columns.latitude, column, name, headerWord);
        if (namesElevation(name))
            takeFirst(console, columns.elevation, column, "\"topo\", \"elev\" or \"altitude\"", headerWord);
        if (contains(name, "orbit")) takeFirst(console, columns.orbit, column, "\"orbit\"", headerWord);
        for (pointFilter& filter : filters)
            if (contains(name, filter.keyword))
                takeFirst(console, filter.column, column, "\"" + filter.keyword + "\"", headerWord);
    }
    return columns;
}

bool checkColumns(std::ostream& console, const trackColumns& columns, const std::vector<pointFilter>& filters) {
    for (const pointFilter& filter : filters)
        if (filter.column == -1) console << "Warning: Could not find " << filter.keyword << std::endl;
    if (columns.orbit == -1)
        console << "Warning: Couldnt't find a column with the keyword \"orbit\", orbit statistics will be incorrect"
                << std::endl;
    if (columns.longitude == -1) {
        console << "Error: Could not find a column with the keyword \"lon\"" << std::endl;
        return false;
    }
    if (columns.latitude == -1) {
        console << "Error: Could not find a column with the keyword \"lat\"" << std::endl;
        return false;
    }
    if (columns.elevation == -1) {
        console << "Error: Could not find a column with the keyword \"topo\", \"elev\" or \"altitude\"" << std::endl;
        return false;
    }
    if (columns.longitude == columns.latitude || columns.longitude == columns.elevation ||
        columns.latitude == columns.elevation) {
        console << "Error: The same column included at least 2 of the keywords: \"topo\", \"lon\" or \"lat\", one "
                   "column should only contain one of these keywords"
                << std::endl;
        return false;
    }
    return true;
}

bool applyFilters(std::vector<pointFilter>& filters, int column, std::string_view field, bool stopAtFirstHold,
                  const std::function<void(const pointFilter&)>& conversionFailed) {
    bool held = false;
    for (pointFilter& filter : filters) {
        if (filter.column != column) continue;
        const std::optional<double> value = leadingDouble(field);
        if (!value) {
            conversionFailed(filter);
            continue;
        }
        if (!filter.holds(*value)) continue;
        ++filter.removedCount;
        held = true;
        if (stopAtFirstHold) break;
    }
    return held;
}

trackBox::trackBox(const valueRange& lonRange, const valueRange& latRange) {
    if (!lonRange || !latRange) return;
    bounded = true;
    lon = *lonRange;
    lat = *latRange;
}

bool trackBox::inside(double x, double y) const {
    return lon.first <= x && x <= lon.second && lat.first <= y && y <= lat.second;
}

bool trackBox::admits(molaPoint& point) {
    if (!bounded) return true;
    if (point.x > 180.0)
        point.x -= 360.0;
    else if (point.x < -180.0)
        point.x += 360.0;
    if (point.y > 180.0)
        point.y -= 360.0;
    else if (point.y < -180.0)
        point.y += 360.0;
    if (inside(point.x, point.y)) return true;
    for (const double turn : {360.0, -360.0}) {
        if (inside(point.x + turn, point.y)) {
            point.x += turn;
            return true;
        }
    }
    ++outside;
    return false;
}

namespace {

// The position of every orbit number in a read's orbit list. A read only
// ever appends to its list through appendTrackPoint, so the index follows it
// from call to call; a list it does not match (another read's, or one changed
// elsewhere) is indexed anew.
class orbitIndex {
public:
    std::int32_t positionOf(std::int32_t orbit, std::vector<std::int32_t>& orbits) {
        if (!matches(orbits)) rebuild(orbits);
        // Rows come orbit by orbit: most ask for the orbit of the row before.
        if (recent < orbits.size() && orbits[recent] == orbit) return static_cast<std::int32_t>(recent);
        const auto found = positions.find(orbit);
        if (found != positions.end()) {
            recent = std::size_t(found->second);
        } else {
            recent = orbits.size();
            orbits.push_back(orbit);
            positions.emplace(orbit, static_cast<std::int32_t>(recent));
            lastOrbit = orbit;
        }
        return static_cast<std::int32_t>(recent);
    }

private:
    bool matches(const std::vector<std::int32_t>& orbits) const {
        return owner == &orbits && positions.size() == orbits.size() && (orbits.empty() || orbits.back() == lastOrbit);
    }

    // The first occurrence of a number keeps its position, as a search from the front finds it.
    void rebuild(const std::vector<std::int32_t>& orbits) {
        owner = &orbits;
        positions.clear();
        for (std::size_t k = 0; k < orbits.size(); ++k) positions.emplace(orbits[k], static_cast<std::int32_t>(k));
        recent = orbits.size();
        lastOrbit = orbits.empty() ? 0 : orbits.back();
    }

    const std::vector<std::int32_t>* owner = nullptr;
    std::unordered_map<std::int32_t, std::int32_t> positions;
    std::size_t recent = 0;  // the position asked for last
    std::int32_t lastOrbit = 0;  // the orbit at the end of the list
};

}  // namespace

void appendTrackPoint(molaPoint point, std::vector<std::int32_t>& orbits, std::vector<molaPoint>& points) {
    thread_local orbitIndex index;
    point.trackIndex = index.positionOf(point.trackIndex, orbits);
    points.push_back(point);
}

bool offerDelimitedField(std::ostream& console, std::string_view field, int column, long lineNumber,
                         const trackColumns& columns, std::vector<pointFilter>& filters, molaPoint& point) {
    if (column == columns.orbit) {
        const std::optional<std::int32_t> orbit = leadingInt32(field);
        if (orbit)
            point.trackIndex = *orbit;
        else
            console << "Error: Couldn't convert the Orbit Value in row " << lineNumber << " and column "
                    << column + 1 << std::endl;
    }
    // Most columns carry no filter; they cost no more than this look.
    const auto filtered = [column](const pointFilter& filter) { return filter.column == column; };
    if (std::none_of(filters.begin(), filters.end(), filtered)) return false;
    const auto reportFailure = [&](const pointFilter& filter) {
        console << "Warning: Couldn't convert the filter value " << filter.keyword << " in row " << lineNumber
                << " and column " << column + 1 << std::endl;
    };
    return applyFilters(filters, column, field, true, reportFailure);
}

long readDelimitedRows(std::ostream& console, std::istream& table, const rowParser& parseRow, trackBox& box,
                       std::vector<std::int32_t>& orbits, std::vector<molaPoint>& points) {
    long trimmedCount = 0;
    std::string line;
    for (long lineNumber = 2; readTableLine(table, line); ++lineNumber) {
        molaPoint point;
        switch (parseRow(line, lineNumber, point)) {
            case rowOutcome::removed:
                ++trimmedCount;
                break;
            case rowOutcome::incomplete:
                console << "Warning: Couldnt find either the latitude, longitude, or topology value in row "
                        << lineNumber << std::endl;
                break;
            case rowOutcome::complete:
                if (box.admits(point)) appendTrackPoint(point, orbits, points);
                break;
        }
    }
    return trimmedCount;
}

void printColumnLines(std::ostream& console, const trackColumns& columns) {
    console << "Longitude Column: " << columns.longitude + 1 << std::endl;
    console << "Latitude Column: " << columns.latitude + 1 << std::endl;
    console << "Topology Column: " << columns.elevation + 1 << std::endl;
}

void printReadCounts(std::ostream& console, bool verbose, long trimmedCount, std::size_t pointCount) {
    if (!verbose) return;
    console << "Number of Trimmed Coordinates: " << trimmedCount << std::endl;
    console << "Total Number of Coordinates: " << pointCount << std::endl;
}

}  // namespace kalvex
