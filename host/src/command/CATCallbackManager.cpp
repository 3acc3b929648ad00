#include "CATCallbackManager.h"

#include <algorithm>

CATImplementInterface(CATCallbackManager)

CATCallbackManager::CATCallbackManager(const CATString& name) : CATCommand(name, CATCommandModeShared) {}

CATCallbackManager::~CATCallbackManager() = default;

CATCallback CATCallbackManager::AddCallback(CATBaseUnknown* subscriber, const char* notificationClass,
                                            CATSubscriberMethod method, CATSubscriberData data) {
  if (!subscriber || !notificationClass || !*notificationClass || !method) return 0;
  // The dispatch delivers a command's notifications to commands: the manager
  // listens to itself once per class and hands each delivery on.
  CATString name(notificationClass);
  if (std::find(m_relayed.begin(), m_relayed.end(), name) == m_relayed.end()) {
    AddAnalyseNotificationCB(this, name, static_cast<CATCommandMethod>(&CATCallbackManager::Deliver), nullptr);
    m_relayed.push_back(name);
  }
  CATCallback id = m_next++;
  m_callbacks.push_back({id, subscriber, name, method, data});
  return id;
}

void CATCallbackManager::RemoveCallback(CATCallback callback) {
  std::erase_if(m_callbacks, [callback](const Subscription& s) { return s.id == callback; });
}

void CATCallbackManager::RemoveSubscriberCallbacks(CATBaseUnknown* subscriber) {
  std::erase_if(m_callbacks, [subscriber](const Subscription& s) { return s.subscriber == subscriber; });
}

void CATCallbackManager::DispatchCallbacks(CATNotification* notification) {
  if (notification) SendNotification(notification);
}

void CATCallbackManager::Deliver(CATCommand*, CATNotification* notification, CATCommandClientData) {
  if (!notification) return;
  // A subscriber may withdraw (itself or others) while it is told: take the
  // ids first and look each one up again before calling it.
  std::vector<CATCallback> ids;
  for (const Subscription& s : m_callbacks)
    if (s.notificationClass == notification->GetName()) ids.push_back(s.id);
  for (CATCallback id : ids) {
    auto it = std::find_if(m_callbacks.begin(), m_callbacks.end(), [id](const Subscription& s) { return s.id == id; });
    if (it == m_callbacks.end()) continue;
    Subscription s = *it;
    (s.subscriber->*s.method)(s.notificationClass.CastToCharPtr(), this, notification, s.data, s.id);
  }
}

CATCallback AddCallback(CATBaseUnknown* subscriber, CATCallbackManager* publisher, const char* notificationClass,
                        CATSubscriberMethod method, CATSubscriberData data) {
  return publisher ? publisher->AddCallback(subscriber, notificationClass, method, data) : 0;
}

void RemoveSubscriberCallbacks(CATBaseUnknown* subscriber, CATCallbackManager* publisher) {
  if (publisher) publisher->RemoveSubscriberCallbacks(subscriber);
}
