#pragma once

// Reading and writing the JSON text of session files in time and memory
// linear in the text, with no recursion on its nesting. Private to the host
// library.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

namespace elmhost {

using SessionDocument = nlohmann::ordered_json;

/// Parses text into doc. Objects keep their members in file order; a member
/// named twice in one object is refused. On failure, where is the JSON path
/// of a repeated member (empty for a syntax error) and what says what is wrong.
bool ParseSessionText(const std::string& text, SessionDocument& doc, std::string& where, std::string& what);

/// Where values of text nest deeper than maxDepth: false with the 1-based
/// line and column (in bytes) of the bracket that goes too deep. Text that
/// is not JSON at all passes; the parser reports it.
bool CheckNesting(const std::string& text, std::size_t maxDepth, std::size_t& line, std::size_t& column);

/// The document as session files are written: containers that fit on a
/// short line, and arrays of plain values, on one line; others one member
/// per line, indented by two blanks per level down to a fixed depth, below
/// which everything stays on its parent's line. So the text grows with the
/// document, never with the square of its depth.
std::string WriteSessionText(const SessionDocument& doc);

}  // namespace elmhost
