#pragma once

#include "CATBaseUnknown.h"
#include "CATPathElement.h"

#include <vector>

/// The current selection set of an editor: a list of selection paths read
/// with an iteration (InitElementList, then NextElement until null).
class ExportedByELMHost CATCSO : public virtual CATBaseUnknown {
  CATDeclareInterface(CATCSO)
public:
  CATCSO() = default;

  /// Restarts the iteration at the first path.
  void InitElementList() { m_next = 0; }
  /// The next path, without an added reference; null after the last one.
  CATPathElement* NextElement();
  int GetSize() const { return static_cast<int>(m_paths.size()); }
  /// Removes every path (the flag says whether views are to be refreshed;
  /// there is nothing to refresh here).
  void Empty(int refresh = 1);
  /// Adds path as the last element (the flag says whether views are to be
  /// refreshed, as for Empty).
  void AddElement(CATPathElement* path, int refresh = 1);

private:
  std::vector<CATPathElement_var> m_paths;
  std::size_t m_next = 0;
};
