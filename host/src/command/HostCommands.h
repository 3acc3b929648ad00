#pragma once

// The commands of the host itself, which CATAfrStartCommand finds by name
// before those of the loaded libraries. Private to the host library.

#include <string>

class CATCommand;

namespace elmhost {

/// A new host command registered under name, with one reference for the
/// caller; null for a name the host does not know.
CATCommand* CreateHostCommand(const std::string& name);

}  // namespace elmhost
