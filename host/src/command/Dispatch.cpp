#include "ELMHostDispatch.h"

#include "CATCommand.h"

#include <algorithm>
#include <thread>

namespace elmhost {

namespace {
Dispatch* s_current = nullptr;
}

Dispatch::Dispatch() : m_start(std::chrono::steady_clock::now()), m_previous(s_current) { s_current = this; }

Dispatch::~Dispatch() {
  // What was raised but never dispatched would reach objects that are about
  // to go; only the destructions still owed are honoured.
  m_events.clear();
  FlushDestructions();
  m_timeouts.clear();
  s_current = m_previous;
}

Dispatch* Dispatch::Current() { return s_current; }

void Dispatch::RequestDelayedDestruction(CATBaseUnknown* obj) {
  if (!obj) return;
  if (std::find(m_doomed.begin(), m_doomed.end(), obj) == m_doomed.end()) m_doomed.push_back(obj);
}

void Dispatch::AddTimeOut(int milliseconds, CATCommand* client, void* data, TimeOutCallback callback) {
  if (!callback) return;
  m_timeouts.push_back({Now() + std::max(0, milliseconds), m_seq++, milliseconds, client, data, callback});
}

void Dispatch::RemoveTimeOut(int milliseconds, CATCommand* client, TimeOutCallback callback) {
  m_timeouts.erase(std::remove_if(m_timeouts.begin(), m_timeouts.end(),
                                  [&](const TimeOut& t) {
                                    return t.milliseconds == milliseconds && t.client == client &&
                                           t.callback == callback;
                                  }),
                   m_timeouts.end());
}

void Dispatch::PostNotification(CATCommand* publisher, CATNotification* notification) {
  if (!publisher || !notification) return;
  m_events.push_back({publisher, CATNotification_var(notification), nullptr});
}

void Dispatch::RecordStatusRequest(CATCommand* command, int message, CATCommand* requestor) {
  if (!command || message != CATCommandMsgRequestExclusiveMode) return;
  m_events.push_back({command, CATNotification_var(), requestor});
}

void Dispatch::StartCommand(CATCommand* command) {
  if (!command || IsActivationPending(command)) return;
  m_events.push_back({command, CATNotification_var(), nullptr});
}

bool Dispatch::IsActivationPending(const CATCommand* command) const {
  return std::any_of(m_events.begin(), m_events.end(),
                     [command](const Event& e) { return e.target == command && !e.notification; });
}

void Dispatch::Forget(CATCommand* command) {
  m_timeouts.erase(std::remove_if(m_timeouts.begin(), m_timeouts.end(),
                                  [command](const TimeOut& t) { return t.client == command; }),
                   m_timeouts.end());
  m_events.erase(std::remove_if(m_events.begin(), m_events.end(),
                                [command](const Event& e) { return e.target == command; }),
                 m_events.end());
  for (Event& e : m_events)
    if (e.requestor == command) e.requestor = nullptr;
}

void Dispatch::FlushDestructions() {
  // A destructor may ask for more destructions: keep going until none is left.
  while (!m_doomed.empty()) {
    std::vector<CATBaseUnknown*> batch = std::exchange(m_doomed, {});
    for (CATBaseUnknown* obj : batch) obj->Release();
  }
}

std::int64_t Dispatch::Now() const {
  auto real = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start);
  return real.count() + m_virtualOffset;
}

void Dispatch::RunEvents() {
  FlushDestructions();
  while (!m_events.empty()) {
    Event e = std::move(m_events.front());
    m_events.pop_front();
    if (e.notification)
      DeliverNotification(e.target, e.notification.get());
    else
      e.target->Activate(e.requestor, nullptr);
    FlushDestructions();
  }
}

int Dispatch::RunUntilIdle(bool virtualTime, int maxTimeOuts) {
  int fired = 0;
  RunEvents();
  while (!m_timeouts.empty() && fired < maxTimeOuts) {
    auto next = std::min_element(m_timeouts.begin(), m_timeouts.end(), [](const TimeOut& a, const TimeOut& b) {
      return a.due != b.due ? a.due < b.due : a.seq < b.seq;
    });
    std::int64_t wait = next->due - Now();
    if (wait > 0) {
      if (virtualTime)
        m_virtualOffset += wait;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    TimeOut t = *next;
    m_timeouts.erase(next);
    t.callback(t.client, 0, t.data);
    ++fired;
    RunEvents();
  }
  return fired;
}

}  // namespace elmhost
