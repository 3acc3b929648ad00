// What a trace scope costs an operation when the trace is off, against a
// call that does nothing at all.

#include "ELMTrace.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

__attribute__((noinline)) int emptyCall(int x) {
  benchmark::DoNotOptimize(x);
  return x;
}

__attribute__((noinline)) int scopedCall(int x) {
  ELM_SCOPE("Bench::ScopedCall");
  benchmark::DoNotOptimize(x);
  return x;
}

void BM_EmptyCall(benchmark::State& state) {
  int x = 0;
  for (auto _ : state) x = emptyCall(x + 1);
  benchmark::DoNotOptimize(x);
}
BENCHMARK(BM_EmptyCall);

void BM_ScopeWithTraceOff(benchmark::State& state) {
  int x = scopedCall(0);  // settles the level before measuring
  if (ELMDebug::s_iDebug != 0) {
    state.SkipWithError("ELM_DEBUG is set: the trace is on");
    return;
  }
  for (auto _ : state) x = scopedCall(x + 1);
  benchmark::DoNotOptimize(x);
}
BENCHMARK(BM_ScopeWithTraceOff);

}  // namespace

int main(int argc, char** argv) {
  unsetenv("ELM_DEBUG");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
