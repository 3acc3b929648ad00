#pragma once

#include "CATDlgWindow.h"

class CATFrmEditor;

/// A document window of the frame, showing what its editor holds. Dialogs
/// can take it as their parent.
class ExportedByELMHost CATFrmWindow : public CATDlgWindow {
  CATDeclareInterface(CATFrmWindow)
public:
  CATFrmWindow(const CATString& name, CATFrmEditor* editor);
  ~CATFrmWindow() override;

  CATFrmEditor* GetEditor() const { return m_editor; }
  const CATString& GetBaseName() const { return GetName(); }
  const char* GetWidgetClass() const override { return "CATFrmWindow"; }

private:
  CATFrmEditor* m_editor;
};
