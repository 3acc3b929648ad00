#pragma once

#include "CATICkeObject.h"
#include "CATListValCATAttributeInfos.h"

/// Knowledge services on PLM objects met in navigation.
class ExportedByELMHost CATCkePLMNavPublicServices {
public:
  /// Appends the name and type of every attribute of the object, in the
  /// object's order; an object without attributes gives an empty list.
  static HRESULT ListAttributesFromObject(const CATICkeObject_var& object, CATListValCATAttributeInfos& attributes);
};
