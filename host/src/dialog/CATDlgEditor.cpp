#include "CATDlgEditor.h"

#include "IntegerText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

CATImplementInterface(CATDlgEditor)

namespace elmhost {

bool ReadIntegerText(const std::string& text, int& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(begin, &end, 10);
  if (end == begin || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace elmhost

CATDlgEditor::CATDlgEditor(CATDialog* parent, const CATString& name, CATDlgStyle style)
    : CATDialog(parent, name, style) {
  ApplyResources();
}

CATDlgEditor::~CATDlgEditor() = default;

void CATDlgEditor::SetText(const CATUnicodeString& text) {
  m_text = text;
  const std::string& all = text.Utf8();
  m_lineCount = all.empty() ? 0 : 1;
  for (char c : all) m_lineCount += c == '\n';
}

void CATDlgEditor::SetIntegerValue(int value) {
  m_integer = value;
  CATUnicodeString text;
  text.BuildFromNum(value);
  SetText(text);
}

void CATDlgEditor::SetLine(const CATUnicodeString& text, int position, CATULong) {
  if (position < 0 || position >= GetLineCount()) {
    // Appended in place: a report of many thousand lines is filled line by
    // line. The first line of an empty editor needs no separator.
    if (m_lineCount > 0) m_text.Append("\n");
    m_text.Append(text);
    ++m_lineCount;
    return;
  }
  std::string all = m_text.Utf8();
  std::size_t begin = 0;
  for (int i = 0; i < position; ++i) begin = all.find('\n', begin) + 1;
  std::size_t end = all.find('\n', begin);
  all.replace(begin, end == std::string::npos ? std::string::npos : end - begin, text.Utf8());
  m_text = CATUnicodeString(all.c_str());
}

int CATDlgEditor::GetLineCount() const { return m_lineCount; }

void CATDlgEditor::SetColor(int red, int green, int blue) {
  auto clamp = [](int c) { return c < 0 ? 0 : c > 255 ? 255 : c; };
  m_color = (static_cast<long>(clamp(red)) << 16) | (clamp(green) << 8) | clamp(blue);
}

bool CATDlgEditor::Type(const CATUnicodeString& text) {
  if (IsInteger()) {
    int value = 0;
    if (!elmhost::ReadIntegerText(text.Utf8(), value)) return false;
    m_integer = value;
  }
  SetText(text);
  Raise(GetEditModifyNotification());
  return true;
}
