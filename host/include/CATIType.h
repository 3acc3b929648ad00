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
  /// True for the kinds of object that a tree does not show on their own
  /// but through the object that aggregates them (representations): a
  /// selected node of such a kind stands for its parent.
  virtual bool IsShownThroughParent() const;
};
