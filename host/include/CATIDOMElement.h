#pragma once

#include "CATIDOMNode.h"

class ExportedByELMHost CATIDOMElement : public virtual CATIDOMNode {
  CATDeclareInterface(CATIDOMElement)
public:
  virtual HRESULT GetTagName(CATUnicodeString& name) const;
  /// An absent attribute reads as the empty string with S_OK.
  virtual HRESULT GetAttribute(const CATUnicodeString& name, CATUnicodeString& value) const;
  virtual bool HasAttribute(const CATUnicodeString& name) const;
  virtual HRESULT SetAttribute(const CATUnicodeString& name, const CATUnicodeString& value);
  virtual HRESULT RemoveAttribute(const CATUnicodeString& name);
};
using CATIDOMElement_var = CATVar<CATIDOMElement>;
