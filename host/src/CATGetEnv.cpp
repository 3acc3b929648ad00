#include "CATGetEnv.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

const char* CATGetEnv(const char* name) { return name ? std::getenv(name) : nullptr; }

CATLibStatus CATGetEnvValue(const char* name, char** value) {
  if (!value) return CATLibError;
  *value = nullptr;
  const char* v = CATGetEnv(name);
  if (!v) return CATLibError;
  *value = strdup(v);
  return *value ? CATLibSuccess : CATLibError;
}

unsigned int CATGetProcessId() { return static_cast<unsigned int>(getpid()); }
