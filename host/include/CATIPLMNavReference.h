#pragma once

#include "CATIPLMNavEntity.h"

/// The PLM object that a node of the tree shows.
class ExportedByELMHost CATIPLMNavReference : public CATIPLMNavEntity {
  CATDeclareInterface(CATIPLMNavReference)
};
using CATIPLMNavReference_var = CATVar<CATIPLMNavReference>;
