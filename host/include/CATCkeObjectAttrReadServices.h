#pragma once

#include "CATICkeObject.h"
#include "CATTime.h"

/// Reads attributes of a knowledge object.
class ExportedByELMHost CATCkeObjectAttrReadServices {
public:
  /// The value of the attribute name as the user sees it.
  static HRESULT ShowAttributeValue(const CATICkeObject_var& object, const CATUnicodeString& name,
                                    CATUnicodeString& value);
  /// The value of the date attribute name; fails for an attribute that is
  /// missing or not a date, leaving value as it was.
  static HRESULT GetValueAsTime(const CATICkeObject_var& object, const CATUnicodeString& name, CATTime& value);
};
