#pragma once

#include "CATString.h"

/// The host's resource catalogs: files `<catalog>.rsc`, in the same format
/// and directories as the message catalogs.
class ExportedByELMHost CATRscCatalog {
public:
  /// Sets result to the value of key in catalog, with /P1../P9 replaced by
  /// parameters[0..8], and returns 1. When the catalog or the key is
  /// missing, result becomes defaultText (empty when null) and 0 is returned.
  static int BuildResource(const CATString& catalog, const CATString& key, CATString& result,
                           const CATString* parameters = nullptr, int count = 0, const char* defaultText = nullptr);
};
