#pragma once

#include "CATDialog.h"

/// A top-level window: the application's main window, a document window, or
/// (through CATDlgDialog) a dialog box. A person can close it from its frame.
class ExportedByELMHost CATDlgWindow : public CATDialog {
  CATDeclareInterface(CATDlgWindow)
public:
  CATDlgWindow(CATCommand* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgWindow() override;

  /// Sent when a person closes the window from its frame.
  CATNotification* GetWindCloseNotification() const { return Notification("WindClose"); }
  /// Sent when the window is closed as a document of the application frame.
  CATNotification* GetMDICloseNotification() const { return Notification("MDIClose"); }
  const char* GetWidgetClass() const override { return "CATDlgWindow"; }
};
