#include "readers/csvReader.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <vector>

#include "readers/numberConversion.h"
#include "readers/trackColumns.h"

namespace kalvex {

namespace {

// Converts a key field; a field that is not a finite number leaves the value missing.
void convertKeyField(const std::string& field, double& value, const std::string& messageStart, long lineNumber,
                     int column) {
    const std::optional<double> converted = leadingFiniteDouble(field);
    if (converted) {
        value = *converted;
        return;
    }
    std::cout << messageStart << field << " in row " << lineNumber << " and column " << column + 1 << std::endl;
}

rowOutcome readRow(const std::vector<std::string>& fields, const trackColumns& columns, long lineNumber,
                   std::vector<pointFilter>& filters, molaPoint& point) {
    for (std::size_t position = 0; position < fields.size(); ++position) {
        const int column = static_cast<int>(position);
        const std::string& field = fields[position];
        if (column == columns.longitude) {
            convertKeyField(field, point.x, "Warning: Couldn't convert the Longitude Value ", lineNumber, column);
        } else if (column == columns.latitude) {
            convertKeyField(field, point.y, "Error: Couldn't convert the Latitude Value ", lineNumber, column);
        } else if (column == columns.elevation) {
            convertKeyField(field, point.elevation, "Error: Couldn't convert the Topology Value ", lineNumber, column);
        } else if (offerDelimitedField(field, column, lineNumber, columns, filters, point)) {
            // The rest of a removed row is of no interest.
            return rowOutcome::removed;
        }
    }
    const bool complete = !std::isnan(point.x) && !std::isnan(point.y) && !std::isnan(point.elevation);
    return complete ? rowOutcome::complete : rowOutcome::incomplete;
}

}  // namespace

bool csvReader::read(const valueRange& lonRange, const valueRange& latRange) {
    if (verbose) std::cout << "Start Reading .csv" << std::endl;
    const openingResult opening = openingSteps(*this, ".csv", "Can only read .csv file not ");
    if (opening != openingResult::proceed) return opening == openingResult::alreadyRead;
    const trackBox box(lonRange, latRange);

    std::ifstream file(fileName);
    std::string header;
    readTableLine(file, header);
    const trackColumns columns = recognizeColumns(splitAtCommas(header), filters, "csv");
    if (!checkColumns(columns, filters)) return false;
    printColumnLines(columns);

    const rowParser parseRow = [&](const std::string& line, long lineNumber, molaPoint& point) {
        return readRow(splitAtCommas(line), columns, lineNumber, filters, point);
    };
    const long trimmedCount = readDelimitedRows(file, parseRow, box, orbits, points);
    printReadCounts(verbose, trimmedCount, points.size());
    file.close();
    if (verbose) std::cout << "Done Reading .csv" << std::endl;
    isRead = true;
    return true;
}

}  // namespace kalvex
