#pragma once

#include "CATAdpQueryResult.h"
#include "CATBaseUnknown.h"
#include "CATIAdpPLMErrorReviewer.h"
#include "CATIAdpPLMUniqueKey.h"
#include "CATUnicodeString.h"

class CATIAdpPLMIdentificator;

/// Queries on PLM objects by their identity.
class ExportedByELMHost CATAdpPLMQueryServices {
public:
  /// The object's database key, with a reference for the caller. On failure
  /// key is null, the reviewer (when given) is told, and errorText (when
  /// given) receives the platform's text.
  static HRESULT GetUniqueKey(CATIAdpPLMIdentificator* identificator, CATIAdpPLMUniqueKey*& key,
                              CATIAdpPLMErrorReviewer* reviewer = nullptr, CATUnicodeString* errorText = nullptr);
  /// Reads what the database holds for key into info, replacing its content.
  static HRESULT MoreInformation(CATIAdpPLMUniqueKey* key, CATAdpQueryResult& info);
};
