#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// Text for a parser to read, with the name that identifies it in errors.
class ExportedByELMHost CATISAXInputSource : public virtual CATBaseUnknown {
  CATDeclareInterface(CATISAXInputSource)
public:
  virtual HRESULT GetSystemId(CATUnicodeString& id) const;
};
using CATISAXInputSource_var = CATVar<CATISAXInputSource>;

class ExportedByELMHost CATISAXEntityResolver : public virtual CATBaseUnknown {
  CATDeclareInterface(CATISAXEntityResolver)
};
using CATISAXEntityResolver_var = CATVar<CATISAXEntityResolver>;

class ExportedByELMHost CATISAXErrorHandler : public virtual CATBaseUnknown {
  CATDeclareInterface(CATISAXErrorHandler)
};
using CATISAXErrorHandler_var = CATVar<CATISAXErrorHandler>;

/// The SAX2 parser factory; here it only makes input sources.
class ExportedByELMHost CATISAXFactory : public virtual CATBaseUnknown {
  CATDeclareInterface(CATISAXFactory)
public:
  /// An input source over text (taken by value so a caller can move a large
  /// answer in without a copy).
  virtual HRESULT CreateInputSourceFromString(CATUnicodeString text, const CATUnicodeString& systemId,
                                              CATISAXInputSource_var& source);
};
using CATISAXFactory_var = CATVar<CATISAXFactory>;

ExportedByELMHost HRESULT CreateCATISAXFactory(CATISAXFactory_var& factory);
