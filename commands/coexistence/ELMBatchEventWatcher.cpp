#include "ELMBatchEventWatcher.h"

#include "CATBatClientMonitorCAA.h"
#include "CATBatchEndNotifCAA.h"
#include "CATBatchPublisherCAA.h"

#include <cstdio>
#include <cstring>

CATImplementClass(ELMBatchEventWatcher, CATImplementationClass, CATBaseUnknown, "CATnull", "External")

ELMBatchEventWatcher::ELMBatchEventWatcher(int* completionFlag) : m_pCompletionFlag(completionFlag) {
  ::AddCallback(this, GetBatchPublisherCAA(), CATBatchEndNotifCAA::ClassName(),
                static_cast<CATSubscriberMethod>(&ELMBatchEventWatcher::BatchEnded), nullptr);
}

ELMBatchEventWatcher::~ELMBatchEventWatcher() {
  ::RemoveSubscriberCallbacks(this, GetBatchPublisherCAA());
  m_pCompletionFlag = nullptr;
}

void ELMBatchEventWatcher::SetBatchId(const char* batchId) {
  if (!batchId) return;
  // strncpy's contract, spelled out: at most the buffer's bytes, zero-filled
  // after the text; an identifier that fills the buffer has no terminator.
  const std::size_t length = strnlen(batchId, sizeof m_batchId);
  std::memcpy(m_batchId, batchId, length);
  std::memset(m_batchId + length, 0, sizeof m_batchId - length);
}

void ELMBatchEventWatcher::BatchEnded(CATCallbackEvent, void*, CATNotification* notification, CATSubscriberData,
                                      CATCallback) {
  if (!notification) return;
  CATVar<CATBatchEndNotifCAA> end(notification);
  // Every end is named, also those of other batches: it shows what the
  // client saw while it waited.
  std::printf("pNotifName %s\n", end ? end->GetNotificationName() : notification->GetName().CastToCharPtr());
  std::fflush(stdout);
  if (!end || std::strncmp(end->GetBatchId(), m_batchId, sizeof m_batchId) != 0) return;
  CATBatClientMonitorCAA* monitor = CATBatClientMonitorCAA::GetTheClientMonitorCAA();
  if (!monitor) return;
  int state = 0;
  if (SUCCEEDED(monitor->GetBatchState(m_batchId, state)) &&
      SUCCEEDED(monitor->GetBatchReturnCode(m_batchId, &m_returnCode)) && m_pCompletionFlag)
    *m_pCompletionFlag = 1;
}

HRESULT ELMSubmitBatchAndWait(const CATUnicodeString& inputFile) {
  CATBatClientMonitorCAA* monitor = CATBatClientMonitorCAA::GetTheClientMonitorCAA();
  if (!monitor) return E_FAIL;
  if (FAILED(monitor->Connect()) || FAILED(monitor->SetEndNotification(1, 0))) return E_FAIL;
  int completed = 0;
  // Subscribed before the batch exists, so that not even a batch that ends
  // at once can end unseen.
  ELMBatchEventWatcher watcher(&completed);
  char batchId[40] = {};
  HRESULT rc = monitor->SubmitBatch(inputFile, batchId, 0);
  if (SUCCEEDED(rc)) {
    watcher.SetBatchId(batchId);
    rc = monitor->WaitForFlag(&completed, -1, 0);
    if (SUCCEEDED(rc) && watcher.GetReturnCode() != 0) rc = E_FAIL;
  }
  return rc;
}
