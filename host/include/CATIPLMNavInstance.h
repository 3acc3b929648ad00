#pragma once

#include "CATIPLMNavEntity.h"

class CATIPLMComponent;

/// The object that places a reference under its parent in a structure.
class ExportedByELMHost CATIPLMNavInstance : public CATIPLMNavEntity {
  CATDeclareInterface(CATIPLMNavInstance)
public:
  /// The component the instance belongs to (its father), with a reference
  /// for the caller; fails when it has none.
  virtual HRESULT GetFatherComponent(CATIPLMComponent*& father) const;
};
using CATIPLMNavInstance_var = CATVar<CATIPLMNavInstance>;
