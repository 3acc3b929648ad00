// Loading and saving PLM sessions of growing size, as a deep chain and as a
// wide fan: time, heap (peak during the operation and what the loaded
// session keeps) and the size of the saved file against the loaded one.
#include "CATAdpSaver.h"
#include "CATListValCATBaseUnknown_var.h"
#include "ELMHostPLMSession.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<std::size_t> s_current{0};
std::atomic<std::size_t> s_peak{0};

void Count(void* p) {
  if (!p) return;
  std::size_t now = s_current.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
  std::size_t peak = s_peak.load();
  while (now > peak && !s_peak.compare_exchange_weak(peak, now)) {
  }
}

void Uncount(void* p) {
  if (p) s_current.fetch_sub(malloc_usable_size(p));
}

}  // namespace

// The replacements pair malloc with free on purpose, which g++ cannot see.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  Count(p);
  return p;
}
void operator delete(void* p) noexcept {
  Uncount(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
#pragma GCC diagnostic pop

namespace {

enum Shape { kDeep = 0, kWide = 1 };

/// A session of n tree nodes, each showing a reference of its own placed by
/// an instance of its own, written without any blank: the smallest text of
/// that content, so the saved file can only grow against it.
std::string SessionText(Shape shape, std::size_t n) {
  std::string t = R"({"objects":[)";
  for (std::size_t i = 0; i < n; ++i) {
    std::string k = std::to_string(i);
    t += R"({"id":"r)" + k + R"(","type":"VPMReference","attributes":{"PLM_ExternalID":"prd-)" + k + R"("}},)";
    if (i > 0) t += R"({"id":"i)" + k + R"(","type":"VPMInstance","attributes":{"PLM_ExternalID":"prd-)" + k + R"(.1"}},)";
  }
  t.back() = ']';
  t += R"(,"tree":{"id":"n0","reference":"r0")";
  if (shape == kDeep) {
    for (std::size_t i = 1; i < n; ++i) {
      std::string k = std::to_string(i);
      t += R"(,"children":[{"id":"n)" + k + R"(","reference":"r)" + k + R"(","instance":"i)" + k + "\"";
    }
    for (std::size_t i = 1; i < n; ++i) t += "}]";
  } else {
    t += R"(,"children":[)";
    for (std::size_t i = 1; i < n; ++i) {
      std::string k = std::to_string(i);
      t += R"({"id":"n)" + k + R"(","reference":"r)" + k + R"(","instance":"i)" + k + "\"},";
    }
    t.back() = ']';
  }
  return t + R"(},"selection":["n)" + std::to_string(n - 1) + "\"]}";
}

struct ScratchFile {
  ScratchFile() {
    char dir[] = "/tmp/elm-session-bench-XXXXXX";
    if (mkdtemp(dir)) path = std::string(dir) + "/session.json";
  }
  ~ScratchFile() {
    std::remove(path.c_str());
    rmdir(path.substr(0, path.rfind('/')).c_str());
  }
  std::size_t Write(const std::string& text) const {
    std::ofstream(path, std::ios::binary) << text;
    return text.size();
  }
  std::size_t Size() const {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
  }
  std::string path;
};

template <Shape shape>
void BM_LoadSession(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  ScratchFile file;
  const std::size_t bytes = file.Write(SessionText(shape, n));
  std::size_t peak = 0, kept = 0;
  for (auto _ : state) {
    std::size_t before = s_current.load();
    s_peak.store(before);
    std::string error;
    auto session = elmhost::PLMSession::Load(file.path, error);
    if (!session) {
      state.SkipWithError(error.c_str());
      return;
    }
    peak = s_peak.load() - before;
    kept = s_current.load() - before;
    state.PauseTiming();
    session.reset();
    state.ResumeTiming();
  }
  state.SetComplexityN(static_cast<benchmark::IterationCount>(n));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["kept_B_per_node"] = static_cast<double>(kept) / static_cast<double>(n);
}

template <Shape shape>
void BM_SaveSession(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  ScratchFile file;
  const std::size_t bytes = file.Write(SessionText(shape, n));
  std::string error;
  auto session = elmhost::PLMSession::Load(file.path, error);
  if (!session) {
    state.SkipWithError(error.c_str());
    return;
  }
  CATListValCATBaseUnknown_var toSave;
  toSave.Append(CATBaseUnknown_var(session->Find("r" + std::to_string(n - 1))));
  std::size_t peak = 0;
  for (auto _ : state) {
    std::size_t before = s_current.load();
    s_peak.store(before);
    if (FAILED(CATAdpSaver().Save(toSave))) {
      state.SkipWithError("save failed");
      return;
    }
    peak = s_peak.load() - before;
  }
  state.SetComplexityN(static_cast<benchmark::IterationCount>(n));
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["saved_to_loaded"] = static_cast<double>(file.Size()) / static_cast<double>(bytes);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10000)->Arg(30000)->Arg(100000)->ArgName("nodes")->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

}  // namespace

BENCHMARK(BM_LoadSession<kDeep>)->Name("BM_LoadDeepSession")->Apply(Sizes);
BENCHMARK(BM_LoadSession<kWide>)->Name("BM_LoadWideSession")->Apply(Sizes);
BENCHMARK(BM_SaveSession<kDeep>)->Name("BM_SaveDeepSession")->Apply(Sizes);
BENCHMARK(BM_SaveSession<kWide>)->Name("BM_SaveWideSession")->Apply(Sizes);
