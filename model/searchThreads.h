#pragma once
// Measuring the candidates of a search on several threads. The caller still
// makes every decision itself, in scan order, from the measured values, so
// what a search finds never depends on the number of threads.
#include <cstddef>
#include <functional>
#include <vector>

namespace kalvex {

// measure(candidate, bound) gives the candidate's RMS, or NaN when it proved
// that RMS to be strictly greater than bound (such a candidate can neither
// beat nor tie the best found before it). A thread hands each candidate the
// lowest of startBound and its own earlier results; all of those belong to
// candidates earlier in scan order, so the bound is never below the best that
// the sequential scan would hold at that candidate.
using candidateMeasure = std::function<double(std::size_t candidate, double bound)>;

std::vector<double> measureCandidates(std::size_t count, int threadCount, double startBound,
                                      const candidateMeasure& measure);

}  // namespace kalvex
