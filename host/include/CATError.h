#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// A platform error: the details behind a failed result code. The last error
/// of the thread is kept until it is cleaned, so that the caller of a failed
/// operation can ask what went wrong.
class ExportedByELMHost CATError : public virtual CATBaseUnknown {
  CATDeclareInterface(CATError)
public:
  explicit CATError(const CATUnicodeString& message = CATUnicodeString(), HRESULT rc = E_FAIL)
      : m_message(message), m_rc(rc) {}

  /// The error's text in the user's language.
  CATUnicodeString GetNLSMessage() const { return m_message; }
  HRESULT GetResult() const { return m_rc; }

  /// The last error recorded for the failure rc, with a reference for the
  /// caller; null when no error is recorded for it.
  static CATError* CATGetLastError(HRESULT rc);
  /// Forgets the last error.
  static void CATCleanLastError(CATError* error = nullptr);
  /// Records error (taking a reference) as the last error.
  static void CATSetLastError(CATError* error);

private:
  CATUnicodeString m_message;
  HRESULT m_rc;
};
using CATError_var = CATVar<CATError>;
