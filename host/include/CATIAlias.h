#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// The name under which an object is shown to the user.
class ExportedByELMHost CATIAlias : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIAlias)
public:
  /// The object's alias; empty when it has none.
  virtual CATUnicodeString GetAlias() const;
};
using CATIAlias_var = CATVar<CATIAlias>;
