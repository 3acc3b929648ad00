#pragma once

#include <pugixml.hpp>

#include <cstddef>

namespace elmhost::xml {

/// Whitespace-only text between elements is kept only where it counts: as
/// an element's first child, where it is the element's text, and as an
/// element's only child. The rest (the indentation of an indented answer)
/// would cost a node of its own per line, several times the memory of the
/// text it stands for.
///
/// pugixml keeps the only children itself (parse_ws_pcdata_single); the
/// first children it drops with the rest are put back from the text it was
/// parsed from in place.

/// Whether the text has whitespace right after a tag, before the next
/// markup: without it (a compact answer) nothing was dropped and nothing
/// needs putting back. Asked before the text is parsed in place.
bool HasWhitespaceAfterTags(const char* text, std::size_t size);

/// Gives every element whose first child came after whitespace-only text
/// that text back as its first child, with line ends as the parser writes
/// them. [begin, end) is the text the document was parsed from in place.
void RestoreLeadingWhitespace(pugi::xml_document& doc, const char* begin, const char* end);

}  // namespace elmhost::xml
