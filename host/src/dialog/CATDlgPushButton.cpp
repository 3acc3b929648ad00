#include "CATDlgPushButton.h"

CATImplementInterface(CATDlgPushButton)

CATDlgPushButton::CATDlgPushButton(CATDialog* parent, const CATString& name, CATDlgStyle style)
    : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgPushButton::~CATDlgPushButton() = default;

void CATDlgPushButton::Push() { Raise(GetPushBActivateNotification()); }
