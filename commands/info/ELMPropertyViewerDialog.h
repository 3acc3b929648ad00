#pragma once

#include "CATDlgDialog.h"
#include "CATUnicodeString.h"

class CATDlgEditor;

/// A read-only text window for the attribute listing of a PLM component.
/// It lives on its own once shown and ends itself when closed.
class ELMPropertyViewerDialog : public CATDlgDialog {
public:
  ELMPropertyViewerDialog(CATDialog* parent, const CATString& name);
  ~ELMPropertyViewerDialog() override;

  const char* GetResourceFilename(int level = 0) override;
  void Build();
  /// Ignored before Build has made the editor.
  void SetText(const CATUnicodeString& text);

  /// Window close, CANCEL, CLOSE and OK: the window hides and ends itself.
  void CloseBtnPushed(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);

private:
  CATDlgEditor* m_pEditor = nullptr;
};
