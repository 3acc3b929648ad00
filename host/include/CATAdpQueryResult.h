#pragma once

#include "CATAdpAttributeSetIterator.h"

/// What a query tells about one object: its attribute sets, the set of the
/// object's own type first.
class ExportedByELMHost CATAdpQueryResult {
public:
  CATAdpQueryResult();
  CATAdpAttributeSetIterator GetIterator() const { return CATAdpAttributeSetIterator(m_sets); }

  // The host fills the result; the plug-in only reads it.
  void Clear();
  void AddAttributeSet(const CATIType_var& type, const CATAdpAttributeSet& set);

private:
  std::shared_ptr<CATAdpAttributeSetList> m_sets;
};
