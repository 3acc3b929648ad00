#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATBaseUnknown_var.h"

/// Keeps the objects opened through a CATAdpOpener loaded while the bag
/// holds them.
class ExportedByELMHost CATOmbLifeCycleRootsBag {
public:
  CATOmbLifeCycleRootsBag() = default;
  CATOmbLifeCycleRootsBag(const CATOmbLifeCycleRootsBag&) = delete;
  CATOmbLifeCycleRootsBag& operator=(const CATOmbLifeCycleRootsBag&) = delete;

  void AddRoot(CATBaseUnknown* root);
  HRESULT RemoveRoot(CATBaseUnknown* root);
  void RemoveAll() { m_roots.RemoveAll(); }
  int Size() const { return m_roots.Size(); }

private:
  CATListValCATBaseUnknown_var m_roots;
};
