#pragma once
// Output files of a run. A file that cannot be created or written is reported
// once and remembered, so that the run ends with status 1: the outputs are
// the product, and losing one silently would report a failure as success.
#include <fstream>
#include <ostream>
#include <string>

namespace kalvex {

class outputFile {
public:
    // Creates or truncates the file; prints a warning on the console when that fails.
    outputFile(const std::string& path, std::ostream& console);
    ~outputFile();
    outputFile(const outputFile&) = delete;
    outputFile& operator=(const outputFile&) = delete;

    std::ofstream& stream() { return file; }
    // Closes the file; returns false (after a warning) when anything was lost.
    bool close();
    bool lost() const { return failed; }

private:
    std::string path;
    std::ostream& console;
    std::ofstream file;
    bool failed = false;
    bool closed = false;
};

}  // namespace kalvex
