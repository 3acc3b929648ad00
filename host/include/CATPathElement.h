#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATBaseUnknown_var.h"

/// A selection path: the objects from the top of a tree down to the selected
/// one. Positions run from 1 to GetSize(); the last one is what was picked.
///
/// A path may continue another one (its prefix) instead of copying it, so
/// that the paths of many nodes deep in one tree share their common top.
class ExportedByELMHost CATPathElement : public virtual CATBaseUnknown {
  CATDeclareInterface(CATPathElement)
public:
  CATPathElement() = default;
  /// A path that starts with the objects of prefix (null: none); objects
  /// added later follow them. Keeps a reference on prefix.
  explicit CATPathElement(CATPathElement* prefix);
  CATPathElement(const CATPathElement& other);
  CATPathElement& operator=(const CATPathElement&) = delete;
  ~CATPathElement() override;

  int GetSize() const { return m_prefixSize + m_objects.Size(); }
  /// The object at pos (1-based), without an added reference; null when out
  /// of range. Positions inside the prefix cost one step per path it continues.
  CATBaseUnknown* operator[](int pos) const;
  /// The last object, without an added reference; null for an empty path.
  CATBaseUnknown* FindLastElement() const;
  void AddChildElement(CATBaseUnknown* object) { m_objects.Append(CATBaseUnknown_var(object)); }

private:
  CATVar<CATPathElement> m_prefix;
  int m_prefixSize = 0;
  CATListValCATBaseUnknown_var m_objects;
};
using CATPathElement_var = CATVar<CATPathElement>;
