#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// The knowledge view of an object: its attributes, read and written as
/// text through CATCkeObjectAttrReadServices and CATCkeObjectAttrWriteServices.
class ExportedByELMHost CATICkeObject : public virtual CATBaseUnknown {
  CATDeclareInterface(CATICkeObject)
public:
  /// The value of the attribute name as it is shown; fails for an unknown attribute.
  virtual HRESULT ShowValue(const CATUnicodeString& name, CATUnicodeString& value) const;
  /// Sets the attribute name from text; fails for an unknown or read-only attribute.
  virtual HRESULT SetValueFromString(const CATUnicodeString& name, const CATUnicodeString& value);
};
using CATICkeObject_var = CATVar<CATICkeObject>;
