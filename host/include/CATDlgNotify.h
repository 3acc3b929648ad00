#pragma once

#include "CATDlgWindow.h"

/// A message box. DisplayBlocked hands it to the host's user-interface sink
/// and waits for the user's answer.
class ExportedByELMHost CATDlgNotify : public CATDlgWindow {
  CATDeclareInterface(CATDlgNotify)
public:
  /// style: a kind (CATDlgNfyWarning, ...) combined with its buttons (CATDlgNfyOK).
  CATDlgNotify(CATCommand* parent, const CATString& name, CATDlgStyle style);
  ~CATDlgNotify() override;

  /// Shows the box with text and title; returns the answer: 1 when the user
  /// acknowledged it with OK, anything else when not. Without a sink the box
  /// is acknowledged at once, so headless runs never hang.
  int DisplayBlocked(const CATUnicodeString& text, const CATUnicodeString& title);

  const CATUnicodeString& GetText() const { return m_text; }
  const char* GetWidgetClass() const override { return "CATDlgNotify"; }

private:
  CATUnicodeString m_text;
};
