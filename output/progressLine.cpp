#include "output/progressLine.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <streambuf>
#include <vector>

namespace kalvex {

namespace {

// Shorter runs end before a user would wonder; the line is rewritten at most
// this often, so that it costs nothing beside the search.
constexpr double quietSeconds = 2.0;
constexpr double redrawSeconds = 0.2;

void clearLine();

// The console's own buffer behind one that first clears a line drawn on the terminal.
class clearingBuffer : public std::streambuf {
public:
    explicit clearingBuffer(std::streambuf* target) : target(target) {}
    std::streambuf* wrapped() const { return target; }

protected:
    int overflow(int character) override {
        clearLine();
        return traits_type::eq_int_type(character, traits_type::eof()) ? traits_type::not_eof(character)
                                                                          : target->sputc(char(character));
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        clearLine();
        return target->sputn(text, count);
    }
    int sync() override { return target->pubsync(); }

private:
    std::streambuf* target;
};

struct progressState {
    bool shown = false;      // standard error is a terminal
    bool drawn = false;      // a line stands on it
    progressClock::time_point runStart;
    progressClock::time_point searchStart;
    progressClock::time_point lastDrawn;
    std::string stage;
    std::string search;
    std::size_t width = 0;   // of the line drawn last
    std::ostream* console = nullptr;
    std::unique_ptr<clearingBuffer> clearing;
};

std::vector<std::unique_ptr<clearingBuffer>>& retiredBuffers() {
    static std::vector<std::unique_ptr<clearingBuffer>> retired;
    return retired;
}

progressState& state() {
    static progressState progress;
    return progress;
}

double secondsBetween(progressClock::time_point from, progressClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

void writeToTerminal(const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(STDERR_FILENO, text.data() + written, text.size() - written);
        if (count <= 0) return;
        written += std::size_t(count);
    }
}

void clearLine() {
    progressState& progress = state();
    if (progress.drawn) writeToTerminal("\r" + std::string(progress.width, ' ') + "\r");
    progress.drawn = false;
}

}  // namespace

std::string progressText(const std::string& stage, const std::string& search, double share,
                         double searchSeconds) {
    const double done = std::clamp(std::isfinite(share) ? share : 0.0, 0.0, 1.0);
    char figures[96];
    // Below a hundredth done the pace is not known yet.
    if (done >= 0.01 && done < 1.0 && searchSeconds > 0.0)
        std::snprintf(figures, sizeof figures, "%3.0f %%, about %.0f s left", 100.0 * done,
                      std::ceil(searchSeconds * (1.0 - done) / done));
    else
        std::snprintf(figures, sizeof figures, "%3.0f %%", 100.0 * done);
    return stage + ", " + search + ": " + figures;
}

void beginProgress(std::ostream& console, progressClock::time_point runStart) {
    endProgress();
    progressState& progress = state();
    progress.shown = ::isatty(STDERR_FILENO) == 1;
    progress.runStart = runStart;
    progress.searchStart = runStart;
    progress.lastDrawn = runStart;
    if (!progress.shown) return;
    progress.console = &console;
    progress.clearing = std::make_unique<clearingBuffer>(console.rdbuf());
    console.rdbuf(progress.clearing.get());
}

void progressStage(const std::string& stage, const std::string& search) {
    progressState& progress = state();
    if (!progress.shown) return;
    progress.stage = stage;
    progress.search = search;
    progress.searchStart = progressClock::now();
    progressShare(0.0);
}

void progressShare(double share) {
    progressState& progress = state();
    if (!progress.shown) return;
    const progressClock::time_point now = progressClock::now();
    if (secondsBetween(progress.runStart, now) < quietSeconds) return;
    if (secondsBetween(progress.lastDrawn, now) < redrawSeconds) return;
    std::string line = progressText(progress.stage, progress.search, share, secondsBetween(progress.searchStart, now));
    const std::size_t width = line.size();
    // Blanks over what a longer line before left.
    line.append(progress.width > width ? progress.width - width : 0, ' ');
    writeToTerminal("\r" + line);
    progress.drawn = true;
    progress.lastDrawn = now;
    progress.width = width;
}

void endProgress() {
    clearLine();
    progressState& progress = state();
    if (progress.console != nullptr && progress.clearing) {
        if (progress.console->rdbuf() == progress.clearing.get())
            progress.console->rdbuf(progress.clearing->wrapped());
        else
            // A buffer put above it since hands the console back to it later:
            // it must outlive the run, passing text on without clearing.
            retiredBuffers().push_back(std::move(progress.clearing));
    }
    progress = progressState{};
}

}  // namespace kalvex
