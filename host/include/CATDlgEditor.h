#pragma once

#include "CATDialog.h"

/// A text field: one line, or several with CATDlgEdtMultiline; read-only
/// with CATDlgEdtReadOnly; holding an integer with CATDlgEdtInteger.
class ExportedByELMHost CATDlgEditor : public CATDialog {
  CATDeclareInterface(CATDlgEditor)
public:
  CATDlgEditor(CATDialog* parent, const CATString& name, CATDlgStyle style = 0);
  ~CATDlgEditor() override;

  void SetText(const CATUnicodeString& text);
  const CATUnicodeString& GetText() const { return m_text; }
  /// The integer of an integer editor, kept with its text.
  void SetIntegerValue(int value);
  int GetIntegerValue() const { return m_integer; }
  /// Appends text as a new line (position -1), or replaces the line at
  /// position; lines are separated by a line feed.
  void SetLine(const CATUnicodeString& text, int position = -1, CATULong mode = CATDlgDataAdd);
  int GetLineCount() const;
  void ClearLine() { SetText(CATUnicodeString()); }
  void SetVisibleTextWidth(int characters) { m_visibleWidth = characters; }
  void SetVisibleTextHeight(int lines) { m_visibleHeight = lines; }
  int GetVisibleTextWidth() const { return m_visibleWidth; }
  int GetVisibleTextHeight() const { return m_visibleHeight; }
  /// Background colour, as red, green and blue from 0 to 255.
  void SetColor(int red, int green, int blue);
  /// The background colour as 0xRRGGBB, -1 when none was set.
  long GetColor() const { return m_color; }
  bool IsReadOnly() const { return (GetStyle() & CATDlgEdtReadOnly) != 0; }
  bool IsInteger() const { return (GetStyle() & CATDlgEdtInteger) != 0; }
  bool IsMultiline() const { return (GetStyle() & CATDlgEdtMultiline) != 0; }

  /// Types text as a person would: an integer editor takes only an integer
  /// (false otherwise, nothing changes); the modify notification goes out.
  bool Type(const CATUnicodeString& text);
  CATNotification* GetEditModifyNotification() const { return Notification("EditModify"); }
  const char* GetWidgetClass() const override { return "CATDlgEditor"; }

private:
  CATUnicodeString m_text;
  int m_lineCount = 0;
  int m_integer = 0;
  int m_visibleWidth = 0;
  int m_visibleHeight = 0;
  long m_color = -1;
};
