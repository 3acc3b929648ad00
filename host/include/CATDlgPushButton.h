#pragma once

#include "CATDialog.h"

/// A button that does something when pressed.
class ExportedByELMHost CATDlgPushButton : public CATDialog {
  CATDeclareInterface(CATDlgPushButton)
public:
  CATDlgPushButton(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgPushButton() override;

  /// Sent when the button is pressed.
  CATNotification* GetPushBActivateNotification() const { return Notification("PushBActivate"); }
  /// Presses the button as a person would: the activate notification goes out.
  void Push();
  const char* GetWidgetClass() const override { return "CATDlgPushButton"; }
};
