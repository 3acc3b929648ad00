#pragma once

#include <string>
#include <vector>

namespace elmhost {

/// Finds catalog files and keeps them parsed. A file is parsed again only
/// when its size or modification time changes, so a malformed line is
/// reported once, and a test that points ELMHOST_CATALOG_PATH elsewhere sees
/// the files of the new directories at once.
class CatalogStore {
public:
  /// The directories searched, in order: those of ELMHOST_CATALOG_PATH, or
  /// the built-in defaults when it is unset or empty.
  static std::vector<std::string> Directories();

  /// Looks key up in `<catalog><extension>` of each directory in turn; the
  /// first directory whose file holds the key wins, so a site directory
  /// placed first need only hold the keys it changes.
  static bool Lookup(const std::string& catalog, const std::string& extension, const std::string& key,
                     std::string& text);

  /// Replaces /P1../P9 by the parameters in one pass; a parameter's own text
  /// is never searched again, and a /Pn without a parameter stays visible.
  static std::string Substitute(const std::string& text, const std::vector<std::string>& parameters);
};

}  // namespace elmhost
