#pragma once
// CATISAXErrorHandler is declared with the interfaces it belongs with.
#include "CATISAXInputSource.h"
