#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATBaseUnknown_var.h"

/// Saves PLM objects to the database. On failure the details are the
/// platform's last error (CATError::CATGetLastError).
class ExportedByELMHost CATAdpSaver {
public:
  CATAdpSaver() = default;
  CATAdpSaver(const CATAdpSaver&) = delete;
  CATAdpSaver& operator=(const CATAdpSaver&) = delete;

  /// Saves exactly the objects listed; other changes of the session stay unsaved.
  HRESULT Save(const CATListValCATBaseUnknown_var& objects);
};
