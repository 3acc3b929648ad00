#pragma once

#include "ELMHostExport.h"

enum CATLibStatus { CATLibError = 0, CATLibSuccess = 1 };

/// The variable's value, or null when it is not set.
ExportedByELMHost const char* CATGetEnv(const char* name);
/// Copies the value into a new buffer (release with free()); CATLibError when unset.
ExportedByELMHost CATLibStatus CATGetEnvValue(const char* name, char** value);
ExportedByELMHost unsigned int CATGetProcessId();
