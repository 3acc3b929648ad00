#pragma once

#include "CATFillDictionary.h"

#include <string>
#include <vector>

namespace elmhost {

/// The host's side of the class dictionary: what the loaded libraries have
/// registered, in the order of registration.
class ExportedByELMHost ClassDictionary {
public:
  /// The registered class names, oldest first.
  static std::vector<std::string> Names();
  /// The factory registered under name, or null.
  static CATCreateFunction Find(const std::string& name);
  /// Calls the factory of name; null when the name is unknown or the
  /// factory gives nothing.
  static void* Create(const std::string& name);
};

}  // namespace elmhost
