#include "XmlWhitespace.h"

#include "XmlScan.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace elmhost::xml {
namespace {

bool Inside(const char* p, const char* begin, const char* end) { return p && p >= begin && p < end; }

/// Where the markup of a node starts in the text: its '<'; null when the
/// node does not point into the text (an empty value may be a constant).
const char* MarkupStart(const pugi::xml_node& node, const char* begin, const char* end) {
  const char* p = nullptr;
  std::string_view marker = "<";
  switch (node.type()) {
    case pugi::node_element:
      p = node.name() - 1;
      break;
    case pugi::node_pi:
      p = node.name() - 2, marker = "<?";
      break;
    case pugi::node_comment:
      p = node.value() - 4, marker = "<!--";
      break;
    case pugi::node_cdata:
      p = node.value() - 9, marker = "<![CDATA[";
      break;
    default:
      return nullptr;
  }
  return Inside(p, begin, end) && StartsWith(p, end, marker) ? p : nullptr;
}

/// The whitespace with line ends as the parser writes them in text: CR LF
/// and a lone CR become LF.
std::string NormalisedLineEnds(const char* from, const char* to) {
  std::string text;
  text.reserve(static_cast<std::size_t>(to - from));
  for (const char* p = from; p < to; ++p) {
    if (*p != '\r') {
      text += *p;
      continue;
    }
    text += '\n';
    if (p + 1 < to && p[1] == '\n') ++p;
  }
  return text;
}

}  // namespace

bool HasWhitespaceAfterTags(const char* text, std::size_t size) {
  const char* end = text + size;
  for (const char* p = text; p < end;) {
    const char* gt = static_cast<const char*>(std::memchr(p, '>', static_cast<std::size_t>(end - p)));
    if (!gt || gt + 1 >= end) return false;
    if (IsSpace(gt[1])) return true;
    p = gt + 1;
  }
  return false;
}

void RestoreLeadingWhitespace(pugi::xml_document& doc, const char* begin, const char* end) {
  // Every element, in document order, without recursion: answers nest as
  // deep as they like.
  const pugi::xml_node root = doc.document_element();
  pugi::xml_node n = root;
  while (n) {
    pugi::xml_node first = n.first_child();
    if (first && n.type() == pugi::node_element && first.type() != pugi::node_pcdata) {
      // The start tag ends right before the whitespace: its '>' or the
      // terminator the parser wrote over it.
      const char* at = MarkupStart(first, begin, end);
      const char* from = at;
      while (from && from > begin && IsSpace(from[-1])) --from;
      if (from && from != at && from > begin && (from[-1] == '>' || from[-1] == '\0')) {
        pugi::xml_node text = n.prepend_child(pugi::node_pcdata);
        if (!text || !text.set_value(NormalisedLineEnds(from, at).c_str())) throw std::bad_alloc();
      }
    }
    if (first) {
      n = first;
      continue;
    }
    while (n != root && !n.next_sibling()) n = n.parent();
    if (n == root) break;
    n = n.next_sibling();
  }
}

}  // namespace elmhost::xml
