#pragma once

#include "CATString.h"
#include "CATUnicodeString.h"

/// The host's message catalogs: files `<catalog>.nls` of `Key = "Text";`
/// lines, found in the directories of ELMHOST_CATALOG_PATH (colon-separated,
/// searched in order) or, without it, in the installed resources.
class ExportedByELMHost CATMsgCatalog {
public:
  /// The text of key in catalog, with /P1../P9 replaced by parameters[0..8].
  /// When no directory holds the catalog or the key, defaultText is returned
  /// as given (its parameters are not replaced).
  static CATUnicodeString BuildMessage(const CATString& catalog, const CATString& key,
                                       const CATUnicodeString* parameters = nullptr, int count = 0,
                                       const CATUnicodeString& defaultText = CATUnicodeString());
};
