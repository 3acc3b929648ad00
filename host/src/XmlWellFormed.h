#pragma once

#include <pugixml.hpp>

#include <cstddef>

namespace elmhost::xml {

/// pugixml parses leniently: it takes an undeclared entity such as &nbsp;
/// literally, drops text outside the root element, and accepts several root
/// elements. An answer like that (a proxy's HTML error page, say) is not
/// XML and must fail to parse, as it would with a conforming parser. These
/// checks cover what pugixml lets through of that kind. Other leniences
/// remain (the README lists them); an attribute given twice, for one, is
/// still taken (the first counts): finding it would cost a walk of every
/// element of every answer through the library's calls.

/// On the text before it is parsed in place: no text before the first or
/// after the last markup, and every reference is to one of the five
/// predefined entities, to an entity the document type declares (kept as
/// written, never expanded) or to a character of XML. An '&' inside a
/// comment, a CDATA section, a processing instruction or the document type
/// declaration is no reference and is let be.
bool TextIsWellFormed(const char* text, std::size_t size);

/// On the parsed document: exactly one root element.
bool TreeIsWellFormed(const pugi::xml_document& doc);

}  // namespace elmhost::xml
