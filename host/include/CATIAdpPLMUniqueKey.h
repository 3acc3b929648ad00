#pragma once

#include "CATBaseUnknown.h"

/// The database key of a PLM object, as the query services take it.
class ExportedByELMHost CATIAdpPLMUniqueKey : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIAdpPLMUniqueKey)
};
using CATIAdpPLMUniqueKey_var = CATVar<CATIAdpPLMUniqueKey>;
