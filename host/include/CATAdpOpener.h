#pragma once

#include "CATBaseUnknown.h"

class CATIAdpPLMIdentificator;
class CATOmbLifeCycleRootsBag;

/// Opens PLM objects from their identity into a roots bag.
class ExportedByELMHost CATAdpOpener {
public:
  explicit CATAdpOpener(CATOmbLifeCycleRootsBag& bag) : m_bag(bag) {}
  CATAdpOpener(const CATAdpOpener&) = delete;
  CATAdpOpener& operator=(const CATAdpOpener&) = delete;

  /// Loads the object completely, keeps it in the bag and gives its
  /// interface iid (with a reference) in *object.
  HRESULT CompleteAndOpen(CATIAdpPLMIdentificator* identificator, const CATIID& iid, void** object);

private:
  CATOmbLifeCycleRootsBag& m_bag;
};
