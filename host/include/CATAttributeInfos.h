#pragma once

#include "CATIType.h"
#include "CATUnicodeString.h"

/// The description of one knowledge attribute of an object: its name and
/// its value type ("String", "Integer", "Real", "Boolean", "Date"), whose
/// second text is the one shown to users.
class ExportedByELMHost CATAttributeInfos {
public:
  CATAttributeInfos() = default;
  CATAttributeInfos(const CATUnicodeString& name, const CATIType_var& type) : m_name(name), m_type(type) {}

  const CATUnicodeString& Name() const { return m_name; }
  CATIType_var Type() const { return m_type; }

  friend bool operator==(const CATAttributeInfos& a, const CATAttributeInfos& b) {
    return a.m_name == b.m_name && a.m_type == b.m_type;
  }

private:
  CATUnicodeString m_name;
  CATIType_var m_type;
};
