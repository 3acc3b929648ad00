#pragma once

#include "CATDialog.h"

#include <vector>

/// A drop-down list of lines, one of which may be selected. Lines are
/// numbered from 0.
class ExportedByELMHost CATDlgCombo : public CATDialog {
  CATDeclareInterface(CATDlgCombo)
public:
  CATDlgCombo(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgCombo() override;

  /// Sets the line at position to text; position -1 (or one past the last
  /// line) appends a line. mode: CATDlgDataAdd or CATDlgDataModify.
  void SetLine(const CATUnicodeString& text, int position = -1, CATULong mode = CATDlgDataAdd);
  /// Reads the line at position into text; text is left as it was when
  /// there is no such line.
  void GetLine(CATUnicodeString& text, int position) const;
  int GetLineCount() const { return static_cast<int>(m_lines.size()); }
  void ClearLine();
  /// The selected line, -1 when none.
  int GetSelect() const { return m_selected; }
  /// Selects the line at position (-1: none); with notify the selection
  /// notification goes out as if a person had picked it. A position outside
  /// the lines is ignored.
  void SetSelect(int position, int notify = 1);
  void SetVisibleTextHeight(int lines) { m_visibleHeight = lines; }
  void SetVisibleTextWidth(int characters) { m_visibleWidth = characters; }
  int GetVisibleTextHeight() const { return m_visibleHeight; }
  int GetVisibleTextWidth() const { return m_visibleWidth; }
  CATNotification* GetComboSelectNotification() const { return Notification("ComboSelect"); }
  const char* GetWidgetClass() const override { return "CATDlgCombo"; }

private:
  std::vector<CATUnicodeString> m_lines;
  int m_selected = -1;
  int m_visibleHeight = 0;
  int m_visibleWidth = 0;
};
