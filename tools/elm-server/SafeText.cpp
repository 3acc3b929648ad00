#include "SafeText.h"

#include <cstdint>

namespace elmserver {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

/// Decodes the UTF-8 character at text[at]: its code point and byte length,
/// or -1 and length 1 for a byte that starts no well-formed sequence
/// (overlong forms and surrogates included).
std::int32_t NextChar(std::string_view text, std::size_t at, std::size_t& length) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char b0 = byte(at);
  length = 1;
  if (b0 < 0x80) return b0;
  std::size_t n;
  std::int32_t cp;
  std::int32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return -1;
  }
  if (at + n > text.size()) return -1;
  for (std::size_t i = 1; i < n; ++i) {
    unsigned char b = byte(at + i);
    if ((b & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  length = n;
  return cp;
}

bool IsXmlChar(std::int32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         cp >= 0x10000;
}

bool IsControl(std::int32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

void AppendHexEscape(std::string& out, unsigned char b) {
  static const char digits[] = "0123456789ABCDEF";
  out += "\\x";
  out += digits[b >> 4];
  out += digits[b & 0xF];
}

}  // namespace

bool IsXmlSafe(std::string_view text) {
  for (std::size_t i = 0, n = 0; i < text.size(); i += n)
    if (!IsXmlChar(NextChar(text, i, n))) return false;
  return true;
}

std::string XmlSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0, n = 0; i < text.size(); i += n) {
    if (IsXmlChar(NextChar(text, i, n)))
      out.append(text.substr(i, n));
    else
      out.append(kReplacement);
  }
  return out;
}

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0, n = 0; i < text.size(); i += n) {
    std::int32_t cp = NextChar(text, i, n);
    if (cp == '\\') {
      out += "\\\\";
    } else if (cp == '\t') {
      out += "\\t";
    } else if (cp == '\n') {
      out += "\\n";
    } else if (cp == '\r') {
      out += "\\r";
    } else if (cp < 0 || IsControl(cp)) {
      for (std::size_t k = 0; k < n; ++k) AppendHexEscape(out, static_cast<unsigned char>(text[i + k]));
    } else {
      out.append(text.substr(i, n));
    }
  }
  return out;
}

bool IsPrintableUtf8(std::string_view text) {
  for (std::size_t i = 0, n = 0; i < text.size(); i += n) {
    std::int32_t cp = NextChar(text, i, n);
    if (cp < 0 || IsControl(cp) || !IsXmlChar(cp)) return false;
  }
  return true;
}

}  // namespace elmserver
