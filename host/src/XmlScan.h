#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

// Byte-level helpers for the checks the host makes on an XML text around
// its parse.
namespace elmhost::xml {

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

inline bool StartsWith(const char* p, const char* end, std::string_view what) {
  return static_cast<std::size_t>(end - p) >= what.size() && std::memcmp(p, what.data(), what.size()) == 0;
}

/// Just past the first what from on; end when there is none.
inline const char* FindPast(const char* from, const char* end, std::string_view what) {
  const char* at = std::search(from, end, what.begin(), what.end());
  return at == end ? end : at + what.size();
}

}  // namespace elmhost::xml
