// Threads take small runs of consecutive candidates from a shared counter, so
// each thread sees its own candidates in scan order and the work stays
// balanced when some candidates are given up early and others are not.
#include "model/evaluation/searchThreads.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace kalvex {

namespace {

std::atomic<searchProgress> progressListener{nullptr};

void tellProgress(double share) {
    if (const searchProgress listener = progressListener.load(std::memory_order_relaxed)) listener(share);
}

constexpr std::size_t singleRunLength = 4;

class candidateQueue {
public:
    candidateQueue(std::size_t count, std::size_t runLength, double startBound, const runMeasure& measure)
        : count(count), runLength(std::max<std::size_t>(runLength, 1)), startBound(startBound), measure(measure),
          results(count) {}

    // One thread's share: runs of candidates until none are left. The
    // calling thread tells how far the candidates are.
    void work(bool calling) {
        double bound = startBound;
        for (;;) {
            const std::size_t first = nextRun.fetch_add(runLength);
            if (calling) tellProgress(double(std::min(first, count)) / double(std::max<std::size_t>(count, 1)));
            if (first >= count) return;
            const std::size_t end = std::min(count, first + runLength);
            measure(first, end, bound, results.data() + first);
            for (std::size_t candidate = first; candidate < end; ++candidate)
                if (results[candidate] < bound) bound = results[candidate];
        }
    }

    std::vector<double> takeResults() { return std::move(results); }

private:
    std::size_t count;
    std::size_t runLength;
    double startBound;
    const runMeasure& measure;
    std::vector<double> results;  // each slot written by exactly one thread
    std::atomic<std::size_t> nextRun{0};
};

}  // namespace

void reportSearchProgressTo(searchProgress listener) { progressListener.store(listener, std::memory_order_relaxed); }

std::vector<double> measureCandidates(std::size_t count, int threadCount, double startBound,
                                      const candidateMeasure& measure) {
    // One candidate after another, each against the best of those before it in the run.
    const runMeasure oneByOne = [&measure](std::size_t first, std::size_t end, double bound, double* results) {
        for (std::size_t candidate = first; candidate < end; ++candidate) {
            const double rms = measure(candidate, bound);
            results[candidate - first] = rms;
            if (rms < bound) bound = rms;
        }
    };
    return measureCandidateRuns(count, singleRunLength, threadCount, startBound, oneByOne);
}

std::vector<double> measureCandidateRuns(std::size_t count, std::size_t runLength, int threadCount,
                                         double startBound, const runMeasure& measure) {
    candidateQueue queue(count, runLength, startBound, measure);
    runLength = std::max<std::size_t>(runLength, 1);
    const std::size_t runs = (count + runLength - 1) / runLength;
    const std::size_t helpers = std::min(runs, std::size_t(std::max(threadCount, 1))) - (runs > 0 ? 1 : 0);
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    for (std::size_t i = 0; i < helpers; ++i) {
        // Without another thread the calling one simply does more of the work.
        try {
            threads.emplace_back([&queue] { queue.work(false); });
        } catch (const std::system_error&) {
            break;
        }
    }
    queue.work(true);
    for (std::thread& thread : threads) thread.join();
    return queue.takeResults();
}

}  // namespace kalvex
