#pragma once
// CATIDOMNodeList is declared with the interfaces it belongs with.
#include "CATIDOMNode.h"
