#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATBaseUnknown_var.h"

class CATIAdpPLMIdentificator;

/// Versions of PLM objects.
class ExportedByELMHost CATAdpVersioningServices {
public:
  /// Appends the identificators (CATIAdpPLMIdentificator) of every version
  /// of the object, the object's own included.
  static HRESULT GetAllVersions(CATIAdpPLMIdentificator* object, CATListValCATBaseUnknown_var& versions);
};
