#include "ScriptedUser.h"

namespace elmtest {

ScriptedUser::ScriptedUser() : m_previous(elmhost::SetUserInterface(this)) {}

ScriptedUser::~ScriptedUser() {
  // Only hand the sink back if nobody replaced us in the meantime.
  if (elmhost::GetUserInterface() == this) elmhost::SetUserInterface(m_previous);
}

void ScriptedUser::QueueAnswer(int answer) { m_answers.push_back(answer); }

void ScriptedUser::SetResponder(Responder responder) { m_responder = std::move(responder); }

int ScriptedUser::ShowBox(const elmhost::BoxDescription& box) {
  m_boxes.push_back(box);
  if (!m_answers.empty()) {
    int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
  }
  if (m_responder) return m_responder(box);
  return elmhost::kBoxAcknowledged;
}

}  // namespace elmtest
