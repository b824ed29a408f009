// The benchmark executable's entry point.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
