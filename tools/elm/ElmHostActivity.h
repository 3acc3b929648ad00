#pragma once

#include "ELMHostBatch.h"
#include "ELMHostDesktop.h"

namespace elmapp {

class EventLog;

/// What the host does on the plug-in's behalf outside its dialogs, as elm
/// reports it while installed: batches run by the client batch monitor, and
/// files handed to the desktop (printed with their path, so that a report
/// that no desktop can show is still found).
class HostActivityReport {
public:
  explicit HostActivityReport(EventLog& events);
  ~HostActivityReport();
  HostActivityReport(const HostActivityReport&) = delete;
  HostActivityReport& operator=(const HostActivityReport&) = delete;

private:
  elmhost::BatchObserver m_previousBatch;
  elmhost::DesktopObserver m_previousDesktop;
};

}  // namespace elmapp
