#include "app/outputFiles.h"

#include <ostream>

namespace kalvex {

outputFile::outputFile(const std::string& filePath, std::ostream& console)
    : path(filePath), console(console), file(filePath, std::ios::out | std::ios::trunc) {
    if (!file.is_open()) {
        failed = true;
        console << "Warning: Could not create the output file " << path << std::endl;
    }
}

outputFile::~outputFile() { close(); }

bool outputFile::close() {
    if (closed) return !failed;
    closed = true;
    if (failed) return false;
    file.close();
    if (file.fail()) {
        failed = true;
        console << "Warning: Could not write the output file " << path << std::endl;
    }
    return !failed;
}

}  // namespace kalvex
