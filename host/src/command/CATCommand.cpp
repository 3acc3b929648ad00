#include "CATCommand.h"

#include "ELMHostDispatch.h"

#include <algorithm>
#include <list>

CATImplementInterface(CATNotification)
CATImplementInterface(CATCommand)

namespace {

struct Registration {
  int id;
  CATCommand* subscriber;
  CATCommand* publisher;
  CATString name;
  CATCommandMethod method;
  CATCommandClientData data;
};

// All code runs on the host's user-interface thread, so the registry needs no lock.
std::list<Registration>& registry() {
  static std::list<Registration> r;
  return r;
}
int s_nextId = 1;

}  // namespace

CATCommand::CATCommand(const CATString& name, CATCommandMode mode) : m_name(name), m_mode(mode) {}

CATCommand::CATCommand(CATCommand* parent, const CATString& name) : m_name(name), m_father(parent) {
  if (m_father) m_father->m_children.push_back(this);
}

CATCommand::~CATCommand() {
  registry().remove_if([this](const Registration& r) { return r.subscriber == this || r.publisher == this; });
  for (CATCommand* child : m_children) child->m_father = nullptr;
  if (m_father) {
    auto& siblings = m_father->m_children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  if (auto* d = elmhost::Dispatch::Current()) d->Forget(this);
}

CATStatusChangeRC CATCommand::Activate(CATCommand*, CATNotification*) { return CATStatusChangeRCCompleted; }
CATStatusChangeRC CATCommand::Desactivate(CATCommand*, CATNotification*) { return CATStatusChangeRCCompleted; }
CATStatusChangeRC CATCommand::Cancel(CATCommand*, CATNotification*) { return CATStatusChangeRCCompleted; }

void CATCommand::RequestDelayedDestruction() {
  if (m_destructionRequested) return;
  m_destructionRequested = true;
  if (auto* d = elmhost::Dispatch::Current())
    d->RequestDelayedDestruction(this);
  else
    Release();
}

void CATCommand::RequestStatusChange(CATCommandMsg message, CATCommand* requestor) {
  if (auto* d = elmhost::Dispatch::Current()) d->RecordStatusRequest(this, static_cast<int>(message), requestor);
}

int CATCommand::AddAnalyseNotificationCB(CATCommand* publisher, const CATString& notificationName,
                                         CATCommandMethod method, CATCommandClientData data) {
  if (!publisher || !method) return 0;
  int id = s_nextId++;
  registry().push_back({id, this, publisher, notificationName, method, data});
  return id;
}

int CATCommand::AddAnalyseNotificationCB(CATCommand* publisher, CATNotification* notification,
                                         CATCommandMethod method, CATCommandClientData data) {
  return notification ? AddAnalyseNotificationCB(publisher, notification->GetName(), method, data) : 0;
}

void CATCommand::RemoveAnalyseNotificationCB(int callbackId) {
  registry().remove_if([callbackId](const Registration& r) { return r.id == callbackId; });
}

void CATCommand::SendNotification(const CATString& notificationName) {
  CATNotification_var n = CATMakeVar<CATNotification>(notificationName);
  SendNotification(n.get());
}

void CATCommand::SendNotification(CATNotification* notification) {
  if (!notification) return;
  if (auto* d = elmhost::Dispatch::Current())
    d->PostNotification(this, notification);
  else
    elmhost::DeliverNotification(this, notification);
}

namespace elmhost {

void DeliverNotification(CATCommand* publisher, CATNotification* notification) {
  if (!publisher || !notification) return;
  // Callbacks may register, remove or destroy commands: take the matching
  // ids first and look each one up again before calling it.
  std::vector<int> ids;
  for (const Registration& r : registry())
    if (r.publisher == publisher && r.name == notification->GetName()) ids.push_back(r.id);
  CATNotification_var keep(notification);
  for (int id : ids) {
    auto& reg = registry();
    auto it = std::find_if(reg.begin(), reg.end(), [id](const Registration& r) { return r.id == id; });
    if (it == reg.end()) continue;
    Registration r = *it;
    (r.subscriber->*r.method)(publisher, notification, r.data);
  }
}

bool HasCallbacks(const CATCommand* publisher, const CATString& name) {
  for (const Registration& r : registry())
    if (r.publisher == publisher && r.name == name) return true;
  return false;
}

}  // namespace elmhost
