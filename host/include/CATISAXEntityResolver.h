#pragma once
// CATISAXEntityResolver is declared with the interfaces it belongs with.
#include "CATISAXInputSource.h"
