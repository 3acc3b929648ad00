#pragma once

#include "ELMHostExport.h"

#include <string>

/// 8-bit text, as the platform uses it for catalog, key and resource names.
class ExportedByELMHost CATString {
public:
  CATString() = default;
  CATString(const char* s) : m_s(s ? s : "") {}
  CATString(const char* s, std::size_t n) : m_s(s ? std::string(s, n) : std::string()) {}

  const char* CastToCharPtr() const { return m_s.c_str(); }
  int GetLengthInChar() const { return static_cast<int>(m_s.size()); }
  bool IsNull() const { return m_s.empty(); }
  CATString& Append(const CATString& s) {
    m_s += s.m_s;
    return *this;
  }
  CATString& operator+=(const CATString& s) { return Append(s); }
  /// strcmp-like: negative, 0 or positive.
  int Compare(const CATString& s) const { return m_s.compare(s.m_s); }
  /// Position of s at or after start, or -1.
  int Search(const CATString& s, int start = 0) const {
    auto p = m_s.find(s.m_s, static_cast<std::size_t>(start < 0 ? 0 : start));
    return p == std::string::npos ? -1 : static_cast<int>(p);
  }

  const std::string& Str() const { return m_s; }

  friend bool operator==(const CATString& a, const CATString& b) { return a.m_s == b.m_s; }
  friend bool operator==(const CATString& a, const char* b) { return a.m_s == (b ? b : ""); }
  friend bool operator<(const CATString& a, const CATString& b) { return a.m_s < b.m_s; }
  friend CATString operator+(const CATString& a, const CATString& b) {
    CATString r(a);
    r.Append(b);
    return r;
  }

private:
  std::string m_s;
};
