#pragma once

#include "CATITypeDictionary.h"

class ExportedByELMHost CATGlobalFunctions {
public:
  /// The type dictionary of the running session; null without a session.
  static CATITypeDictionary_var GetTypeDictionary();
};
