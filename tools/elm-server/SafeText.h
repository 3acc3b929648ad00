#pragma once

#include <string>
#include <string_view>

namespace elmserver {

/// The text with everything an XML 1.0 document may not carry replaced by
/// U+FFFD: bytes that are not UTF-8, and characters outside XML's character
/// range (most control characters, U+FFFE, U+FFFF). Tab, line feed and
/// carriage return stay.
std::string XmlSafe(std::string_view text);
/// True when XmlSafe would give the text back unchanged.
bool IsXmlSafe(std::string_view text);

/// The text as one line a terminal shows as it is: a backslash becomes "\\",
/// tab, line feed and carriage return "\t", "\n", "\r", every other control
/// character (C0, DEL, C1) and every byte that is not UTF-8 "\xNN" per byte.
/// Used wherever a value that came from a client meets a log or a listing.
std::string Printable(std::string_view text);

/// True when the text is UTF-8 without control characters (C0, DEL, C1) and
/// without characters XML forbids.
bool IsPrintableUtf8(std::string_view text);

}  // namespace elmserver
