#pragma once

#include "CATCommand.h"
#include "CATDlgInclude.h"
#include "CATUnicodeString.h"

/// A headless widget: a command that holds the state a user would see.
/// Widgets form a tree through their parents; a dialog owns its widgets and
/// releases them when it is destroyed.
class ExportedByELMHost CATDialog : public CATCommand {
  CATDeclareInterface(CATDialog)
public:
  /// parent may be any command (message boxes hang under the application).
  CATDialog(CATCommand* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDialog() override;

  void SetTitle(const CATUnicodeString& title) { m_title = title; }
  void SetHelp(const CATUnicodeString& text) { m_help = text; }
  void SetShortHelp(const CATUnicodeString& text) { m_shortHelp = text; }
  void SetLongHelp(const CATUnicodeString& text) { m_longHelp = text; }
  /// CATDlgShow or CATDlgHide.
  void SetVisibility(CATULong state) { m_visibility = state; }
  /// CATDlgEnable or CATDlgDisable.
  void SetSensitivity(CATULong state) { m_sensitivity = state; }

  const CATUnicodeString& GetTitle() const { return m_title; }
  const CATUnicodeString& GetHelp() const { return m_help; }
  const CATUnicodeString& GetShortHelp() const { return m_shortHelp; }
  const CATUnicodeString& GetLongHelp() const { return m_longHelp; }
  CATULong GetVisibility() const { return m_visibility; }
  CATULong GetSensitivity() const { return m_sensitivity; }
  CATDlgStyle GetStyle() const { return m_style; }
  /// The parent when it is a widget, else null.
  CATDialog* GetParentDialog() const;

private:
  CATDlgStyle m_style;
  CATUnicodeString m_title;
  CATUnicodeString m_help;
  CATUnicodeString m_shortHelp;
  CATUnicodeString m_longHelp;
  CATULong m_visibility = CATDlgShow;
  CATULong m_sensitivity = CATDlgEnable;
};
