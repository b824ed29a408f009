#include "tools/sceneFiles.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace kalvex::scene {

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    return !out.fail();
}

std::string fixed(double value, int decimals) {
    char buffer[64];
    int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (length >= 0 && std::size_t(length) < sizeof buffer) return std::string(buffer, std::size_t(length));
    std::vector<char> large(std::size_t(length) + 1);
    std::snprintf(large.data(), large.size(), "%.*f", decimals, value);
    return std::string(large.data(), std::size_t(length));
}

std::string general(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

}  // namespace kalvex::scene
