#pragma once

#include "CATDialog.h"

#include <vector>

/// A list of lines in columns, some of which may be selected. Lines and
/// columns are numbered from 0.
class ExportedByELMHost CATDlgMultiList : public CATDialog {
  CATDeclareInterface(CATDlgMultiList)
public:
  CATDlgMultiList(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgMultiList() override;

  /// Sets count column titles; the list then has count columns.
  void SetColumnTitles(int count, const CATUnicodeString* titles);
  int GetColumnCount() const { return static_cast<int>(m_titles.size()); }
  const CATUnicodeString& GetColumnTitle(int column) const;
  /// CATDlgShow or CATDlgHide for one column.
  void SetColumnVisibility(int column, CATULong state);
  CATULong GetColumnVisibility(int column) const;
  /// Sets the cell of column in line; line -1 appends a new line (whose
  /// other cells are empty). A column or line outside the list is ignored.
  void SetColumnItem(int column, const CATUnicodeString& text, int line = -1, CATULong mode = CATDlgDataAdd);
  /// Reads a cell into text; text is left as it was when there is no such cell.
  void GetColumnItem(int column, CATUnicodeString& text, int line) const;
  int GetLineCount() const { return static_cast<int>(m_lines.size()); }
  /// Removes every line (and the selection).
  void ClearLine();

  int GetSelectCount() const { return static_cast<int>(m_selected.size()); }
  /// Writes up to size selected line numbers, in ascending order, into
  /// lines; gives how many lines are selected.
  int GetSelect(int* lines, int size) const;
  /// Selects exactly these lines (count 0: none); with notify the selection
  /// notification goes out as if a person had selected them. Lines outside
  /// the list are ignored.
  void SetSelect(const int* lines, int count, int notify = 1);
  void ClearSelect() { m_selected.clear(); }
  void SetVisibleTextWidth(int characters) { m_visibleWidth = characters; }
  void SetVisibleLineCount(int lines) { m_visibleLines = lines; }
  int GetVisibleTextWidth() const { return m_visibleWidth; }
  int GetVisibleLineCount() const { return m_visibleLines; }
  CATNotification* GetListSelectNotification() const { return Notification("ListSelect"); }
  const char* GetWidgetClass() const override { return "CATDlgMultiList"; }

private:
  std::vector<CATUnicodeString> m_titles;
  std::vector<CATULong> m_columnVisibility;
  std::vector<std::vector<CATUnicodeString>> m_lines;
  std::vector<int> m_selected;
  int m_visibleWidth = 0;
  int m_visibleLines = 0;
};
