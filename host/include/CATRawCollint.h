#pragma once

#include "CATListVal.h"

class CATRawCollint : public elmhost::ListVal<int> {
public:
  using ListVal::ListVal;
};
