#include "XmlWellFormed.h"

#include "XmlScan.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace elmhost::xml {
namespace {

bool IsXmlChar(unsigned long c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// Whether the '&' at p starts a reference to a predefined entity, to an
/// entity that the document type declares, or to a character of XML by
/// number.
bool IsReference(const char* p, const char* end, const std::vector<std::string_view>& declared) {
  ++p;
  if (p < end && *p == '#') {
    ++p;
    const bool hex = p < end && *p == 'x';
    if (hex) ++p;
    unsigned long value = 0;
    int digits = 0;
    for (; p < end && *p != ';'; ++p, ++digits) {
      const int d = DigitValue(*p, hex);
      if (d < 0) return false;
      value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
      if (value > 0x10FFFF) return false;
    }
    return p < end && digits > 0 && IsXmlChar(value);
  }
  for (std::string_view name : {"lt;", "gt;", "amp;", "apos;", "quot;"})
    if (static_cast<std::size_t>(end - p) >= name.size() && std::memcmp(p, name.data(), name.size()) == 0) return true;
  if (declared.empty()) return false;
  // A name ends at its ';': what cannot be part of a name ends the look
  // early, so that a text full of bare '&' is not read to its end for each.
  const char* q = p;
  while (q < end && q - p < 256 && *q != ';' && !IsSpace(*q) && *q != '<' && *q != '&' && *q != '>' && *q != '"' &&
         *q != '\'')
    ++q;
  return q < end && *q == ';' &&
         std::find(declared.begin(), declared.end(), std::string_view(p, static_cast<std::size_t>(q - p))) !=
             declared.end();
}

/// The end of a document type declaration whose name starts at p, its
/// internal subset included: a ']' or '>' inside a quoted literal, a
/// comment or an instruction of the subset ends nothing.
const char* EndOfDoctype(const char* p, const char* end) {
  bool subset = false;
  while (p < end) {
    const char c = *p;
    if (c == '"' || c == '\'') {
      const char* close = static_cast<const char*>(std::memchr(p + 1, c, static_cast<std::size_t>(end - p - 1)));
      p = close ? close + 1 : end;
    } else if (subset && StartsWith(p, end, "<!--")) {
      p = FindPast(p + 4, end, "-->");
    } else if (subset && StartsWith(p, end, "<?")) {
      p = FindPast(p + 2, end, "?>");
    } else if (c == '[' || c == ']') {
      subset = c == '[';
      ++p;
    } else if (c == '>' && !subset) {
      return p + 1;
    } else {
      ++p;
    }
  }
  return end;
}

/// The general entities that the internal subset of the document type
/// declares; p is the start of the prolog. They are kept as written, not
/// expanded, but a reference to one is no error.
std::vector<std::string_view> DeclaredEntities(const char* p, const char* end) {
  std::vector<std::string_view> names;
  for (;;) {
    while (p < end && IsSpace(*p)) ++p;
    if (StartsWith(p, end, "<?"))
      p = FindPast(p + 2, end, "?>");
    else if (StartsWith(p, end, "<!--"))
      p = FindPast(p + 4, end, "-->");
    else
      break;
  }
  if (!StartsWith(p, end, "<!DOCTYPE")) return names;
  const char* close = EndOfDoctype(p + 9, end);
  for (const char* at = FindPast(p, close, "<!ENTITY"); at != close; at = FindPast(at, close, "<!ENTITY")) {
    while (at < close && IsSpace(*at)) ++at;
    if (at < close && *at == '%') continue;  // a parameter entity: not for the document's text
    const char* name = at;
    while (at < close && !IsSpace(*at) && *at != '>') ++at;
    names.emplace_back(name, static_cast<std::size_t>(at - name));
  }
  return names;
}

/// Finds, going forward only, the comments, CDATA sections, processing
/// instructions and document type declaration of a text: the places where
/// an '&' is no reference. Asked about ever later places, it reads the text
/// once in all.
class Sections {
public:
  Sections(const char* text, const char* end) : m_next(text), m_end(end), m_sectionStart(text), m_sectionEnd(text) {}

  /// The end of the section that holds p, or null when none does.
  const char* EndOfSectionHolding(const char* p) {
    while (m_sectionEnd <= p) {
      if (!NextSection()) return nullptr;
    }
    return p >= m_sectionStart ? m_sectionEnd : nullptr;
  }

private:
  bool NextSection() {
    for (;;) {
      const char* lt = m_next < m_end ? static_cast<const char*>(std::memchr(m_next, '<', m_end - m_next)) : nullptr;
      if (!lt) return false;
      m_next = lt + 1;
      const char* end = nullptr;
      if (StartsWith(lt, m_end, "<!--"))
        end = FindPast(lt + 4, m_end, "-->");
      else if (StartsWith(lt, m_end, "<![CDATA["))
        end = FindPast(lt + 9, m_end, "]]>");
      else if (StartsWith(lt, m_end, "<?"))
        end = FindPast(lt + 2, m_end, "?>");
      else if (StartsWith(lt, m_end, "<!DOCTYPE"))
        end = EndOfDoctype(lt + 9, m_end);
      if (!end) continue;
      m_sectionStart = lt;
      m_sectionEnd = m_next = end;
      return true;
    }
  }

  const char* m_next;
  const char* m_end;
  const char* m_sectionStart;
  const char* m_sectionEnd;
};

}  // namespace

bool TextIsWellFormed(const char* text, std::size_t size) {
  const char* end = text + size;
  const char* p = text;
  if (size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
  while (p < end && IsSpace(*p)) ++p;
  if (p == end || *p != '<') return false;
  const char* last = end;
  while (IsSpace(last[-1])) --last;
  if (last[-1] != '>') return false;

  const std::vector<std::string_view> declared = DeclaredEntities(p, end);
  Sections sections(p, end);
  while (p < end) {
    const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<std::size_t>(end - p)));
    if (!amp) break;
    if (IsReference(amp, end, declared)) {
      p = amp + 1;
      continue;
    }
    const char* sectionEnd = sections.EndOfSectionHolding(amp);
    if (!sectionEnd) return false;
    p = sectionEnd;
  }
  return true;
}

bool TreeIsWellFormed(const pugi::xml_document& doc) {
  int roots = 0;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element) ++roots;
  return roots == 1;
}

}  // namespace elmhost::xml
