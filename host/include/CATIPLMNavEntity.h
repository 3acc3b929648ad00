#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATUnicodeString.h"
#include "CATUnicodeString.h"

/// An object met while navigating a product structure, read by attribute name.
class ExportedByELMHost CATIPLMNavEntity : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIPLMNavEntity)
public:
  /// Appends the values of the attribute name (one for a plain attribute);
  /// fails for an attribute the object does not have.
  virtual HRESULT GetAttributeValue(const CATUnicodeString& name, CATListValCATUnicodeString& values) const;
};
using CATIPLMNavEntity_var = CATVar<CATIPLMNavEntity>;
