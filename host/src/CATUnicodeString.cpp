#include "CATUnicodeString.h"

#include "CATString.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace {

constexpr const char kReplacement[] = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence at p (within n bytes), or 0 when invalid.
std::size_t validSequence(const unsigned char* p, std::size_t n) {
  unsigned char c = p[0];
  if (c < 0x80) return 1;
  std::size_t len;
  unsigned int cp;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (n < len) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
    return 0;
  return len;
}

// Position of the first byte that does not begin a valid sequence, or n.
std::size_t firstInvalid(const char* s, std::size_t n) {
  auto p = reinterpret_cast<const unsigned char*>(s);
  std::size_t i = 0;
  while (i < n) {
    // ASCII runs are the common case in XML answers: skip them eight at a time.
    while (i + 8 <= n) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      if (w & 0x8080808080808080ull) break;
      i += 8;
    }
    // Names and values are mostly shorter than a word: their ASCII tail
    // is passed over here rather than one sequence check at a time.
    while (i < n && p[i] < 0x80) ++i;
    if (i >= n) break;
    std::size_t len = validSequence(p + i, n - i);
    if (!len) return i;
    i += len;
  }
  return n;
}

// Whether the n bytes at s, at most sixteen, are all ASCII: a name or a
// value in a large answer, checked with two loads instead of a loop.
inline bool ShortAscii(const char* s, std::size_t n) {
  std::uint64_t bits = 0;
  if (n >= 8) {
    std::uint64_t a, b;
    std::memcpy(&a, s, 8);
    std::memcpy(&b, s + n - 8, 8);
    bits = a | b;
  } else if (n >= 4) {
    std::uint32_t a, b;
    std::memcpy(&a, s, 4);
    std::memcpy(&b, s + n - 4, 4);
    bits = a | b;
  } else {
    for (std::size_t i = 0; i < n; ++i) bits |= static_cast<unsigned char>(s[i]);
  }
  return (bits & 0x8080808080808080ull) == 0;
}

std::string decode(const char* s, std::size_t n) {
  std::string out;
  std::size_t bad = firstInvalid(s, n);
  if (bad == n) return std::string(s, n);
  out.reserve(n + 8);
  auto p = reinterpret_cast<const unsigned char*>(s);
  std::size_t i = 0;
  while (i < n) {
    std::size_t len = validSequence(p + i, n - i);
    if (len) {
      out.append(s + i, len);
      i += len;
    } else {
      out += kReplacement;
      ++i;
    }
  }
  return out;
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset of character index idx (clamped to the end).
std::size_t byteOffset(const std::string& s, int idx) {
  if (idx <= 0) return 0;
  std::size_t i = 0;
  int chars = 0;
  while (i < s.size()) {
    if (chars == idx) return i;
    ++i;
    while (i < s.size() && isContinuation(s[i])) ++i;
    ++chars;
  }
  return s.size();
}

int charIndex(const std::string& s, std::size_t byte) {
  int chars = 0;
  for (std::size_t i = 0; i < byte && i < s.size(); ++i)
    if (!isContinuation(s[i])) ++chars;
  return chars;
}

}  // namespace

CATUnicodeString::CATUnicodeString(const char* utf8) {
  if (utf8) BuildFromUTF8(utf8, std::strlen(utf8));
}

CATUnicodeString::CATUnicodeString(const char* utf8, std::size_t bytes) {
  if (utf8) BuildFromUTF8(utf8, bytes);
}

CATUnicodeString::CATUnicodeString(const CATString& s) : CATUnicodeString(s.CastToCharPtr()) {}

CATUnicodeString& CATUnicodeString::operator=(const char* utf8) {
  m_s.clear();
  if (utf8) BuildFromUTF8(utf8, std::strlen(utf8));
  return *this;
}

void CATUnicodeString::BuildFromUTF8(const char* bytes, std::size_t count) {
  if (!bytes)
    m_s.clear();
  else if ((count <= 16 && ShortAscii(bytes, count)) || firstInvalid(bytes, count) == count) {
    // Valid text, the usual case: into the room already held. Unless the
    // source lies inside this string's own text, the plain append does,
    // without the overlap handling of assign.
    const char* own = m_s.data();
    if (bytes >= own && bytes <= own + m_s.size()) {
      m_s.assign(bytes, count);
    } else {
      m_s.clear();
      m_s.append(bytes, count);
    }
  }
  else
    m_s = decode(bytes, count);
}

CATUnicodeString CATUnicodeString::FromUTF8(std::string&& bytes) {
  CATUnicodeString r;
  if (firstInvalid(bytes.data(), bytes.size()) == bytes.size())
    r.m_s = std::move(bytes);
  else
    r.m_s = decode(bytes.data(), bytes.size());
  return r;
}

void CATUnicodeString::BuildFromWChar(const wchar_t* text, std::size_t count) {
  m_s.clear();
  if (!text) return;
  m_s.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    auto c = static_cast<std::uint32_t>(text[i]);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      m_s += static_cast<char>(c);
    } else if (c < 0x800) {
      m_s += static_cast<char>(0xC0 | (c >> 6));
      m_s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      m_s += static_cast<char>(0xE0 | (c >> 12));
      m_s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      m_s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      m_s += static_cast<char>(0xF0 | (c >> 18));
      m_s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      m_s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      m_s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

void CATUnicodeString::BuildFromWChar(const wchar_t* text) { BuildFromWChar(text, text ? std::wcslen(text) : 0); }

int CATUnicodeString::ConvertToWChar(wchar_t* out, int capacity) const {
  if (!out || capacity <= 0) return 0;
  // The text is valid UTF-8 by construction, so every lead byte tells its length.
  int n = 0;
  std::size_t i = 0;
  while (i < m_s.size() && n + 1 < capacity) {
    auto c = static_cast<unsigned char>(m_s[i]);
    std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    std::uint32_t cp = len == 1 ? c : (c & (0x7Fu >> len));
    for (std::size_t k = 1; k < len && i + k < m_s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(m_s[i + k]) & 0x3Fu);
    out[n++] = static_cast<wchar_t>(cp);
    i += len;
  }
  out[n] = L'\0';
  return n;
}

int CATUnicodeString::GetLengthInChar() const { return charIndex(m_s, m_s.size()); }

CATUnicodeString CATUnicodeString::SubString(int start, int count) const {
  CATUnicodeString r;
  if (count <= 0 || start < 0) return r;
  std::size_t b = byteOffset(m_s, start);
  std::size_t e = byteOffset(m_s, start + count);
  r.m_s = m_s.substr(b, e - b);
  return r;
}

int CATUnicodeString::SearchSubString(const CATUnicodeString& s, int start, CATSearchOrientation orientation) const {
  if (orientation == CATSearchModeForward) {
    if (start < 0) start = 0;
    std::size_t b = byteOffset(m_s, start);
    if (b > m_s.size()) return -1;
    auto p = m_s.find(s.m_s, b);
    return p == std::string::npos ? -1 : charIndex(m_s, p);
  }
  std::size_t b = start < 0 ? std::string::npos : byteOffset(m_s, start);
  auto p = m_s.rfind(s.m_s, b);
  return p == std::string::npos ? -1 : charIndex(m_s, p);
}

void CATUnicodeString::ReplaceSubString(int start, int count, const CATUnicodeString& s) {
  if (start < 0) start = 0;
  if (count < 0) count = 0;
  std::size_t b = byteOffset(m_s, start);
  std::size_t e = byteOffset(m_s, start + count);
  m_s.replace(b, e - b, s.m_s);
}

int CATUnicodeString::ReplaceAll(const CATUnicodeString& what, const CATUnicodeString& with) {
  if (what.m_s.empty()) return 0;
  int n = 0;
  std::size_t pos = 0;
  while ((pos = m_s.find(what.m_s, pos)) != std::string::npos) {
    m_s.replace(pos, what.m_s.size(), with.m_s);
    pos += with.m_s.size();
    ++n;
  }
  return n;
}

void CATUnicodeString::Resize(int count, char fill) {
  if (count < 0) count = 0;
  int len = GetLengthInChar();
  if (count <= len)
    m_s.resize(byteOffset(m_s, count));
  else
    m_s.append(static_cast<std::size_t>(count - len), fill);
}

// Case mapping is ASCII only: the identifiers this host compares are ASCII.
void CATUnicodeString::ToLower() {
  for (char& c : m_s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

void CATUnicodeString::ToUpper() {
  for (char& c : m_s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

CATUnicodeString CATUnicodeString::Strip() const {
  std::size_t b = m_s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return CATUnicodeString();
  std::size_t e = m_s.find_last_not_of(" \t\r\n");
  CATUnicodeString r;
  r.m_s = m_s.substr(b, e - b + 1);
  return r;
}

int CATUnicodeString::Compare(const CATUnicodeString& s) const {
  if (m_s == s.m_s) return 1;
  if (m_s.size() != s.m_s.size()) return 0;
  CATUnicodeString a(*this), b(s);
  a.ToLower();
  b.ToLower();
  return a.m_s == b.m_s ? 2 : 0;
}

CATUnicodeString& CATUnicodeString::Append(const CATUnicodeString& s) {
  m_s += s.m_s;
  return *this;
}

CATUnicodeString& CATUnicodeString::Append(const char* utf8) { return Append(CATUnicodeString(utf8)); }

namespace {
template <class T>
int formatNum(std::string& out, const char* format, T value) {
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, format, value);
  if (n < 0) n = 0;
  if (n >= static_cast<int>(sizeof buf)) n = sizeof buf - 1;
  out.assign(buf, static_cast<std::size_t>(n));
  return n;
}
}  // namespace

int CATUnicodeString::BuildFromNum(int value, const char* format) { return formatNum(m_s, format, value); }
int CATUnicodeString::BuildFromNum(unsigned int value, const char* format) { return formatNum(m_s, format, value); }
int CATUnicodeString::BuildFromNum(long long value, const char* format) { return formatNum(m_s, format, value); }
int CATUnicodeString::BuildFromNum(double value, const char* format) { return formatNum(m_s, format, value); }

int CATUnicodeString::ConvertToNum(int* value, const char* format) const {
  if (!value) return 0;
  int v = 0;
  int n = std::sscanf(m_s.c_str(), format, &v);
  if (n == 1) *value = v;
  return n == 1 ? 1 : 0;
}

int CATUnicodeString::ConvertToNum(double* value, const char* format) const {
  if (!value) return 0;
  double v = 0;
  int n = std::sscanf(m_s.c_str(), format, &v);
  if (n == 1) *value = v;
  return n == 1 ? 1 : 0;
}

CATUnicodeString operator+(const CATUnicodeString& a, const CATUnicodeString& b) {
  CATUnicodeString r(a);
  r.Append(b);
  return r;
}

CATUnicodeString operator+(const CATUnicodeString& a, const char* b) { return a + CATUnicodeString(b); }
CATUnicodeString operator+(const char* a, const CATUnicodeString& b) { return CATUnicodeString(a) + b; }
