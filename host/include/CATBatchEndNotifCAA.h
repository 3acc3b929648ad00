#pragma once

#include "CATNotification.h"
#include "CATUnicodeString.h"

#include <string>

/// Sent by the batch publisher when a batch of the client batch monitor has
/// ended: normally, with a failure, or stopped. Its name is its class name.
class ExportedByELMHost CATBatchEndNotifCAA : public CATNotification {
  CATDeclareInterface(CATBatchEndNotifCAA)
public:
  /// batchId: the monitor's identifier of the batch (only its first 32
  /// characters are kept).
  CATBatchEndNotifCAA(const char* batchId, const CATUnicodeString& batchName);

  static const char* ClassName() { return "CATBatchEndNotifCAA"; }
  /// The notification's name, its class name.
  const char* GetNotificationName() const { return GetName().CastToCharPtr(); }
  /// The identifier of the batch that ended, zero-terminated.
  const char* GetBatchId() const { return m_batchId.c_str(); }
  const CATUnicodeString& GetBatchName() const { return m_batchName; }

private:
  std::string m_batchId;
  CATUnicodeString m_batchName;
};
