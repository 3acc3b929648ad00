#pragma once

#include "CATListValCATString.h"
