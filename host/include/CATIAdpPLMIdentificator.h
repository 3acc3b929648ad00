#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// The identity of a PLM object in the database. An object created in the
/// session and never saved has one too; it says so through IsSaved.
class ExportedByELMHost CATIAdpPLMIdentificator : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIAdpPLMIdentificator)
public:
  /// saved becomes true when the object has been saved to the database at least once.
  virtual HRESULT IsSaved(bool& saved) const;
  /// A text that tells identities apart; stable within a session.
  virtual CATUnicodeString GetIdentifierText() const;
};
using CATIAdpPLMIdentificator_var = CATVar<CATIAdpPLMIdentificator>;
