#pragma once

#include "CATListValCATUnicodeString.h"
