#include "ProcessStatusEntry.h"

#include "ELMTrace.h"

ProcessStatusEntry::ProcessStatusEntry(const CATUnicodeString& activity, const CATUnicodeString& status,
                                       const CATUnicodeString& description, const CATUnicodeString& start,
                                       const CATUnicodeString& end, const CATUnicodeString& user,
                                       const CATUnicodeString& errorMsg)
    : m_activity(activity),
      m_status(status),
      m_description(description),
      m_start(start),
      m_end(end),
      m_user(user),
      m_errorMsg(errorMsg) {
  ELM_SCOPE("ProcessStatusEntry::ProcessStatusEntry");
}

ProcessStatusEntry::~ProcessStatusEntry() { ELM_SCOPE("ProcessStatusEntry::~ProcessStatusEntry"); }

const CATUnicodeString& ProcessStatusEntry::GetActivity() const {
  ELM_SCOPE("ProcessStatusEntry::GetActivity");
  return m_activity;
}

const CATUnicodeString& ProcessStatusEntry::GetStatus() const {
  ELM_SCOPE("ProcessStatusEntry::GetStatus");
  return m_status;
}

const CATUnicodeString& ProcessStatusEntry::GetDescription() const {
  ELM_SCOPE("ProcessStatusEntry::GetDescription");
  return m_description;
}

const CATUnicodeString& ProcessStatusEntry::GetStart() const {
  ELM_SCOPE("ProcessStatusEntry::GetStart");
  return m_start;
}

const CATUnicodeString& ProcessStatusEntry::GetEnd() const {
  ELM_SCOPE("ProcessStatusEntry::GetEnd");
  return m_end;
}

const CATUnicodeString& ProcessStatusEntry::GetUser() const {
  ELM_SCOPE("ProcessStatusEntry::GetUser");
  return m_user;
}

const CATUnicodeString& ProcessStatusEntry::GetErrorMsg() const {
  ELM_SCOPE("ProcessStatusEntry::GetErrorMsg");
  return m_errorMsg;
}
