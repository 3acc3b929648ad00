#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATBaseUnknown_var.h"

/// A selection path: the objects from the top of a tree down to the selected
/// one. Positions run from 1 to GetSize(); the last one is what was picked.
class ExportedByELMHost CATPathElement : public virtual CATBaseUnknown {
  CATDeclareInterface(CATPathElement)
public:
  CATPathElement() = default;

  int GetSize() const { return m_objects.Size(); }
  /// The object at pos (1-based), without an added reference; null when out of range.
  CATBaseUnknown* operator[](int pos) const {
    return pos >= 1 && pos <= m_objects.Size() ? m_objects[pos].get() : nullptr;
  }
  /// The last object, without an added reference; null for an empty path.
  CATBaseUnknown* FindLastElement() const { return (*this)[GetSize()]; }
  void AddChildElement(CATBaseUnknown* object) { m_objects.Append(CATBaseUnknown_var(object)); }

private:
  CATListValCATBaseUnknown_var m_objects;
};
using CATPathElement_var = CATVar<CATPathElement>;
