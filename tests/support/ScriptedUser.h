#pragma once

#include "ELMHostUserInterface.h"

#include <deque>
#include <functional>
#include <vector>

namespace elmtest {

/// A user that records every box it is shown and answers from a script.
/// Installs itself as the host's sink for its lifetime and puts the previous
/// sink back when it goes.
class ScriptedUser : public elmhost::UserInterface {
public:
  using Responder = std::function<int(const elmhost::BoxDescription&)>;

  ScriptedUser();
  ~ScriptedUser() override;
  ScriptedUser(const ScriptedUser&) = delete;
  ScriptedUser& operator=(const ScriptedUser&) = delete;

  /// Answers are used in order; once they run out the responder answers,
  /// and without one every box is acknowledged with OK.
  void QueueAnswer(int answer);
  void SetResponder(Responder responder);

  int ShowBox(const elmhost::BoxDescription& box) override;

  const std::vector<elmhost::BoxDescription>& Boxes() const { return m_boxes; }

private:
  std::vector<elmhost::BoxDescription> m_boxes;
  std::deque<int> m_answers;
  Responder m_responder;
  elmhost::UserInterface* m_previous = nullptr;
};

}  // namespace elmtest
