#pragma once

#include "CATDialog.h"

/// A dialog window. Hidden until SetVisibility(CATDlgShow); while it lives,
/// the host's driver finds it by name (elmhost::FindDialog).
class ExportedByELMHost CATDlgDialog : public CATDialog {
  CATDeclareInterface(CATDlgDialog)
public:
  CATDlgDialog(CATCommand* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgDialog() override;

  void SetOKTitle(const CATUnicodeString& title) { m_okTitle = title; }
  void SetCANCELTitle(const CATUnicodeString& title) { m_cancelTitle = title; }
  void SetPREVIEWTitle(const CATUnicodeString& title) { m_previewTitle = title; }
  void SetAPPLYTitle(const CATUnicodeString& title) { m_applyTitle = title; }
  void SetFINISHTitle(const CATUnicodeString& title) { m_finishTitle = title; }
  void SetAcceleratorString(const CATUnicodeString& accelerator) { m_accelerator = accelerator; }
  void SetIconName(const CATString& normal, const CATString& selected = "", const CATString& focused = "",
                   const CATString& pressed = "", int type = 0);

  const CATUnicodeString& GetOKTitle() const { return m_okTitle; }
  const CATUnicodeString& GetCANCELTitle() const { return m_cancelTitle; }
  const CATUnicodeString& GetPREVIEWTitle() const { return m_previewTitle; }
  const CATUnicodeString& GetAPPLYTitle() const { return m_applyTitle; }
  const CATUnicodeString& GetFINISHTitle() const { return m_finishTitle; }
  const CATUnicodeString& GetAcceleratorString() const { return m_accelerator; }
  /// The names given to SetIconName: normal, selected, focused, pressed.
  const CATString& GetIconName(int which = 0) const;
  int GetIconType() const { return m_iconType; }

  /// Applies the texts and icons that a dialog takes from the catalogs named
  /// catalog, straight from the host catalogs: the message keys "Title",
  /// "CancelBtnTitle", "OKBtnTitle", "PreviewBtnTitle", "ApplyBtnTitle",
  /// "FinishBtnTitle", "Help", "ShortHelp", "LongHelp", "Accelerator" (each
  /// only when the catalog gives a text), then the resources "Icon",
  /// "IconSel" and "IconFocus" together.
  void ApplyStandardTexts(const CATString& catalog);

private:
  CATUnicodeString m_okTitle;
  CATUnicodeString m_cancelTitle;
  CATUnicodeString m_previewTitle;
  CATUnicodeString m_applyTitle;
  CATUnicodeString m_finishTitle;
  CATUnicodeString m_accelerator;
  CATString m_icons[4];
  int m_iconType = 0;
};
