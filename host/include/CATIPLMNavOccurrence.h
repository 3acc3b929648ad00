#pragma once

#include "CATBaseUnknown.h"
#include "CATListPtrCATIPLMNavOccurrence.h"
#include "CATListValCATBaseUnknown_var.h"

class CATIPLMNavReference;
class CATIPLMNavInstance;

/// A node of the navigation tree. Every out pointer carries a reference
/// that the caller releases.
class ExportedByELMHost CATIPLMNavOccurrence : public virtual CATBaseUnknown {
  CATDeclareInterface(CATIPLMNavOccurrence)
public:
  /// Appends the child nodes, in tree order, each with a reference that the
  /// caller releases.
  virtual HRESULT ListChildren(CATListPtrCATIPLMNavOccurrence& children) const;
  /// The instance that places the node under its parent; fails for a root node.
  virtual HRESULT GetRelatedInstance(CATIPLMNavInstance*& instance) const;
  /// The PLM object the node shows.
  virtual HRESULT GetRelatedReference(CATIPLMNavReference*& reference) const;
  /// The parent node; fails for a root node.
  virtual HRESULT GetFather(CATIPLMNavOccurrence*& father) const;
  /// Appends the child nodes, in tree order.
  virtual HRESULT ListChildren(CATListValCATBaseUnknown_var& children) const;
};
using CATIPLMNavOccurrence_var = CATVar<CATIPLMNavOccurrence>;
