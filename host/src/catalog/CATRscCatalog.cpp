#include "CATRscCatalog.h"

#include "CatalogStore.h"

int CATRscCatalog::BuildResource(const CATString& catalog, const CATString& key, CATString& result,
                                 const CATString* parameters, int count, const char* defaultText) {
  std::string text;
  if (!elmhost::CatalogStore::Lookup(catalog.Str(), ".rsc", key.Str(), text)) {
    result = CATString(defaultText);
    return 0;
  }
  std::vector<std::string> params;
  for (int i = 0; parameters && i < count; ++i) params.push_back(parameters[i].Str());
  std::string value = elmhost::CatalogStore::Substitute(text, params);
  result = CATString(value.data(), value.size());
  return 1;
}
