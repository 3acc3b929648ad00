#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATUnicodeString.h"
#include "CATUnicodeString.h"

/// An object met while navigating a product structure, read by attribute name.
class ExportedByELMHost CATIPLMNavEntity : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIPLMNavEntity)
public:
  /// Whether the object is a representation reference (a 3D shape, a
  /// drawing: what a product holds, not a product of its own): answer 1 if
  /// so, 0 if not.
  virtual HRESULT IsRepReference(int& answer) const;
  /// Appends the values of the attributes names, one per name and in their
  /// order; fails, appending nothing, when the object lacks one of them.
  virtual HRESULT GetAttributeValues(const CATListValCATUnicodeString& names, CATListValCATUnicodeString& values) const;
  /// Appends the values of the attribute name (one for a plain attribute);
  /// fails for an attribute the object does not have.
  virtual HRESULT GetAttributeValue(const CATUnicodeString& name, CATListValCATUnicodeString& values) const;
};
using CATIPLMNavEntity_var = CATVar<CATIPLMNavEntity>;
