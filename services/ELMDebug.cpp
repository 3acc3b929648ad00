#include "ELMDebug.h"

#include "ELMPerformance.h"

#include "CATGetEnv.h"
#include "CATUnicodeString.h"

#include <cstdio>
#include <cstring>

int ELMDebug::s_iDebug = 0;
unsigned char ELMDebug::s_bDebugSet = 0;

namespace {

// One line, then a flush, so traces interleave sanely with other writers.
// The profiler's key: the scope name immediately followed by its line.
void profilerKey(char (&key)[2048], const char* name, int line) {
  std::snprintf(key, sizeof key, "%s%d", name ? name : "", line);
}

void emit(const char* a, const char* b, const char* c, int number, const char* d) {
  std::fputs(a, stdout);
  std::fputs(b, stdout);
  std::fputs(c, stdout);
  std::printf("%d", number);
  std::fputs(d, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

void ELMDebug::Open() {
  if (!s_bDebugSet) {
    s_bDebugSet = 1;
    const char* value = CATGetEnv("ELM_DEBUG");
    if (value && std::strcmp(value, "ON") == 0)
      s_iDebug = 1;
    else if (value && std::strcmp(value, "ONT") == 0)
      s_iDebug = 2;
  }
  // Any level but off and profiling writes the scope lines: a sibling
  // library may set a level of its own; inline lines stay at 1 only.
  if (s_iDebug == 2) {
    char key[2048];
    profilerKey(key, m_pName, m_iLine);
    ELMPerformance::EnterMethod(key);
  } else if (s_iDebug != 0) {
    emit(" ELM: ", m_pName ? m_pName : "", "(", m_iLine, ") start");
  }
}

void ELMDebug::Close() {
  if (s_iDebug == 2) {
    char key[2048];
    profilerKey(key, m_pName, m_iLine);
    ELMPerformance::LeaveMethod(key);
  } else if (s_iDebug != 0) {
    emit(" ELM: ", m_pName ? m_pName : "", "(", m_iLine, m_iFailed ? ") end  " : ") end OK");
  }
}

void ELMDebug::WriteFailure(const char* scopeName, int line) {
  emit("ELMDBX Function: ", scopeName ? scopeName : "", " (", line, ")");
}

void ELMDebug::WriteNote(int line, const char* text) {
  std::printf("  ELMDBX (%d): ", line);
  std::fputs(text ? text : "", stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void ELMDebug::WriteNote(int line, const CATUnicodeString& text) { WriteNote(line, text.ConvertToChar()); }

void ELMDebug::WriteLine(const char* text) {
  std::fputs(text ? text : "", stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
