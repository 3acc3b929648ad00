#include "ELMPerformance.h"

#include "CATGetEnv.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

ELMPerformance* ELMPerformance::pPerformance = nullptr;

namespace {

using Method = ELMPerformance::Method;

Method* asMethod(void* p) { return static_cast<Method*>(p); }

int sortModeFromEnvironment() {
  static const char* const modes[] = {"m", "mr", "c", "cr", "t", "tr", "tn", "tnr"};
  const char* value = CATGetEnv("ELM_PERFORMANCE_SORT");
  if (value)
    for (int i = 0; i < 8; ++i)
      if (std::strcmp(value, modes[i]) == 0) return i;
  return 7;
}

// -1 when a goes first on this key, 1 when b does, 0 when the key is equal.
int ascending(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Keys compared in order; equal records compare as 1, never 0.
template <class... Keys>
int compareKeys(Keys... results) {
  for (int r : {results...})
    if (r != 0) return r;
  return 1;
}

void line(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

ELMPerformance::Method::Method(const char* key, double now)
    : m_name(key), m_dStart(now), m_uHash(ELMPerformance::Hash(key)) {}

ELMPerformance::Method::~Method() = default;

ELMPerformance::ELMPerformance() : m_iSortMode(sortModeFromEnvironment()) {}

ELMPerformance::ELMPerformance(const ELMPerformance& other) = default;

ELMPerformance& ELMPerformance::operator=(const ELMPerformance& other) = default;

ELMPerformance::~ELMPerformance() = default;

unsigned int ELMPerformance::Hash(const char* name) {
  std::uint32_t hash = 0;
  for (const char* p = name; p && *p; ++p)
    hash = hash * 65599u + static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(*p)));
  return hash;
}

double ELMPerformance::Now() {
  // A counter in nanoseconds, scaled to whole milliseconds in integer
  // arithmetic: the report's resolution is one millisecond.
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::int64_t frequency = 1000000000;
  std::int64_t counter = static_cast<std::int64_t>(ts.tv_sec) * frequency + ts.tv_nsec;
  return static_cast<double>((counter / frequency) * 1000 + ((counter % frequency) * 1000) / frequency);
}

ELMPerformance* ELMPerformance::Instance() {
  // Lives to the end of the process, as the report may come at any scope's end.
  if (!pPerformance) pPerformance = new ELMPerformance();
  return pPerformance;
}

void ELMPerformance::EnterMethod(const char* key) { Instance()->EnterMethodInternal(key); }

void ELMPerformance::LeaveMethod(const char* key) { Instance()->LeaveMethodInternal(key); }

void ELMPerformance::EnterMethodInternal(const char* key) {
  auto* record = new Method(key, Now());
  if (m_callStack.Size() > 0) {
    Method* top = asMethod(m_callStack[m_callStack.Size()]);
    record->m_callerNames.Append(top->m_name);
    record->m_callerCounts.Append(1);
    record->m_callerHashes.Append(static_cast<int>(top->m_uHash));
  }
  m_callStack.Append(record);
  ++m_iOpen;
}

void ELMPerformance::LeaveMethodInternal(const char* key) {
  double now = Now();
  CATString name(key);
  unsigned int hash = Hash(key);
  // Find the innermost open call of key before touching anything, so that an
  // unknown key leaves the stack exactly as it was.
  int match = 0;
  for (int i = m_callStack.Size(); i >= 1; --i) {
    Method* m = asMethod(m_callStack[i]);
    if (m->m_uHash == hash && m->m_name == name) {
      match = i;
      break;
    }
  }
  if (match) {
    // Calls still open above it are dropped; each passes its self time on to
    // the record below it.
    for (int i = m_callStack.Size(); i > match; --i) {
      Method* dropped = asMethod(m_callStack[i]);
      asMethod(m_callStack[i - 1])->m_dSelfTime -= dropped->m_dSelfTime;
      dropped->m_dSelfTime = 0;
      delete dropped;
      m_callStack.RemovePosition(i);
      --m_iOpen;
    }
    Method* record = asMethod(m_callStack[match]);
    m_callStack.RemovePosition(match);
    double elapsed = now - record->m_dStart;
    record->m_dTime = elapsed;
    record->m_dSelfTime += elapsed;
    record->m_dElapsed += elapsed;
    record->m_dStart = 0;
    for (int i = match - 1; i >= 1 && i >= match - 3; --i) {
      Method* below = asMethod(m_callStack[i]);
      if (below->m_uHash == record->m_uHash && below->m_name == record->m_name) {
        record->m_dTime = 0;
        break;
      }
    }
    if (match > 1) asMethod(m_callStack[match - 1])->m_dSelfTime -= record->m_dElapsed;
    AddCalledMethod(record);
    --m_iOpen;
  }
  if (m_iOpen == 0) Result();
}

void ELMPerformance::AddCalledMethod(Method* method) {
  for (int i = m_results.Size(); i >= 1; --i) {
    Method* found = asMethod(m_results[i]);
    if (found->m_uHash != method->m_uHash || !(found->m_name == method->m_name)) continue;
    found->m_dTime += method->m_dTime;
    found->m_iCalls += method->m_iCalls;
    found->m_dSelfTime += method->m_dSelfTime;
    found->m_dElapsed += method->m_dElapsed;
    for (int c = 1; c <= method->m_callerNames.Size(); ++c) {
      int at = 0;
      for (int k = 1; k <= found->m_callerNames.Size(); ++k)
        if (found->m_callerHashes[k] == method->m_callerHashes[c] &&
            found->m_callerNames[k] == method->m_callerNames[c]) {
          at = k;
          break;
        }
      if (at) {
        found->m_callerCounts[at] += method->m_callerCounts[c];
      } else {
        found->m_callerNames.Append(method->m_callerNames[c]);
        found->m_callerHashes.Append(method->m_callerHashes[c]);
        found->m_callerCounts.Append(method->m_callerCounts[c]);
      }
    }
    delete method;
    return;
  }
  m_results.Append(method);
}

void ELMPerformance::Result() {
  static CATRawCollPV::Comparator const comparators[] = {CmpName, CmpNameR, CmpCalls,  CmpCallsR,
                                                         CmpTime, CmpTimeR, CmpTimeNc, CmpTimeNcR};
  int mode = (m_iSortMode >= 0 && m_iSortMode < 8) ? m_iSortMode : 7;
  m_results.QuickSort(comparators[mode]);
  line("");
  line("   Calls  |   Time   | No Child | Method  ");
  line(" ---------+----------+----------+----------------------------------------");
  char buf[4096];
  for (int i = 1; i <= m_results.Size(); ++i) {
    Method* m = asMethod(m_results[i]);
    std::snprintf(buf, sizeof buf, "%9d | %8d | %8d | %s", m->m_iCalls, static_cast<int>(m->m_dTime),
                  static_cast<int>(m->m_dSelfTime), m->m_name.CastToCharPtr());
    line(buf);
    for (int c = 1; c <= m->m_callerNames.Size(); ++c) {
      std::snprintf(buf, sizeof buf, "%9s | %8s | %8s |  (%6d) %s", "", "", "", m->m_callerCounts[c],
                    m->m_callerNames[c].CastToCharPtr());
      line(buf);
    }
    delete m;
  }
  m_results.RemoveAll();
}

int ELMPerformance::CmpName(void* a, void* b) {
  if (!a || !b) return 0;
  return asMethod(a)->m_name.Compare(asMethod(b)->m_name);
}

int ELMPerformance::CmpNameR(void* a, void* b) {
  if (!a || !b) return 0;
  return asMethod(b)->m_name.Compare(asMethod(a)->m_name);
}

int ELMPerformance::CmpCalls(void* a, void* b) {
  if (!a || !b) return 0;
  Method *x = asMethod(a), *y = asMethod(b);
  return compareKeys(ascending(x->m_iCalls, y->m_iCalls), ascending(x->m_dTime, y->m_dTime));
}

int ELMPerformance::CmpCallsR(void* a, void* b) {
  if (!a || !b) return 0;
  Method *x = asMethod(a), *y = asMethod(b);
  return compareKeys(ascending(y->m_iCalls, x->m_iCalls), ascending(y->m_dTime, x->m_dTime));
}

int ELMPerformance::CmpTime(void* a, void* b) {
  if (!a || !b) return 0;
  Method *x = asMethod(a), *y = asMethod(b);
  return compareKeys(ascending(x->m_dTime, y->m_dTime), ascending(x->m_iCalls, y->m_iCalls));
}

int ELMPerformance::CmpTimeR(void* a, void* b) {
  if (!a || !b) return 0;
  Method *x = asMethod(a), *y = asMethod(b);
  return compareKeys(ascending(y->m_dTime, x->m_dTime), ascending(y->m_iCalls, x->m_iCalls));
}

int ELMPerformance::CmpTimeNc(void* a, void* b) {
  if (!a || !b) return 0;
  Method *x = asMethod(a), *y = asMethod(b);
  return compareKeys(ascending(x->m_dSelfTime, y->m_dSelfTime), ascending(x->m_dTime, y->m_dTime),
                     ascending(x->m_iCalls, y->m_iCalls));
}

int ELMPerformance::CmpTimeNcR(void* a, void* b) {
  if (!a || !b) return 0;
  Method *x = asMethod(a), *y = asMethod(b);
  return compareKeys(ascending(y->m_dSelfTime, x->m_dSelfTime), ascending(y->m_dTime, x->m_dTime),
                     ascending(y->m_iCalls, x->m_iCalls));
}
