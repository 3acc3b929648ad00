#include "CATMsgCatalog.h"

#include "CatalogStore.h"

CATUnicodeString CATMsgCatalog::BuildMessage(const CATString& catalog, const CATString& key,
                                             const CATUnicodeString* parameters, int count,
                                             const CATUnicodeString& defaultText) {
  std::string text;
  if (!elmhost::CatalogStore::Lookup(catalog.Str(), ".nls", key.Str(), text)) return defaultText;
  std::vector<std::string> params;
  for (int i = 0; parameters && i < count; ++i) params.push_back(parameters[i].Utf8());
  return CATUnicodeString::FromUTF8(elmhost::CatalogStore::Substitute(text, params));
}
