#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATBaseUnknown_var.h"
#include "CATUnicodeString.h"

class CATIType;
using CATIType_var = CATVar<CATIType>;

/// A type of the type dictionary: a name, a second (display) text, a
/// supertype and subtypes.
class ExportedByELMHost CATIType : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIType)
public:
  virtual CATUnicodeString Name() const;
  virtual CATUnicodeString UserName() const;
  /// Null for a topmost type.
  virtual CATIType_var Supertype() const;
  /// Appends the direct subtypes, in the order of their definition.
  virtual HRESULT ListSubTypes(CATListValCATBaseUnknown_var& subtypes) const;
  /// True when this type is type or derives from it.
  virtual bool IsaKindOf(const CATIType_var& type) const;
};
