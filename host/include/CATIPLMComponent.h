#pragma once

#include "CATBaseUnknown.h"
#include "CATIType.h"
#include "CATUnicodeString.h"

class CATIAdpPLMIdentificator;

/// A PLM object of the session: a reference, an instance, a representation.
class ExportedByELMHost CATIPLMComponent : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIPLMComponent)
public:
  /// The object's identity, with a reference for the caller. An object
  /// without an identity answers S_OK and a null identificator.
  virtual HRESULT GetAdpID(CATIAdpPLMIdentificator*& identificator);
  /// The name of the object's type in the type dictionary.
  virtual HRESULT GetPLMTypeName(CATUnicodeString& typeName) const;
  /// The object's type in the type dictionary.
  virtual HRESULT GetPLMType(CATIType_var& type) const;
};
using CATIPLMComponent_var = CATVar<CATIPLMComponent>;
