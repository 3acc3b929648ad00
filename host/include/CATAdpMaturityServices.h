#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATUnicodeString.h"
#include "CATUnicodeString.h"

class CATIAdpPLMIdentificator;

/// Maturity (life-cycle state) of PLM objects.
class ExportedByELMHost CATAdpMaturityServices {
public:
  /// The object's current maturity state and the transitions that lead out of it.
  static HRESULT GetStateAndPossibleTransitions(CATIAdpPLMIdentificator* object, CATUnicodeString& state,
                                                CATListValCATUnicodeString& transitions);
};
