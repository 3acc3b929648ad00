#pragma once

#include "CATCommand.h"
#include "CATDlgGridConstraints.h"
#include "CATDlgInclude.h"
#include "CATUnicodeString.h"

#include <set>

class CATDlgDialog;

/// A headless widget: a command that holds the state a user would see.
/// Widgets form a tree through their parents; a widget owns its child
/// widgets and releases them when it is destroyed. Nothing here draws: the
/// host's presenters read this state and act through the host's driver.
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
  /// Names of the pictures shown for the widget: normal, selected, focused, pressed.
  void SetIconName(const CATString& normal, const CATString& selected = "", const CATString& focused = "",
                   const CATString& pressed = "", int type = 0);

  const CATUnicodeString& GetTitle() const { return m_title; }
  const CATUnicodeString& GetHelp() const { return m_help; }
  const CATUnicodeString& GetShortHelp() const { return m_shortHelp; }
  const CATUnicodeString& GetLongHelp() const { return m_longHelp; }
  CATULong GetVisibility() const { return m_visibility; }
  CATULong GetSensitivity() const { return m_sensitivity; }
  CATDlgStyle GetStyle() const { return m_style; }
  /// The names given to SetIconName: normal, selected, focused, pressed.
  const CATString& GetIconName(int which = 0) const;
  int GetIconType() const { return m_iconType; }

  /// Places the widget in its parent's grid.
  void SetGridConstraints(const CATDlgGridConstraints& constraints);
  void SetGridConstraints(int row, int column, int width, int height, CATDlgJustification justification);
  const CATDlgGridConstraints& GetGridConstraints() const { return m_grid; }
  /// False until SetGridConstraints was called.
  bool HasGridConstraints() const { return m_placed; }

  /// Rows and columns of this widget's own grid that take the growth of the
  /// container (for dialogs and frames).
  void SetGridRowResizable(int row, int resizable = 1);
  void SetGridColumnResizable(int column, int resizable = 1);
  bool IsGridRowResizable(int row) const { return m_resizableRows.count(row) > 0; }
  bool IsGridColumnResizable(int column) const { return m_resizableColumns.count(column) > 0; }
  const std::set<int>& GetResizableRows() const { return m_resizableRows; }
  const std::set<int>& GetResizableColumns() const { return m_resizableColumns; }

  /// The parent when it is a widget, else null.
  CATDialog* GetParentDialog() const;
  /// The child widgets, in creation order.
  std::vector<CATDialog*> GetChildWidgets() const;
  /// The dialog window this widget belongs to (itself for a dialog), or null.
  CATDlgDialog* GetDialogWindow() const;
  /// The platform's class of the widget, such as "CATDlgCheckButton".
  virtual const char* GetWidgetClass() const { return "CATDialog"; }

protected:
  /// Sends the notification through the host's dispatch: the callbacks
  /// registered for it run once the current one has returned.
  void Raise(CATNotification* notification);
  /// The shared notification object named name.
  static CATNotification* Notification(const char* name);
  /// Applies the texts and pictures that the dialog's resource files give
  /// this widget ("<widget name>.Title", ".Help", ".ShortHelp", ".LongHelp",
  /// ".Icon"), looked up along the dialog's resource file chain.
  void ApplyResources();

private:
  CATDlgStyle m_style;
  CATUnicodeString m_title;
  CATUnicodeString m_help;
  CATUnicodeString m_shortHelp;
  CATUnicodeString m_longHelp;
  CATULong m_visibility = CATDlgShow;
  CATULong m_sensitivity = CATDlgEnable;
  CATString m_icons[4];
  int m_iconType = 0;
  CATDlgGridConstraints m_grid;
  bool m_placed = false;
  std::set<int> m_resizableRows;
  std::set<int> m_resizableColumns;
};
