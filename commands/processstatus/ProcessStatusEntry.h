#pragma once

#include "CATUnicodeString.h"

/// One process of the integration server, as its answer describes it: the
/// seven texts shown in a line of the process status list.
class ProcessStatusEntry {
public:
  ProcessStatusEntry(const CATUnicodeString& activity, const CATUnicodeString& status,
                     const CATUnicodeString& description, const CATUnicodeString& start, const CATUnicodeString& end,
                     const CATUnicodeString& user, const CATUnicodeString& errorMsg);
  ~ProcessStatusEntry();

  const CATUnicodeString& GetActivity() const;
  const CATUnicodeString& GetStatus() const;
  const CATUnicodeString& GetDescription() const;
  const CATUnicodeString& GetStart() const;
  const CATUnicodeString& GetEnd() const;
  const CATUnicodeString& GetUser() const;
  const CATUnicodeString& GetErrorMsg() const;

private:
  CATUnicodeString m_activity;
  CATUnicodeString m_status;
  CATUnicodeString m_description;
  CATUnicodeString m_start;
  CATUnicodeString m_end;
  CATUnicodeString m_user;
  CATUnicodeString m_errorMsg;
};
