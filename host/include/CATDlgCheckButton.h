#pragma once

#include "CATDialog.h"

/// An option that is on (CATDlgCheck) or off (CATDlgUncheck).
class ExportedByELMHost CATDlgCheckButton : public CATDialog {
  CATDeclareInterface(CATDlgCheckButton)
public:
  CATDlgCheckButton(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgCheckButton() override;

  /// CATDlgCheck or CATDlgUncheck; with notify the modify notification goes
  /// out as if a person had clicked.
  void SetState(CATULong state, int notify = 1);
  CATULong GetState() const { return m_state; }
  CATNotification* GetChkBModifyNotification() const { return Notification("ChkBModify"); }
  const char* GetWidgetClass() const override { return "CATDlgCheckButton"; }

private:
  CATULong m_state = CATDlgUncheck;
};
