#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

#include <string>
#include <vector>

/// One set of attribute values of a queried object, all belonging to one type.
class ExportedByELMHost CATAdpAttributeSet {
public:
  /// The value of the text attribute name; fails for an attribute the set
  /// lacks and for one that is not a text, leaving value as it was.
  HRESULT GetStringAttributeValue(const CATUnicodeString& name, CATUnicodeString& value) const;

  // The host fills the set; the plug-in only reads it.
  void AddAttribute(const std::string& name, const std::string& value, bool isString);

private:
  struct Value {
    std::string name, value;
    bool isString;
  };
  std::vector<Value> m_values;
};
