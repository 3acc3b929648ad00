#pragma once

#include "CATIAdpPLMIdentificator.h"
#include "CATListVal.h"

/// A list of identificator pointers. The list neither adds nor releases
/// references: whoever appends a held reference releases it.
class CATListPtrCATIAdpPLMIdentificator : public elmhost::ListVal<CATIAdpPLMIdentificator*> {
public:
  using ListVal::ListVal;
};
