#pragma once

#include "ELMCommandsExport.h"

#include "CATListValCATString.h"
#include "CATRawCollPV.h"
#include "CATRawCollint.h"
#include "CATString.h"

/// The method profiler, fed by the trace scopes at trace level 2
/// ("ELM_DEBUG" = "ONT"). Keeps a stack of open calls and a table of finished
/// methods, and prints the table each time the outermost traced call returns,
/// sorted as "ELM_PERFORMANCE_SORT" says (m, mr, c, cr, t, tr, tn, tnr).
class ExportedByELMCommands ELMPerformance {
public:
  /// One call while it is open, then the merged record of a method.
  class ExportedByELMCommands Method {
  public:
    Method(const char* key, double now);
    virtual ~Method();

    CATString m_name;
    double m_dStart = 0;
    double m_dTime = 0;
    double m_dElapsed = 0;
    double m_dSelfTime = 0;
    int m_iCalls = 1;
    unsigned int m_uHash = 0;
    CATListValCATString m_callerNames;
    CATRawCollint m_callerCounts;
    CATRawCollint m_callerHashes;
  };

  ELMPerformance();
  ELMPerformance(const ELMPerformance& other);
  ELMPerformance& operator=(const ELMPerformance& other);
  virtual ~ELMPerformance();

  /// Enters a call of key (scope name immediately followed by its line).
  static void EnterMethod(const char* key);
  /// Leaves the innermost open call of key.
  static void LeaveMethod(const char* key);

  /// The 32-bit name hash: h = h * 65599 + c over the bytes as signed chars.
  static unsigned int Hash(const char* name);

  static int CmpName(void* a, void* b);
  static int CmpNameR(void* a, void* b);
  static int CmpCalls(void* a, void* b);
  static int CmpCallsR(void* a, void* b);
  static int CmpTime(void* a, void* b);
  static int CmpTimeR(void* a, void* b);
  static int CmpTimeNc(void* a, void* b);
  static int CmpTimeNcR(void* a, void* b);

private:
  void EnterMethodInternal(const char* key);
  void LeaveMethodInternal(const char* key);
  void AddCalledMethod(Method* method);
  void Result();
  static ELMPerformance* Instance();
  static double Now();

  int m_iSortMode = 7;
  int m_iOpen = 0;
  CATRawCollPV m_callStack;
  CATRawCollPV m_results;

  static ELMPerformance* pPerformance;
};
