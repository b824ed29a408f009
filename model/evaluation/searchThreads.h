#pragma once
// Measuring the candidates of a search on several threads. The caller still
// makes every decision itself, in scan order, from the measured values, so
// what a search finds never depends on the number of threads.
#include <cstddef>
#include <functional>
#include <vector>

namespace kalvex {

// Candidates a search gathers before it measures them and walks them in scan
// order: enough to keep every thread busy for a while, few enough that the
// bound a batch is measured against is seldom far behind the best so far.
constexpr std::size_t searchBatchLimit = 4096;

// measure(candidate, bound) gives the candidate's RMS, or NaN when it proved
// that RMS to be strictly greater than bound (such a candidate can neither
// beat nor tie the best found before it). A thread hands each candidate the
// lowest of startBound and its own earlier results; all of those belong to
// candidates earlier in scan order, so the bound is never below the best that
// the sequential scan would hold at that candidate.
using candidateMeasure = std::function<double(std::size_t candidate, double bound)>;

// Told how far the candidates of each search are, from 0 to 1, on the thread
// that started the search. A run that shows its progress installs one;
// nullptr, the default, tells nobody.
using searchProgress = void (*)(double share);
void reportSearchProgressTo(searchProgress listener);

std::vector<double> measureCandidates(std::size_t count, int threadCount, double startBound,
                                      const candidateMeasure& measure);

// measure(first, end, bound, results) fills results[0, end - first) with the
// values of candidates first to end - 1, each the RMS or NaN as above, all
// measured against the one bound. Threads take runs of runLength consecutive
// candidates; the bound of a run is the lowest of startBound and the thread's
// results for earlier runs, so the guarantee above holds for every candidate.
using runMeasure = std::function<void(std::size_t first, std::size_t end, double bound, double* results)>;

std::vector<double> measureCandidateRuns(std::size_t count, std::size_t runLength, int threadCount,
                                         double startBound, const runMeasure& measure);

}  // namespace kalvex
