#include "ProcessStatusList.h"

#include "ELMTrace.h"
#include "ProcessStatusEntry.h"

ProcessStatusList::ProcessStatusList() { ELM_SCOPE("ProcessStatusList::ProcessStatusList"); }

ProcessStatusList::~ProcessStatusList() {
  ELM_SCOPE("ProcessStatusList::~ProcessStatusList");
  for (void* entry : m_entries) delete static_cast<ProcessStatusEntry*>(entry);
  m_entries.RemoveAll();
}

int ProcessStatusList::GetNumberOfEntries() const {
  ELM_SCOPE("ProcessStatusList::GetNumberOfEntries");
  return m_entries.Size();
}

ProcessStatusEntry* ProcessStatusList::GetEntry(int index) const {
  ELM_SCOPE("ProcessStatusList::GetEntry");
  if (index < 1 || index > m_entries.Size()) return nullptr;
  return static_cast<ProcessStatusEntry*>(m_entries[index]);
}

void ProcessStatusList::AppendEntry(ProcessStatusEntry* entry) {
  ELM_SCOPE("ProcessStatusList::AppendEntry");
  if (entry) m_entries.Append(entry);
}
