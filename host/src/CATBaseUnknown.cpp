#include "CATBaseUnknown.h"

CATImplementInterface(CATBaseUnknown)

CATBaseUnknown::~CATBaseUnknown() = default;

ULONG CATBaseUnknown::AddRef() { return ++m_cRef; }

ULONG CATBaseUnknown::Release() {
  ULONG left = --m_cRef;
  if (left == 0) OnLastRelease();
  return left;
}

void CATBaseUnknown::OnLastRelease() { delete this; }

HRESULT CATBaseUnknown::QueryInterface(const CATIID& iid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = iid.cast ? iid.cast(this) : nullptr;
  if (!*ppv) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}
