#pragma once

#include "ELMHostExport.h"

#include <string>
#include <string_view>

class CATString;
namespace elmhost {
struct UnicodeText;
}

/// Unicode text. Held as UTF-8, so conversions to and from the wire and the
/// XML parser cost no transcoding.
class ExportedByELMHost CATUnicodeString {
public:
  enum CATSearchOrientation { CATSearchModeForward = 0, CATSearchModeBackward = 1 };

  CATUnicodeString() = default;
  /// From UTF-8 text; a null pointer gives the empty string. Invalid UTF-8
  /// sequences become U+FFFD.
  CATUnicodeString(const char* utf8);
  CATUnicodeString(const char* utf8, std::size_t bytes);
  CATUnicodeString(const CATString& s);
  CATUnicodeString(const CATUnicodeString&) = default;
  CATUnicodeString(CATUnicodeString&&) noexcept = default;
  CATUnicodeString& operator=(const CATUnicodeString&) = default;
  CATUnicodeString& operator=(CATUnicodeString&&) noexcept = default;
  CATUnicodeString& operator=(const char* utf8);
  ~CATUnicodeString() = default;

  /// Replaces the text by the decoded UTF-8 bytes; invalid sequences become U+FFFD.
  void BuildFromUTF8(const char* bytes, std::size_t count);
  /// Takes a UTF-8 buffer without copying when it is valid.
  static CATUnicodeString FromUTF8(std::string&& bytes);

  /// Replaces the text by count wide characters (code points); surrogates
  /// and values beyond U+10FFFF become U+FFFD.
  void BuildFromWChar(const wchar_t* text, std::size_t count);
  void BuildFromWChar(const wchar_t* text);
  /// Writes the text as wide characters, at most capacity - 1 of them, and a
  /// terminating zero; returns the number written without the zero.
  int ConvertToWChar(wchar_t* out, int capacity) const;

  /// The text as UTF-8, valid while the string lives and is not changed.
  const char* ConvertToChar() const { return m_s.c_str(); }
  /// Length in Unicode characters (code points).
  int GetLengthInChar() const;
  int GetLengthInByte() const { return static_cast<int>(m_s.size()); }
  bool IsNull() const { return m_s.empty(); }

  /// Characters [start, start + count), clamped to the text.
  CATUnicodeString SubString(int start, int count) const;
  /// Character position of the first (or last) occurrence of s at or after
  /// (before) start, or -1.
  int SearchSubString(const CATUnicodeString& s, int start = 0,
                      CATSearchOrientation orientation = CATSearchModeForward) const;
  /// Replaces count characters from start with s.
  void ReplaceSubString(int start, int count, const CATUnicodeString& s);
  /// Replaces every occurrence of what; returns the number of replacements.
  int ReplaceAll(const CATUnicodeString& what, const CATUnicodeString& with);
  void Remove(int start, int count) { ReplaceSubString(start, count, CATUnicodeString()); }
  void Resize(int count, char fill = ' ');
  void ToLower();
  void ToUpper();
  /// Removes leading and trailing blanks.
  CATUnicodeString Strip() const;

  /// 0: different; 1: identical; 2: equal when letter case is ignored.
  int Compare(const CATUnicodeString& s) const;

  CATUnicodeString& Append(const CATUnicodeString& s);
  CATUnicodeString& Append(const char* utf8);
  CATUnicodeString& operator+=(const CATUnicodeString& s) { return Append(s); }
  CATUnicodeString& operator+=(const char* s) { return Append(s); }

  /// Formats a number with a printf format ("%d" by default); returns the
  /// number of characters written.
  int BuildFromNum(int value, const char* format = "%d");
  int BuildFromNum(unsigned int value, const char* format = "%u");
  int BuildFromNum(long long value, const char* format = "%lld");
  int BuildFromNum(double value, const char* format = "%g");
  /// Reads a number with a sscanf format; returns the number of items read (0 or 1).
  int ConvertToNum(int* value, const char* format = "%d") const;
  int ConvertToNum(double* value, const char* format = "%lf") const;

  const std::string& Utf8() const { return m_s; }
  std::string&& TakeUtf8() && { return std::move(m_s); }

  friend bool operator==(const CATUnicodeString& a, const CATUnicodeString& b) { return a.m_s == b.m_s; }
  friend bool operator==(const CATUnicodeString& a, const char* b) { return a.m_s == (b ? b : ""); }
  friend bool operator<(const CATUnicodeString& a, const CATUnicodeString& b) { return a.m_s < b.m_s; }

private:
  friend struct elmhost::UnicodeText;
  std::string m_s;
};

ExportedByELMHost CATUnicodeString operator+(const CATUnicodeString& a, const CATUnicodeString& b);
ExportedByELMHost CATUnicodeString operator+(const CATUnicodeString& a, const char* b);
ExportedByELMHost CATUnicodeString operator+(const char* a, const CATUnicodeString& b);
