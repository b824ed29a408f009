#include "app/outputFiles.h"

#include <iostream>

namespace kalvex {

outputFile::outputFile(const std::string& filePath) : path(filePath), file(filePath, std::ios::out | std::ios::trunc) {
    if (!file.is_open()) {
        failed = true;
        std::cout << "Warning: Could not create the output file " << path << std::endl;
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
        std::cout << "Warning: Could not write the output file " << path << std::endl;
    }
    return !failed;
}

}  // namespace kalvex
