#pragma once

#include "CATDlgWindow.h"

/// A dialog box. Hidden until SetVisibility(CATDlgShow). Its style names the
/// standard buttons it shows (CATDlgWndBtnOK, ...); pressing one sends the
/// matching notification (GetDiaOKNotification, ...) to the callbacks
/// registered for it. While it lives, the host's driver finds it by name.
class ExportedByELMHost CATDlgDialog : public CATDlgWindow {
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

  const CATUnicodeString& GetOKTitle() const { return m_okTitle; }
  const CATUnicodeString& GetCANCELTitle() const { return m_cancelTitle; }
  const CATUnicodeString& GetPREVIEWTitle() const { return m_previewTitle; }
  const CATUnicodeString& GetAPPLYTitle() const { return m_applyTitle; }
  const CATUnicodeString& GetFINISHTitle() const { return m_finishTitle; }
  const CATUnicodeString& GetAcceleratorString() const { return m_accelerator; }

  /// The standard button (CATDlgWndOK, CATDlgWndCLOSE, ...) that answers the
  /// Return key; 0 for none.
  void SetDefaultButton(CATULong button) { m_defaultButton = button; }
  CATULong GetDefaultButton() const { return m_defaultButton; }
  /// Sensitivity of each standard button (CATDlgEnable or CATDlgDisable).
  void SetOKSensitivity(CATULong state) { SetButtonSensitivity(CATDlgWndOK, state); }
  void SetCANCELSensitivity(CATULong state) { SetButtonSensitivity(CATDlgWndCANCEL, state); }
  void SetAPPLYSensitivity(CATULong state) { SetButtonSensitivity(CATDlgWndAPPLY, state); }
  void SetCLOSESensitivity(CATULong state) { SetButtonSensitivity(CATDlgWndCLOSE, state); }
  void SetPREVIEWSensitivity(CATULong state) { SetButtonSensitivity(CATDlgWndPREVIEW, state); }
  void SetHELPSensitivity(CATULong state) { SetButtonSensitivity(CATDlgWndHELP, state); }
  void SetButtonSensitivity(CATULong button, CATULong state);
  CATULong GetButtonSensitivity(CATULong button) const;
  /// The standard buttons the style shows, in the order they stand
  /// (CATDlgWndOK, CATDlgWndAPPLY, CATDlgWndPREVIEW, CATDlgWndCANCEL,
  /// CATDlgWndCLOSE, CATDlgWndHELP).
  std::vector<CATULong> GetStandardButtons() const;

  CATNotification* GetDiaOKNotification() const { return Notification("DiaOK"); }
  CATNotification* GetDiaCANCELNotification() const { return Notification("DiaCANCEL"); }
  CATNotification* GetDiaCLOSENotification() const { return Notification("DiaCLOSE"); }
  CATNotification* GetDiaAPPLYNotification() const { return Notification("DiaAPPLY"); }
  CATNotification* GetDiaPREVIEWNotification() const { return Notification("DiaPREVIEW"); }
  CATNotification* GetDiaHELPNotification() const { return Notification("DiaHELP"); }

  /// The resource file that gives the dialog's widgets their texts and
  /// pictures at this level of the dialog's class chain: level 0 is the
  /// dialog's own file (by default the name of its class); a derived dialog
  /// answers its own file at level 0 and defers to its base with level - 1
  /// above. Null past the end of the chain.
  virtual const char* GetResourceFilename(int level = 0);

  /// Applies the texts and icons that a dialog takes from the catalogs named
  /// catalog, straight from the host catalogs: the message keys "Title",
  /// "CancelBtnTitle", "OKBtnTitle", "PreviewBtnTitle", "ApplyBtnTitle",
  /// "FinishBtnTitle", "Help", "ShortHelp", "LongHelp", "Accelerator" (each
  /// only when the catalog gives a text), then the resources "Icon",
  /// "IconSel" and "IconFocus" together.
  void ApplyStandardTexts(const CATString& catalog);

  /// Host bookkeeping: dialogs are numbered in the order they are made, so
  /// that a presenter tells a new dialog from an old one at the same address.
  unsigned long GetSerial() const { return m_serial; }
  const char* GetWidgetClass() const override { return "CATDlgDialog"; }

private:
  CATUnicodeString m_okTitle;
  CATUnicodeString m_cancelTitle;
  CATUnicodeString m_previewTitle;
  CATUnicodeString m_applyTitle;
  CATUnicodeString m_finishTitle;
  CATUnicodeString m_accelerator;
  CATULong m_defaultButton = 0;
  std::vector<std::pair<CATULong, CATULong>> m_buttonSensitivity;
  CATString m_className;
  unsigned long m_serial;
};
