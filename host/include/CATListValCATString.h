#pragma once

#include "CATListVal.h"
#include "CATString.h"

class CATListValCATString : public elmhost::ListVal<CATString> {
public:
  using ListVal::ListVal;
};
