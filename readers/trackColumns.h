#pragma once
// What the track readers share: the opening steps of a read, the recognition
// of the key columns by keyword, the filters, the box of a bounded read and the
// numbering of the orbits as tracks.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "model/records.h"
#include "readers/fileReader.h"
#include "readers/pointFilter.h"
#include "readers/readerText.h"

namespace kalvex {

// Column numbers, from 0, of the key columns of a track table; -1 when absent.
struct trackColumns {
    int longitude = -1;
    int latitude = -1;
    int elevation = -1;
    int orbit = -1;
};

// Finds the key columns and the filter columns among the header names, in
// column order. headerWord ("csv", "tab", "dbf") names the table in the
// warnings about a keyword that occurs twice.
trackColumns recognizeColumns(std::ostream& console, const std::vector<std::string>& names,
                              std::vector<pointFilter>& filters, const std::string& headerWord);

// Reports what the header lacks; false when no point could be read from it.
bool checkColumns(std::ostream& console, const trackColumns& columns, const std::vector<pointFilter>& filters);

// Offers a field of the given column to the filters of that column and counts
// every filter whose test holds. A field that is not a number is reported by
// conversionFailed and passes that filter. Returns true when a test held.
bool applyFilters(std::vector<pointFilter>& filters, int column, std::string_view field, bool stopAtFirstHold,
                  const std::function<void(const pointFilter&)>& conversionFailed);

// The box of a bounded read; an unbounded read admits every point unchanged.
class trackBox {
public:
    trackBox(const valueRange& lonRange, const valueRange& latRange);

    // Brings the point's longitude and latitude into [-180, 180] with a single
    // wrap and tells whether it lies in the box. A longitude that misses the
    // box but lies in it one turn away is moved there, so that a raster that
    // counts longitudes from 0 to 360 keeps its points.
    bool admits(molaPoint& point);
    // The points a bounded read turned away: read whole, but outside the box.
    std::size_t turnedAway() const { return outside; }

private:
    bool inside(double x, double y) const;

    bool bounded = false;
    std::size_t outside = 0;
    std::pair<double, double> lon{0.0, 0.0};
    std::pair<double, double> lat{0.0, 0.0};
};

// Replaces the orbit number that point.trackIndex holds by the orbit's position
// in orbits (appending a new orbit) and appends the point.
void appendTrackPoint(molaPoint point, std::vector<std::int32_t>& orbits, std::vector<molaPoint>& points);

// A field of a delimited table that is not longitude, latitude or elevation:
// the orbit column gives the orbit number, and every field is offered to its
// filters, the first that holds removing the row (true). The conversion
// messages name the line and the column counted from 1.
bool offerDelimitedField(std::ostream& console, std::string_view field, int column, long lineNumber,
                         const trackColumns& columns, std::vector<pointFilter>& filters, molaPoint& point);

// What became of one data row of a delimited table.
enum class rowOutcome { removed, incomplete, complete };
using rowParser = std::function<rowOutcome(const std::string& line, long lineNumber, molaPoint& point)>;

// The data rows of a delimited table, line 2 on: a removed row is counted as
// trimmed, a row without longitude, latitude or elevation is reported, and a
// complete row inside the box becomes a point of its track. Returns the
// trimmed count.
long readDelimitedRows(std::ostream& console, std::istream& table, const rowParser& parseRow, trackBox& box,
                       std::vector<std::int32_t>& orbits, std::vector<molaPoint>& points);

// "Longitude Column: " and its two companions, counted from 1.
void printColumnLines(std::ostream& console, const trackColumns& columns);

// The closing counts of a verbose read.
void printReadCounts(std::ostream& console, bool verbose, long trimmedCount, std::size_t pointCount);

}  // namespace kalvex
