#pragma once
// CATIXMLXPathResult is declared with the interfaces it belongs with.
#include "CATIXMLXPathFactory.h"
