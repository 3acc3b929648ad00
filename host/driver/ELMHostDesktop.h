#pragma once

#include "ELMHostExport.h"

#include <functional>
#include <string>

namespace elmhost {

/// A file that the plug-in asked the desktop to open (ShellExecuteA).
struct DesktopOpen {
  std::string verb;     ///< "open"
  std::string path;     ///< the file, as the plug-in named it
  bool opened = false;  ///< handed to the desktop's opener
  std::string opener;   ///< the opener used ("xdg-open"); empty when not opened
  std::string reason;   ///< why not opened ("no display", ...); empty when opened
};
using DesktopObserver = std::function<void(const DesktopOpen&)>;

/// Installs an observer told of every file the plug-in asks the desktop to
/// open, opened or not; returns the previous one. Without an observer a
/// file that cannot be opened is named on the standard error.
ExportedByELMHost DesktopObserver SetDesktopObserver(DesktopObserver observer);

}  // namespace elmhost
