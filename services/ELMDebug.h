#pragma once

#include "ELMCommandsExport.h"

class CATUnicodeString;

/// A trace scope: opened as the first statement of an operation, closed when
/// it returns. "ELM_DEBUG" is read once per process: "ON" traces to the
/// standard output, "ONT" feeds the method profiler, anything else is silent.
class ExportedByELMCommands ELMDebug {
public:
  /// name must outlive the scope (callers pass string literals).
  ELMDebug(const char* name, int line) : m_pName(name), m_iLine(line), m_iFailed(0) {
    // Kept inline so that a scope with the trace off costs two tests here
    // and one in the destructor.
    if (!s_bDebugSet || s_iDebug != 0) Open();
  }
  ~ELMDebug() {
    if (s_iDebug != 0) Close();
  }
  ELMDebug(const ELMDebug&) = delete;
  ELMDebug& operator=(const ELMDebug&) = delete;

  void SetFailed() { m_iFailed = 1; }
  const char* GetName() const { return m_pName; }
  int GetLine() const { return m_iLine; }
  int IsFailed() const { return m_iFailed; }

  /// "ELMDBX Function: <scope> (<line>)"
  static void WriteFailure(const char* scopeName, int line);
  /// "  ELMDBX (<line>): <text>"
  static void WriteNote(int line, const char* text);
  static void WriteNote(int line, const CATUnicodeString& text);
  /// A line of its own, without any prefix.
  static void WriteLine(const char* text);

  /// Trace level: 0 off, 1 console trace, 2 profiling.
  static int s_iDebug;

private:
  void Open();
  void Close();

  const char* m_pName;
  int m_iLine;
  int m_iFailed;

  static unsigned char s_bDebugSet;
};
