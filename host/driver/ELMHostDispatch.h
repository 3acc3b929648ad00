#pragma once

#include "CATBaseUnknown.h"
#include "CATNotification.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

class CATCommand;

namespace elmhost {

/// The host's dispatch: what the user-interface thread does next. It runs,
/// one after another and in the order they were raised, the notifications
/// that widgets and commands send and the activations that commands ask for;
/// after each of them it destroys the objects handed to delayed destruction;
/// when nothing else is left it fires due time-outs. One dispatch is current
/// at a time (the host makes it); without one, notifications are delivered
/// at once and delayed destruction releases at once.
class ExportedByELMHost Dispatch {
public:
  using TimeOutCallback = void (*)(CATCommand*, int, void*);

  Dispatch();
  ~Dispatch();
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;

  static Dispatch* Current();

  /// Queues obj for release once the current callback has returned.
  void RequestDelayedDestruction(CATBaseUnknown* obj);
  void AddTimeOut(int milliseconds, CATCommand* client, void* data, TimeOutCallback callback);
  /// Removes pending time-outs with this delay, client and callback.
  void RemoveTimeOut(int milliseconds, CATCommand* client, TimeOutCallback callback);
  std::size_t PendingTimeOuts() const { return m_timeouts.size(); }
  std::size_t PendingDestructions() const { return m_doomed.size(); }
  std::size_t PendingEvents() const { return m_events.size(); }

  /// Queues the delivery of notification, sent by publisher, to the
  /// callbacks registered for it.
  void PostNotification(CATCommand* publisher, CATNotification* notification);
  /// A status change that a command asks for: the activation message
  /// (CATCommandMsgRequestExclusiveMode) queues its activation; the host
  /// keeps no other status.
  void RecordStatusRequest(CATCommand* command, int message, CATCommand* requestor);
  /// Starts a command as the host does when a person picks it: queues its
  /// activation, unless the command already asked for one (commands that
  /// request their own activation while they are made).
  void StartCommand(CATCommand* command);
  bool IsActivationPending(const CATCommand* command) const;

  /// Releases queued objects until none is left.
  void FlushDestructions();
  /// Dispatches until nothing is left: events (each followed by the
  /// destructions it asked for), then due time-outs. With virtualTime
  /// (tests, headless runs) the clock jumps to the next time-out instead of
  /// sleeping. Stops after maxTimeOuts time-outs have fired; returns how
  /// many fired.
  int RunUntilIdle(bool virtualTime = true, int maxTimeOuts = 1000);
  /// Runs the queued events and destructions, no time-out.
  void RunEvents();
  /// Milliseconds of the dispatch clock since it was created.
  std::int64_t Now() const;

  /// A command the dispatch must forget (it is being destroyed).
  void Forget(CATCommand* command);

private:
  struct TimeOut {
    std::int64_t due;
    std::uint64_t seq;
    int milliseconds;
    CATCommand* client;
    void* data;
    TimeOutCallback callback;
  };
  struct Event {
    CATCommand* target;                  // the publisher, or the command to activate
    CATNotification_var notification;    // null for an activation
    CATCommand* requestor;
  };
  std::vector<CATBaseUnknown*> m_doomed;
  std::vector<TimeOut> m_timeouts;
  std::deque<Event> m_events;
  std::uint64_t m_seq = 0;
  std::int64_t m_virtualOffset = 0;
  std::chrono::steady_clock::time_point m_start;
  Dispatch* m_previous = nullptr;
};

/// Runs, on this thread and at once, the callbacks registered for
/// notification sent by publisher (what the dispatch does for each event).
ExportedByELMHost void DeliverNotification(CATCommand* publisher, CATNotification* notification);
/// Whether any callback is registered for the notification named name sent by publisher.
ExportedByELMHost bool HasCallbacks(const CATCommand* publisher, const CATString& name);

}  // namespace elmhost
