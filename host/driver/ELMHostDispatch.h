#pragma once

#include "CATBaseUnknown.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

class CATCommand;

namespace elmhost {

/// The host's dispatch: objects awaiting delayed destruction, time-outs, and
/// the status change requests of commands. Everything runs on the thread
/// that calls Run*. One dispatch is current at a time (the host makes it);
/// without one, delayed destruction releases at once.
class ExportedByELMHost Dispatch {
public:
  using TimeOutCallback = void (*)(CATCommand*, int, void*);
  struct StatusRequest {
    CATCommand* command;
    int message;
    CATCommand* requestor;
  };

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

  /// Called by commands; the host reads them with TakeStatusRequests.
  void RecordStatusRequest(CATCommand* command, int message, CATCommand* requestor);
  std::vector<StatusRequest> TakeStatusRequests();

  /// Releases queued objects until none is left.
  void FlushDestructions();
  /// Dispatches until nothing is left: destructions, then due time-outs.
  /// With virtualTime (tests, headless runs) the clock jumps to the next
  /// time-out instead of sleeping. Stops after maxTimeOuts time-outs have
  /// fired; returns how many fired.
  int RunUntilIdle(bool virtualTime = true, int maxTimeOuts = 1000);
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
  std::vector<CATBaseUnknown*> m_doomed;
  std::vector<TimeOut> m_timeouts;
  std::vector<StatusRequest> m_status;
  std::uint64_t m_seq = 0;
  std::int64_t m_virtualOffset = 0;
  std::chrono::steady_clock::time_point m_start;
  Dispatch* m_previous = nullptr;
};

}  // namespace elmhost
