#pragma once

#include "CATBaseUnknown.h"
#include "CATListVal.h"

/// A list of object handles; emptying it releases the objects.
class CATListValCATBaseUnknown_var : public elmhost::ListVal<CATBaseUnknown_var> {
public:
  using ListVal::ListVal;
};
