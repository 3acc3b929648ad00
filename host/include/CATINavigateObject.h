#pragma once

#include "CATBaseUnknown.h"
#include "CATListValCATBaseUnknown_var.h"
#include "CATListValCATUnicodeString.h"

/// Navigation in a tree window: what a node shows and the nodes below it.
/// A node of an explorer window offers it; so does the root component of an
/// explorer window, answering for the node that shows it.
class ExportedByELMHost CATINavigateObject : public virtual CATBaseUnknown {
  CATDeclareInterface(CATINavigateObject)
public:
  /// Appends the texts that identify the node in the tree, in display order;
  /// a node may have none.
  virtual HRESULT GetIdentificators(CATListValCATUnicodeString& identificators) const;
  /// Appends the child nodes, in tree order.
  virtual HRESULT GetChildren(CATListValCATBaseUnknown_var& children) const;
};
using CATINavigateObject_var = CATVar<CATINavigateObject>;
