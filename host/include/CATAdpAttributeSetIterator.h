#pragma once

#include "CATAdpAttributeSet.h"
#include "CATIType.h"

#include <memory>

struct CATAdpAttributeSetList;

/// Walks the attribute sets of a query result, first to last.
class ExportedByELMHost CATAdpAttributeSetIterator {
public:
  CATAdpAttributeSetIterator() = default;
  explicit CATAdpAttributeSetIterator(std::shared_ptr<const CATAdpAttributeSetList> sets) : m_sets(std::move(sets)) {}

  /// Gives the next set and its type and answers S_OK; after the last set
  /// it answers S_FALSE with a null type and an empty set.
  HRESULT NextAttributeSet(CATIType_var& type, CATAdpAttributeSet& set);

private:
  std::shared_ptr<const CATAdpAttributeSetList> m_sets;
  std::size_t m_next = 0;
};
