#pragma once

#include "CATBaseUnknown.h"
#include "CATUnicodeString.h"

/// States of a batch, as GetBatchState gives them.
enum CATBatState : int {
  CATBatStateRunning = 1,
  CATBatStateEnded = 2,    ///< ended by itself; its return code says how it went
  CATBatStateStopped = 3,  ///< ended by a signal: stopped by the monitor, killed or crashed
};

/// The client batch monitor: runs PLM batches as processes of their own
/// and tells when they end. A batch is the batch program run on an input
/// file that CATPLMBatch::FillXmlFile wrote; its return code is the
/// program's exit status (0 for success), or 128 plus the signal number
/// when a signal ended it. Batch identifiers are 32 characters; operations
/// that take one read at most its first 33 bytes.
///
/// The operations are given in the order of the platform's interface.
class ExportedByELMHost CATBatClientMonitorCAA {
public:
  /// The monitor of this client; null when the host has none.
  static CATBatClientMonitorCAA* GetTheClientMonitorCAA();

  virtual ~CATBatClientMonitorCAA();

  /// Starts the batch described by inputFile and writes its identifier,
  /// zero-terminated, into batchId (room for 33 bytes). options: 0.
  virtual HRESULT SubmitBatch(const CATUnicodeString& inputFile, char* batchId, int options) = 0;
  /// Stops a running batch; E_FAIL when it is unknown or has ended.
  virtual HRESULT StopBatch(const char* batchId) = 0;
  /// The batch's state (CATBatState); E_FAIL for an unknown batch.
  virtual HRESULT GetBatchState(const char* batchId, int& state) = 0;
  /// The return code of a batch that has ended or was stopped; E_FAIL while
  /// it runs or when it is unknown.
  virtual HRESULT GetBatchReturnCode(const char* batchId, int* returnCode) = 0;
  /// publish 1: the end of every batch of this client is published through
  /// GetBatchPublisherCAA() as a CATBatchEndNotifCAA; 0: it is not.
  /// options: 0.
  virtual HRESULT SetEndNotification(int publish, int options) = 0;
  /// Runs the host's dispatch (so that published notifications are
  /// delivered) until *flag is not 0: S_OK. timeout: seconds, -1 for none;
  /// the host's own limit (ELMHOST_BATCH_TIMEOUT) applies in any case, and
  /// when it passes the running batches are stopped and the wait fails.
  /// The wait also fails once no batch runs and nothing is left to deliver,
  /// since nothing could raise the flag then. Whatever the dispatch holds
  /// runs during the wait, objects handed to delayed destruction included:
  /// a caller must not have asked for its own. options: 0.
  virtual HRESULT WaitForFlag(int* flag, int timeout, int options) = 0;
  /// Connects the client to the monitor: fails when no batch program can be
  /// found.
  virtual HRESULT Connect() = 0;
};
