#pragma once

#include "CATRawCollPV.h"

class ProcessStatusEntry;

/// The processes of one answer, in document order, numbered from 1. The
/// list owns its entries and releases them with itself.
class ProcessStatusList {
public:
  ProcessStatusList();
  ~ProcessStatusList();
  ProcessStatusList(const ProcessStatusList&) = delete;
  ProcessStatusList& operator=(const ProcessStatusList&) = delete;

  int GetNumberOfEntries() const;
  /// The entry at index, or null when index is outside 1 to the number of entries.
  ProcessStatusEntry* GetEntry(int index) const;
  /// Appends entry, which the list owns from now on.
  void AppendEntry(ProcessStatusEntry* entry);

private:
  CATRawCollPV m_entries;
};
