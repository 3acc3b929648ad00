#pragma once

#include "CATCommand.h"

#include <vector>

/// Identifies one subscription, for its removal.
using CATCallback = long;
using CATSubscriberData = void*;
/// What a subscription is for: the class name of the notifications it takes.
using CATCallbackEvent = const char*;
/// A subscriber's member operation receiving a notification: (event,
/// publisher, notification, the subscription's data, the subscription).
using CATSubscriberMethod = void (CATBaseUnknown::*)(CATCallbackEvent, void*, CATNotification*, CATSubscriberData,
                                                     CATCallback);

/// A publisher that objects other than commands subscribe to, by the class
/// of notification they want. Publishing goes through the host's dispatch:
/// the subscribers' operations run on the user-interface thread once the
/// current callback has returned, never inside the publisher's call.
class ExportedByELMHost CATCallbackManager : public CATCommand {
  CATDeclareInterface(CATCallbackManager)
public:
  explicit CATCallbackManager(const CATString& name = "CATCallbackManager");
  ~CATCallbackManager() override;

  /// Subscribes method of subscriber to notifications whose class name is
  /// notificationClass. The subscriber is not held: it withdraws before it goes.
  CATCallback AddCallback(CATBaseUnknown* subscriber, const char* notificationClass, CATSubscriberMethod method,
                          CATSubscriberData data);
  void RemoveCallback(CATCallback callback);
  /// Withdraws every subscription of subscriber.
  void RemoveSubscriberCallbacks(CATBaseUnknown* subscriber);
  int GetCallbackCount() const { return static_cast<int>(m_callbacks.size()); }

  /// Publishes notification (named after its class) to the subscribers of its class.
  void DispatchCallbacks(CATNotification* notification);

private:
  struct Subscription {
    CATCallback id;
    CATBaseUnknown* subscriber;
    CATString notificationClass;
    CATSubscriberMethod method;
    CATSubscriberData data;
  };
  void Deliver(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);

  std::vector<Subscription> m_callbacks;
  std::vector<CATString> m_relayed;  // classes the manager listens for on itself
  CATCallback m_next = 1;
};

/// The platform's free form of CATCallbackManager::AddCallback.
ExportedByELMHost CATCallback AddCallback(CATBaseUnknown* subscriber, CATCallbackManager* publisher,
                                          const char* notificationClass, CATSubscriberMethod method,
                                          CATSubscriberData data);
/// Withdraws every subscription of subscriber to publisher.
ExportedByELMHost void RemoveSubscriberCallbacks(CATBaseUnknown* subscriber, CATCallbackManager* publisher);
