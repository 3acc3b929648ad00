#pragma once
// CATIDOMImplementation is declared with the interfaces it belongs with.
#include "CATIDOMDocument.h"
