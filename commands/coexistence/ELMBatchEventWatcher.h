#pragma once

#include "CATBaseUnknown.h"
#include "CATCallbackManager.h"
#include "CATMetaClass.h"
#include "CATUnicodeString.h"

/// Ends the wait for one batch of the client batch monitor: it listens to
/// the batch publisher's end notifications, recognises the end of its own
/// batch by the batch's identifier, reads the batch's return code and then
/// raises the caller's completion flag, on which the monitor's wait watches.
/// Lives on the caller's stack for the duration of one wait.
class ELMBatchEventWatcher : public CATBaseUnknown {
  CATDeclareClass
public:
  /// Subscribes to the batch publisher; completionFlag is the caller's and
  /// must outlive the watcher.
  explicit ELMBatchEventWatcher(int* completionFlag);
  /// Withdraws the subscription, so that no notification reaches a watcher that has gone.
  ~ELMBatchEventWatcher() override;
  ELMBatchEventWatcher(const ELMBatchEventWatcher&) = delete;
  ELMBatchEventWatcher& operator=(const ELMBatchEventWatcher&) = delete;

  /// The identifier the monitor gave the batch; null leaves it unchanged.
  void SetBatchId(const char* batchId);
  /// The batch's return code once its end was seen; 99 before.
  int GetReturnCode() const { return m_returnCode; }

  /// The publisher's end notification of any batch.
  void BatchEnded(CATCallbackEvent event, void* publisher, CATNotification* notification, CATSubscriberData data,
                  CATCallback callback);

private:
  int* m_pCompletionFlag;
  int m_returnCode = 99;
  char m_batchId[33] = {};
};

/// Submits the batch whose input file is inputFile to the client batch
/// monitor and waits until it has ended. S_OK only when it ended with the
/// return code 0; a missing monitor, a failed preparation, submission or
/// wait, or another return code fail.
HRESULT ELMSubmitBatchAndWait(const CATUnicodeString& inputFile);
