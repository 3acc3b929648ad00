#pragma once
// CATSettingRepository is declared with the interfaces it belongs with.
#include "CATSysSettingRepository.h"
