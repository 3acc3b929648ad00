#pragma once

#include "CATICkeObject.h"

/// Reads attributes of a knowledge object.
class ExportedByELMHost CATCkeObjectAttrReadServices {
public:
  /// The value of the attribute name as the user sees it.
  static HRESULT ShowAttributeValue(const CATICkeObject_var& object, const CATUnicodeString& name,
                                    CATUnicodeString& value);
};
