#pragma once
// CATIDOMDocumentType is declared with the interfaces it belongs with.
#include "CATIDOMDocument.h"
