#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// The connected user's security context.
class ExportedByELMHost CATAdpPublicSecurityServices {
public:
  /// Login, role, organization and project of the user connected to the
  /// repository (an empty name means the default one); fails when nobody is connected.
  static HRESULT GetSecurityParameters(const CATUnicodeString& repository, CATUnicodeString& login,
                                       CATUnicodeString& role, CATUnicodeString& organization,
                                       CATUnicodeString& project);
};
