#pragma once
// Output files of a run. Each is written under a temporary name beside its
// final one and renamed over it only once it is complete and closed, so that
// a run stopped at any moment leaves the last run's file or the new one,
// never a cut one. The outputs of a run are renamed together at its end, the
// summary last, while termination signals wait, so that they agree with each
// other. A file that cannot be created or written is reported once and
// remembered, so that the run ends with status 1: the outputs are the
// product, and losing one silently would report a failure as success.
#include <csignal>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace kalvex {

// Every file a run may write beside the GeoTIFF, after the base, the summary aside.
inline constexpr const char* outputSuffixes[] = {"_Error_Map.gnu", "_Error_Map.png",      "_Coord_Map.gnu",
                                                 "_Coord_Map.png", "_Weightings_Map.gnu", "_Weightings_Map.png",
                                                 "_report.txt",    "_errors.csv",         "_aligned.tif"};

// Where an output is written until it is complete.
std::string temporaryPath(const std::string& finalPath);

// The outputs of one run on one output base. The base is locked for the run
// (base + ".lock", an advisory lock that the kernel drops when the process
// ends however it ends), so that two runs never write the same files.
class runOutputs {
public:
    explicit runOutputs(std::ostream& console);
    // Removes the temporary files of outputs never put in place; releases the lock.
    ~runOutputs();
    runOutputs(const runOutputs&) = delete;
    runOutputs& operator=(const runOutputs&) = delete;

    // Locks the base, then removes what an earlier run that was stopped left
    // behind. False, after one error line, when another run holds the lock.
    bool claim(const std::string& base);
    // The temporary path to write finalPath under.
    std::string begin(const std::string& finalPath);
    // The file at the temporary path is whole and closed.
    void complete(const std::string& finalPath);
    // The file will not be completed: its temporary file is removed.
    void abandon(const std::string& finalPath);
    // Renames every complete output over its final name, in the order begun.
    // False, after a warning per file, when one could not be put in place.
    bool putInPlace();
    // Removes the lock file and lets the lock go.
    void release();

private:
    struct pendingFile {
        std::string finalPath;
        bool complete = false;
    };
    pendingFile* find(const std::string& finalPath);

    std::ostream& console;
    std::vector<pendingFile> pending;
    std::string lockPath;
    int lockDescriptor = -1;
};

// One output file, created at its temporary path. Without a run it is put in
// place as it is closed; with one, by the run's putInPlace.
class outputFile {
public:
    // Prints a warning on the console when the file cannot be created.
    outputFile(const std::string& path, std::ostream& console, runOutputs* run = nullptr);
    // A file that was never closed is incomplete and is removed.
    ~outputFile();
    outputFile(const outputFile&) = delete;
    outputFile& operator=(const outputFile&) = delete;

    std::ofstream& stream() { return file; }
    // Closes the file; returns false (after a warning) when anything was lost.
    bool close();
    bool lost() const { return failed; }

private:
    std::string path;
    std::string temporary;
    std::ostream& console;
    runOutputs* run;
    std::ofstream file;
    bool failed = false;
    bool closed = false;
};

// While it lives, SIGINT, SIGTERM, SIGHUP and SIGQUIT wait: a run that is
// putting its outputs in place finishes that first.
class terminationDeferred {
public:
    terminationDeferred();
    ~terminationDeferred();
    terminationDeferred(const terminationDeferred&) = delete;
    terminationDeferred& operator=(const terminationDeferred&) = delete;

private:
    sigset_t previous{};
};

}  // namespace kalvex
