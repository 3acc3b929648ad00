#pragma once

// The platform's file-system services that the plug-in uses: the temporary
// directory, joining a directory and a file name, and access checks.

#include "CATGetEnv.h"

#include <cstddef>

/// The directory for temporary files: TMPDIR when it is set and not empty,
/// else /tmp. The text stays valid until the next call.
ExportedByELMHost const char* CATGetTempDirectory();

/// Joins directory and name with one separator into path, a buffer of size
/// bytes. CATLibError, with path empty, when the result does not fit or an
/// argument is missing.
ExportedByELMHost CATLibStatus CATMakePath(const char* directory, const char* name, char* path, std::size_t size);

/// 0 when path exists and allows mode (4 read, 2 write, 1 run, 0 only
/// exists, or several added), else -1.
ExportedByELMHost int CATFileAccess(const char* path, int mode);
