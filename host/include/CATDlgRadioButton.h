#pragma once

#include "CATDialog.h"

/// One choice of a group: the radio buttons of one parent widget. Checking
/// one unchecks the others of its group, so at most one is checked.
class ExportedByELMHost CATDlgRadioButton : public CATDialog {
  CATDeclareInterface(CATDlgRadioButton)
public:
  CATDlgRadioButton(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgRadioButton() override;

  /// CATDlgCheck or CATDlgUncheck; with notify this button's modify
  /// notification goes out as if a person had clicked it. The buttons that
  /// checking unchecks send nothing.
  void SetState(CATULong state, int notify = 1);
  CATULong GetState() const { return m_state; }
  CATNotification* GetRadBModifyNotification() const { return Notification("RadBModify"); }
  const char* GetWidgetClass() const override { return "CATDlgRadioButton"; }

private:
  CATULong m_state = CATDlgUncheck;
};
