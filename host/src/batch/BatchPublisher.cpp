#include "CATBatchEndNotifCAA.h"
#include "CATBatchPublisherCAA.h"

#include <cstring>

CATImplementInterface(CATBatchEndNotifCAA)

CATBatchEndNotifCAA::CATBatchEndNotifCAA(const char* batchId, const CATUnicodeString& batchName)
    : CATNotification(ClassName()),
      m_batchId(batchId ? std::string(batchId, strnlen(batchId, 32)) : std::string()),
      m_batchName(batchName) {}

CATCallbackManager* GetBatchPublisherCAA() {
  // Never destroyed: notifications may still be queued, or subscribers
  // withdraw, while the process ends.
  static CATCallbackManager* publisher = [] {
    auto* p = new CATCallbackManager("CATBatchPublisherCAA");
    p->MakeImmortal();
    return p;
  }();
  return publisher;
}
