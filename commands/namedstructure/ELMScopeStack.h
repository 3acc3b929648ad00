#pragma once

#include "ELMDebug.h"

#include <cstddef>
#include <deque>

/// The trace scopes of an operation that walks a tree with a stack of its
/// own instead of calling itself: each level of the walk opens the scope
/// that a call of the operation would open, so the trace (and the profiler)
/// reads as if the operation had recursed, however deep the tree.
class ELMScopeStack {
public:
  /// Levels take the name and line of the operation's own scope.
  /// The trace level is read once the operation's own scope is open: with
  /// the trace off a level's scope would do nothing, and only the depth is
  /// kept.
  explicit ELMScopeStack(const ELMDebug& operation)
      : m_name(operation.GetName()), m_line(operation.GetLine()), m_silent(ELMDebug::s_iDebug == 0) {}
  ~ELMScopeStack() {
    // Innermost first, as returning calls close them.
    while (!m_scopes.empty()) m_scopes.pop_back();
  }
  ELMScopeStack(const ELMScopeStack&) = delete;
  ELMScopeStack& operator=(const ELMScopeStack&) = delete;

  void Open() {
    if (m_silent)
      ++m_depth;
    else
      m_scopes.emplace_back(m_name, m_line);
  }
  void Close() {
    if (m_silent)
      --m_depth;
    else
      m_scopes.pop_back();
  }
  /// The failure line for the innermost level, which is marked failed.
  void FailPoint(int line) {
    if (ELMDebug::s_iDebug == 1 && !m_scopes.empty()) {
      ELMDebug::WriteFailure(m_name, line);
      m_scopes.back().SetFailed();
    }
  }
  std::size_t Depth() const { return m_silent ? m_depth : m_scopes.size(); }

private:
  const char* m_name;
  int m_line;
  bool m_silent;
  std::size_t m_depth = 0;
  std::deque<ELMDebug> m_scopes;
};
