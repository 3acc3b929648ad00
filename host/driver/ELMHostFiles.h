#pragma once

#include "ELMHostExport.h"

#include <string>

namespace elmhost {

/// Writes text to path through a temporary file in the same directory,
/// renamed over path once complete (readable by all), so that a reader sees
/// the old file or the new one, never a part. On false, error says why.
ExportedByELMHost bool WriteFileReplacing(const std::string& path, const std::string& text, std::string& error);

}  // namespace elmhost
