#include "app/outputFiles.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ostream>

#include "output/stopPoints.h"

namespace kalvex {

namespace {

void reportNotCreated(std::ostream& console, const std::string& path) {
    console << "Warning: Could not create the output file " << path << std::endl;
}

bool sameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

enum class lockOutcome { held, heldByAnother, unavailable };

// The lock file is removed by the run that ends holding it, so a run that
// waited on an opened lock file may hold a file that no longer has its name:
// it tries again on the file that has. The descriptor is inherited by
// gnuplot, which renders the run's images: a gnuplot that outlives a killed
// run keeps the base locked until its images are written.
lockOutcome lockFile(const std::string& path, int& descriptor) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
        if (descriptor < 0) descriptor = ::open(path.c_str(), O_RDONLY);
        // A folder where no file can be made gets no output either, and says so then.
        if (descriptor < 0) return lockOutcome::unavailable;
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const bool taken = errno == EWOULDBLOCK;
            ::close(descriptor);
            descriptor = -1;
            return taken ? lockOutcome::heldByAnother : lockOutcome::unavailable;
        }
        struct stat opened {}, named {};
        if (::fstat(descriptor, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && sameFile(opened, named))
            return lockOutcome::held;
        ::close(descriptor);
    }
    descriptor = -1;
    return lockOutcome::unavailable;
}

}  // namespace

std::string temporaryPath(const std::string& finalPath) { return finalPath + ".partial"; }

runOutputs::runOutputs(std::ostream& runConsole) : console(runConsole) {}

runOutputs::~runOutputs() {
    for (const pendingFile& file : pending) std::remove(temporaryPath(file.finalPath).c_str());
    release();
}

bool runOutputs::claim(const std::string& base) {
    lockPath = base + ".lock";
    if (lockFile(lockPath, lockDescriptor) == lockOutcome::heldByAnother) {
        console << "Error: Another run is writing these outputs and holds the lock " << lockPath << std::endl;
        return false;
    }
    for (const char* suffix : outputSuffixes) std::remove(temporaryPath(base + suffix).c_str());
    std::remove(temporaryPath(base + "_summary.json").c_str());
    return true;
}

runOutputs::pendingFile* runOutputs::find(const std::string& finalPath) {
    for (pendingFile& file : pending)
        if (file.finalPath == finalPath) return &file;
    return nullptr;
}

std::string runOutputs::begin(const std::string& finalPath) {
    if (pendingFile* file = find(finalPath))
        file->complete = false;
    else
        pending.push_back({finalPath, false});
    return temporaryPath(finalPath);
}

void runOutputs::complete(const std::string& finalPath) {
    if (pendingFile* file = find(finalPath)) file->complete = true;
}

void runOutputs::abandon(const std::string& finalPath) {
    std::remove(temporaryPath(finalPath).c_str());
    if (pendingFile* file = find(finalPath)) file->complete = false;
}

bool runOutputs::putInPlace() {
    bool placed = true;
    for (const pendingFile& file : pending) {
        const std::string temporary = temporaryPath(file.finalPath);
        if (!file.complete) {
            std::remove(temporary.c_str());
            continue;
        }
        if (std::rename(temporary.c_str(), file.finalPath.c_str()) != 0) {
            reportNotCreated(console, file.finalPath);
            std::remove(temporary.c_str());
            placed = false;
        }
        passStopPoint("placingOutputs");
    }
    pending.clear();
    return placed;
}

void runOutputs::release() {
    if (lockDescriptor < 0) return;
    ::unlink(lockPath.c_str());
    ::close(lockDescriptor);
    lockDescriptor = -1;
}

outputFile::outputFile(const std::string& filePath, std::ostream& runConsole, runOutputs* outputs)
    : path(filePath),
      temporary(outputs != nullptr ? outputs->begin(filePath) : temporaryPath(filePath)),
      console(runConsole),
      run(outputs),
      file(temporary, std::ios::out | std::ios::trunc) {
    if (!file.is_open()) {
        failed = true;
        reportNotCreated(console, path);
    }
}

outputFile::~outputFile() {
    if (closed) return;
    file.close();
    if (run != nullptr)
        run->abandon(path);
    else
        std::remove(temporary.c_str());
}

bool outputFile::close() {
    if (closed) return !failed;
    closed = true;
    if (!failed) {
        file.close();
        if (file.fail()) {
            failed = true;
            console << "Warning: Could not write the output file " << path << std::endl;
        }
    }
    if (failed) {
        if (run != nullptr) run->abandon(path);
        else std::remove(temporary.c_str());
        return false;
    }
    if (run != nullptr) {
        run->complete(path);
    } else if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        failed = true;
        reportNotCreated(console, path);
        std::remove(temporary.c_str());
    }
    return !failed;
}

terminationDeferred::terminationDeferred() {
    sigset_t termination;
    sigemptyset(&termination);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&termination, signal);
    ::pthread_sigmask(SIG_BLOCK, &termination, &previous);
}

terminationDeferred::~terminationDeferred() { ::pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

}  // namespace kalvex
