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

void Dispatch::RecordStatusRequest(CATCommand* command, int message, CATCommand* requestor) {
  m_status.push_back({command, message, requestor});
}

std::vector<Dispatch::StatusRequest> Dispatch::TakeStatusRequests() { return std::exchange(m_status, {}); }

void Dispatch::Forget(CATCommand* command) {
  m_timeouts.erase(std::remove_if(m_timeouts.begin(), m_timeouts.end(),
                                  [command](const TimeOut& t) { return t.client == command; }),
                   m_timeouts.end());
  m_status.erase(std::remove_if(m_status.begin(), m_status.end(),
                                [command](const StatusRequest& s) { return s.command == command; }),
                 m_status.end());
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

int Dispatch::RunUntilIdle(bool virtualTime, int maxTimeOuts) {
  int fired = 0;
  FlushDestructions();
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
    FlushDestructions();
  }
  return fired;
}

}  // namespace elmhost
