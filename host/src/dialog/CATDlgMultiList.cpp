#include "CATDlgMultiList.h"

#include <algorithm>

CATImplementInterface(CATDlgMultiList)

CATDlgMultiList::CATDlgMultiList(CATDialog* parent, const CATString& name, CATDlgStyle style)
    : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgMultiList::~CATDlgMultiList() = default;

void CATDlgMultiList::SetColumnTitles(int count, const CATUnicodeString* titles) {
  m_titles.clear();
  for (int i = 0; titles && i < count; ++i) m_titles.push_back(titles[i]);
  m_columnVisibility.assign(m_titles.size(), CATDlgShow);
  for (auto& line : m_lines) line.resize(m_titles.size());
}

const CATUnicodeString& CATDlgMultiList::GetColumnTitle(int column) const {
  static const CATUnicodeString none;
  return column >= 0 && column < GetColumnCount() ? m_titles[static_cast<std::size_t>(column)] : none;
}

void CATDlgMultiList::SetColumnVisibility(int column, CATULong state) {
  if (column >= 0 && column < GetColumnCount()) m_columnVisibility[static_cast<std::size_t>(column)] = state;
}

CATULong CATDlgMultiList::GetColumnVisibility(int column) const {
  return column >= 0 && column < GetColumnCount() ? m_columnVisibility[static_cast<std::size_t>(column)] : CATDlgHide;
}

void CATDlgMultiList::SetColumnItem(int column, const CATUnicodeString& text, int line, CATULong) {
  if (column < 0 || column >= GetColumnCount()) return;
  if (line == -1) {
    m_lines.emplace_back(m_titles.size());
    line = GetLineCount() - 1;
  }
  if (line < 0 || line >= GetLineCount()) return;
  m_lines[static_cast<std::size_t>(line)][static_cast<std::size_t>(column)] = text;
}

void CATDlgMultiList::GetColumnItem(int column, CATUnicodeString& text, int line) const {
  if (column < 0 || column >= GetColumnCount() || line < 0 || line >= GetLineCount()) return;
  text = m_lines[static_cast<std::size_t>(line)][static_cast<std::size_t>(column)];
}

void CATDlgMultiList::ClearLine() {
  m_lines.clear();
  m_selected.clear();
}

int CATDlgMultiList::GetSelect(int* lines, int size) const {
  for (int i = 0; lines && i < size && i < GetSelectCount(); ++i) lines[i] = m_selected[static_cast<std::size_t>(i)];
  return GetSelectCount();
}

void CATDlgMultiList::SetSelect(const int* lines, int count, int notify) {
  m_selected.clear();
  for (int i = 0; lines && i < count; ++i)
    if (lines[i] >= 0 && lines[i] < GetLineCount()) m_selected.push_back(lines[i]);
  std::sort(m_selected.begin(), m_selected.end());
  m_selected.erase(std::unique(m_selected.begin(), m_selected.end()), m_selected.end());
  if (notify) Raise(GetListSelectNotification());
}
