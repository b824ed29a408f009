#pragma once
// Plain records shared by every subsystem.
#include <cstddef>
#include <cstdint>
#include <limits>

namespace kalvex {

inline constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
inline constexpr double pi = 3.141592653589793;

// One altimeter shot point. While a row is parsed, trackIndex holds the orbit
// number; once the point is accepted it is the index of that orbit in the
// model's orbit list (and of its weight in the track weights).
struct molaPoint {
    std::int32_t trackIndex = 0;
    double x = notANumber;
    double y = notANumber;
    double elevation = notANumber;
};

// One tie coordinate; idIndex indexes the list of tie point identifiers.
struct tiePoint {
    std::int32_t idIndex = 0;
    double x = notANumber;
    double y = notANumber;
    double elevation = notANumber;
};

// One raster corner as read (cell position and value).
struct cornerRecord {
    std::uint32_t index = 0;
    double x = notANumber;
    double y = notANumber;
    double z = notANumber;
};

// One point that has a model elevation: its error is point elevation minus
// model elevation (times its track's weight where weights are asked for).
struct errorRecord {
    std::int32_t trackIndex = 0;
    double x = 0.0;
    double y = 0.0;
    double error = 0.0;
};

struct errorStatistics {
    double standardDeviation = 0.0;
    double mean = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
};

// A point removed from the run, with its place among the points held at the start.
struct numberedPoint {
    molaPoint point;
    std::size_t number = 0;
};

struct rmsResult {
    double rms = notANumber;
    double mean = notANumber;
};

}  // namespace kalvex
