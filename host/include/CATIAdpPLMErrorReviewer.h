#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// Told about each error of a query as it happens, for callers that gather
/// the errors of several calls.
class ExportedByELMHost CATIAdpPLMErrorReviewer : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIAdpPLMErrorReviewer)
public:
  virtual void ReviewError(const CATUnicodeString& message);
};
