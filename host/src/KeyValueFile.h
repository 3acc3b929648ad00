#pragma once

#include <functional>
#include <map>
#include <string>

namespace elmhost {

/// Reads files of `Key = "Text";` lines, as catalogs and settings
/// repositories are stored. `//` starts a comment outside quotes; inside the
/// quotes `\n`, `\t`, `\"` and `\\` are escapes. A malformed line is handed to
/// onError (line number and reason) and skipped.
struct KeyValueFile {
  using ErrorFn = std::function<void(int line, const std::string& reason)>;

  /// False when the file cannot be opened.
  static bool Read(const std::string& path, std::map<std::string, std::string>& out, const ErrorFn& onError);
  static void Parse(const std::string& text, std::map<std::string, std::string>& out, const ErrorFn& onError);
  /// Quotes and escapes a value for writing.
  static std::string Quote(const std::string& value);
};

}  // namespace elmhost
