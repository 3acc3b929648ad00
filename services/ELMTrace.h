#pragma once

// The library's tracing conventions in one place: each operation opens its
// scope as `ELM_SCOPE("Class::Method");`, and failure points and notes are
// written only at trace level 1, with the source line of the statement.

#include "ELMDebug.h"

#define ELM_SCOPE(name) ELMDebug elmScope(name, __LINE__)

#define ELM_FAIL_POINT()                                        \
  do {                                                          \
    if (ELMDebug::s_iDebug == 1) {                              \
      ELMDebug::WriteFailure(elmScope.GetName(), __LINE__);     \
      elmScope.SetFailed();                                     \
    }                                                           \
  } while (0)

// The text expression is evaluated only when the note is written.
#define ELM_NOTE(text)                                           \
  do {                                                           \
    if (ELMDebug::s_iDebug == 1) ELMDebug::WriteNote(__LINE__, text); \
  } while (0)
