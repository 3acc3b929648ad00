#include "CATDlgRadioButton.h"

CATImplementInterface(CATDlgRadioButton)

CATDlgRadioButton::CATDlgRadioButton(CATDialog* parent, const CATString& name, CATDlgStyle style)
    : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgRadioButton::~CATDlgRadioButton() = default;

void CATDlgRadioButton::SetState(CATULong state, int notify) {
  m_state = state == CATDlgCheck ? CATDlgCheck : CATDlgUncheck;
  // The others of the group are unchecked quietly: their callbacks react to
  // becoming the choice, and the choice is this button.
  if (m_state == CATDlgCheck)
    if (CATDialog* parent = GetParentDialog())
      for (CATDialog* sibling : parent->GetChildWidgets())
        if (auto* radio = dynamic_cast<CATDlgRadioButton*>(sibling); radio && radio != this)
          radio->m_state = CATDlgUncheck;
  if (notify) Raise(GetRadBModifyNotification());
}
