#pragma once

#include "CATListVal.h"

class CATIPLMNavOccurrence;

/// A list of navigator nodes as plain pointers, positions from 1. Whoever
/// fills it gives each entry a reference; whoever empties it releases them.
class CATListPtrCATIPLMNavOccurrence : public elmhost::ListVal<CATIPLMNavOccurrence*> {
public:
  using ListVal::ListVal;
};
