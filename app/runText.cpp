#include "app/runText.h"

namespace kalvex {

void printStatistics(std::ostream& console, std::size_t count, const errorStatistics& statistics) {
    console << "Count: " << count << std::endl;
    console << "Minimum: " << statistics.minimum << std::endl;
    console << "Maximum: " << statistics.maximum << std::endl;
    console << "Mean: " << statistics.mean << std::endl;
    console << "Standard Deviation: " << statistics.standardDeviation << std::endl;
    console << std::endl;
}

std::string outputBase(const std::string& rasterPath, const std::string& addString) {
    const std::size_t slash = rasterPath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = rasterPath.rfind('.');
    const std::size_t cut = (dot == std::string::npos || dot < nameStart) ? rasterPath.size() : dot;
    return rasterPath.substr(0, cut) + addString;
}

}  // namespace kalvex
