#include "CATDlgCheckButton.h"

CATImplementInterface(CATDlgCheckButton)

CATDlgCheckButton::CATDlgCheckButton(CATDialog* parent, const CATString& name, CATDlgStyle style)
    : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgCheckButton::~CATDlgCheckButton() = default;

void CATDlgCheckButton::SetState(CATULong state, int notify) {
  m_state = state == CATDlgCheck ? CATDlgCheck : CATDlgUncheck;
  if (notify) Raise(GetChkBModifyNotification());
}
