#pragma once

#include "CATAttributeInfos.h"
#include "CATListVal.h"

class CATListValCATAttributeInfos : public elmhost::ListVal<CATAttributeInfos> {
public:
  using ListVal::ListVal;
};
