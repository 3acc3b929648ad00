#include "CATDlgCombo.h"

CATImplementInterface(CATDlgCombo)

CATDlgCombo::CATDlgCombo(CATDialog* parent, const CATString& name, CATDlgStyle style) : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgCombo::~CATDlgCombo() = default;

void CATDlgCombo::SetLine(const CATUnicodeString& text, int position, CATULong) {
  if (position < 0 || position >= GetLineCount())
    m_lines.push_back(text);
  else
    m_lines[static_cast<std::size_t>(position)] = text;
}

void CATDlgCombo::GetLine(CATUnicodeString& text, int position) const {
  if (position >= 0 && position < GetLineCount()) text = m_lines[static_cast<std::size_t>(position)];
}

void CATDlgCombo::ClearLine() {
  m_lines.clear();
  m_selected = -1;
}

void CATDlgCombo::SetSelect(int position, int notify) {
  if (position < -1 || position >= GetLineCount()) return;
  m_selected = position;
  if (notify) Raise(GetComboSelectNotification());
}
