#pragma once

#include <cstdint>
#include <string>

namespace elmtest {

/// Appends the i-th group of an answer as element-dense as answers get, to
/// go inside its "Response": a plain attribute with a non-ASCII value, a
/// list attribute of four items, and every 50th time a message; indented,
/// one element a line. The memory benchmark and the torture suite measure
/// the same answer.
inline void AppendElementDenseGroup(std::string& out, std::uint64_t i) {
  const std::string n = std::to_string(i);
  out += "  <Attribute name=\"Attr" + n + "\" value=\"Wert für Teil " + n + " – Größe M" + n + "\"/>\n";
  out += "  <Attribute name=\"List" + n + "\" value=\"\">\n";
  for (int k = 0; k < 4; ++k)
    out += "    <Item value=\"Structure " + n + "." + std::to_string(k) + "\" default=\"" + (k == 0 ? "true" : "false") +
           "\"/>\n";
  out += "  </Attribute>\n";
  if (i % 50 == 0) out += "  <Message code=\"" + n + "\">Processed &lt;" + n + "&gt; items</Message>\n";
}

}  // namespace elmtest
