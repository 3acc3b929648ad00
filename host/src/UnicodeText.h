#pragma once

#include "CATUnicodeString.h"

#include <string>

namespace elmhost {

/// Strings from text the host has already checked, without checking it
/// again. A session's attribute values went through a strict JSON parser
/// (ill-formed UTF-8 and lone surrogates are refused there) or came from a
/// CATUnicodeString; a walk over a large product reads one at every node.
struct UnicodeText {
  static CATUnicodeString FromChecked(const std::string& utf8) {
    CATUnicodeString s;
    s.m_s = utf8;
    return s;
  }
};

}  // namespace elmhost
