#pragma once

#include "CATListVal.h"
#include "CATUnicodeString.h"

class CATListValCATUnicodeString : public elmhost::ListVal<CATUnicodeString> {
public:
  using ListVal::ListVal;
};
