#pragma once

#include "CATICkeObject.h"

/// Writes attributes of a knowledge object. A change stays in the session's
/// memory until the object is saved.
class ExportedByELMHost CATCkeObjectAttrWriteServices {
public:
  static HRESULT SetValueWithString(const CATICkeObject_var& object, const CATUnicodeString& name,
                                    const CATUnicodeString& value);
};
