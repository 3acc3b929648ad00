#pragma once

#include "CATIDOMNode.h"

class ExportedByELMHost CATIDOMText : public virtual CATIDOMNode {
  CATDeclareInterface(CATIDOMText)
public:
  virtual HRESULT GetData(CATUnicodeString& data) const;
};
using CATIDOMText_var = CATVar<CATIDOMText>;
