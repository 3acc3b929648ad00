#pragma once

#include <string>

namespace elmapp {

/// Keeps other elm runs off a session file while this run may save it: an
/// exclusive lock on "<session>.lock" beside the file the session path leads
/// to (through links), so that every path to one session meets one lock. The
/// lock file names its holder; the lock goes with the process, however it ends.
class SessionLock {
public:
  SessionLock() = default;
  ~SessionLock();
  SessionLock(const SessionLock&) = delete;
  SessionLock& operator=(const SessionLock&) = delete;

  /// Takes the lock, waiting up to waitMs for another run to let go. holder
  /// describes this run for the next one. On false, error names the session
  /// and the run that holds it.
  bool Acquire(const std::string& sessionPath, int waitMs, const std::string& holder, std::string& error);

  /// Milliseconds to wait for a lock: $ELM_SESSION_WAIT in seconds (0 to
  /// refuse at once), 5 s when unset or not a number.
  static int WaitMs();

private:
  int m_fd = -1;
};

/// Whether output (a file a run writes) is the session file itself, under
/// any path, link or hard link; an output that does not exist yet is not.
bool IsSameFile(const std::string& output, const std::string& sessionPath);

}  // namespace elmapp
