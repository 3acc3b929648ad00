#pragma once

#include "CATIType.h"

class ExportedByELMHost CATITypeDictionary : public virtual CATBaseUnknown {
  CATDeclareInterface(CATITypeDictionary)
public:
  /// Finds a type by name; fails when the dictionary lacks it.
  virtual HRESULT FindType(const CATUnicodeString& name, CATIType_var& type) const;
};
using CATITypeDictionary_var = CATVar<CATITypeDictionary>;
